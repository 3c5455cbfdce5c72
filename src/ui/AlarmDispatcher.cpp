#include "ui/AlarmDispatcher.h"

#include "app/AlarmActions.h"
#include "app/QuietTime.h"
#include "app/SoundPlayer.h"
#include "app/TrayIcon.h"
#include "controls/OverlayLabel.h"
#include "core/AppContext.h"
#include "core/CalibrationTarget.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
#include "ui/CaptureControl.h"
#include "ui/MainWindowLayout.h"
#include "ui/StatusLine.h"

#include <QFileInfo>

namespace vigilux::ui {

namespace {
const QString CrLf = QStringLiteral("\r\n");
using Label = MainWindowLayout::Label;
using Phase = core::CalibrationPhase;
} // namespace

AlarmDispatcher::AlarmDispatcher(AppContext& context, Parts parts, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_parts(parts) {}

void AlarmDispatcher::follow() {
    pipeline::WatchPipeline* watch = &m_parts.capture.pipeline();
    connect(watch, &pipeline::WatchPipeline::alarm, this, &AlarmDispatcher::onAlarm);
    connect(watch, &pipeline::WatchPipeline::similarityChanged, this,
            &AlarmDispatcher::onSimilarity);
    connect(watch, &pipeline::WatchPipeline::speedChanged, this, &AlarmDispatcher::onSpeed);
    connect(watch, &pipeline::WatchPipeline::imageFormatChanged, this,
            &AlarmDispatcher::onImageFormat);
}

void AlarmDispatcher::onAlarm(bool value) {
    if (!value)
        return;
    m_parts.layout.label(Label::Motion).setPanelColor(MainWindowLayout::AlarmRed);
    if (m_context.calibrationPhase == Phase::None) {
        if (m_context.detectorWindowShown)
            return;
        // Counted up to the largest 16-bit value, then held there.
        if (m_context.alarmCount < 32767)
            ++m_context.alarmCount;
        m_parts.layout.label(Label::AlarmCount).setText(QString::number(m_context.alarmCount));
    }
    if (m_context.detectorWindowShown)
        return;
    runAlarmActions();
}

void AlarmDispatcher::runAlarmActions() {
    const auto& s = m_context.settings;
    const bool startsEvent = m_parts.capture.pipeline().events().stepStartedEvent();
    const app::AlarmActions a =
        app::AlarmActions::forStep(s, startsEvent, m_parts.quiet.isMuted(), m_context.inTray);
    if (a.sound)
        m_parts.sound.playFile(s.alarmSoundPath);
    if (a.balloon) {
        const QString text =
            s.balloonPerEvent
                ? app::AlarmActions::eventBalloonText(
                      m_parts.capture.pipeline().tracker().current().number, 100 - m_lastPercent)
                : QStringLiteral("Программа обнаружила движение в наблюдаемой области. ") + CrLf +
                      QStringLiteral(
                          "Всего срабатываний детектора движения с начала наблюдения: ") +
                      QString::number(m_context.alarmCount) + CrLf +
                      QStringLiteral("Расхождение с предыдущим кадром: ") +
                      QString::number(100 - m_lastPercent) + QLatin1Char('%');
        m_parts.tray.showBalloon(QStringLiteral("Обнаружено движение!"), text, 2);
    }
    if (a.program && !s.alarmProgramPath.isEmpty() &&
        QFileInfo(platform::CommandLine::parse(s.alarmProgramPath).program).isFile()) {
        if (s.waitForAlarmProgram) {
            const QString remembered = m_parts.status.text();
            m_parts.status.show(QStringLiteral("Ожидание завершения внешнего приложения..."));
            m_parts.status.repaintNow();
            m_parts.processes.runAndWait(s.alarmProgramPath, 1);
            m_parts.status.show(remembered);
        } else {
            m_parts.processes.start(s.alarmProgramPath);
        }
    }
}

void AlarmDispatcher::onSimilarity(qint32 value) {
    m_lastPercent = value;
    controls::OverlayLabel& motion = m_parts.layout.label(Label::Motion);
    motion.setPanelColor(MainWindowLayout::LabelGrey);
    motion.setText(QString::number(100 - value) + QLatin1Char('%'));
    if ((m_context.calibrationPhase == Phase::Noise ||
         m_context.calibrationPhase == Phase::LargestDifference) &&
        m_context.calibration)
        m_context.calibration->similarityValue(value);
}

void AlarmDispatcher::onSpeed(qint16 value) {
    m_parts.layout.label(Label::Speed).setText(QStringLiteral("FPS: ") + QString::number(value));
    if (m_context.calibrationPhase == Phase::Speed && m_context.calibration)
        m_context.calibration->speedValue(value);
}

void AlarmDispatcher::onImageFormat(const QString& value) {
    controls::OverlayLabel& format = m_parts.layout.label(Label::ImageFormat);
    if (!format.isVisible())
        format.show();
    format.setText(value);
}

} // namespace vigilux::ui
