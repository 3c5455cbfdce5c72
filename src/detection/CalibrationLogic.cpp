#include "detection/CalibrationLogic.h"

#include "core/AppContext.h"
#include "core/CalibrationPhase.h"
#include "detection/CalibrationView.h"
#include "detection/DetectorSliders.h"
#include "platform/Dialogs.h"

#include <algorithm>
#include <limits>

namespace vigilux::detection {

namespace {

using Icon = platform::Dialogs::Icon;
using Phase = core::CalibrationPhase;
using core::IntervalValue;
using core::NoiseValue;
using core::SimilarityValue;

const QString CrLf = QStringLiteral("\r\n");
const QString ErrorTitle = QStringLiteral("Ошибка");

// The counters are 16-bit; a flood of values stops at the limit instead of
// wrapping into nonsense.
qint16 saturated(qint64 value) {
    return static_cast<qint16>(std::clamp<qint64>(value, std::numeric_limits<qint16>::min(),
                                                  std::numeric_limits<qint16>::max()));
}

} // namespace

const QString CalibrationLogic::kNoResponseText =
    QStringLiteral("Ошибка автокалибровки: сенсор не отвечает");
const QString CalibrationLogic::kNoPowerText =
    QStringLiteral("Недостаточно вычислительной мощности для работы в выбранном разрешении");

CalibrationLogic::CalibrationLogic(AppContext& context, DetectorSliders& sliders,
                                   CalibrationView& view)
    : m_context(context)
    , m_sliders(sliders)
    , m_view(view) {
    m_stepTimer.setInterval(kFirstTickMs);
    QObject::connect(&m_stepTimer, &QTimer::timeout, [this] { onStepTick(); });
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallBoundMs);
    QObject::connect(&m_stall, &QTimer::timeout, [this] { onStall(); });
}

CalibrationLogic::~CalibrationLogic() = default;

qint64 CalibrationLogic::roundHalfEven(qint64 num, qint64 den) {
    // Floor division first, so negative quotients round like positive ones.
    qint64 q = num / den;
    qint64 r = num % den;
    if (r < 0) {
        --q;
        r += den;
    }
    if (2 * r > den || (2 * r == den && (q & 1) != 0))
        ++q;
    return q;
}

qint32 CalibrationLogic::intervalForSpeed(qint64 speed) {
    if (speed > 5)
        speed = 2;
    // An average under half a frame per second: the slowest interval the
    // formula gives rather than a division by zero.
    if (speed < 1)
        speed = 1;
    return static_cast<qint32>(roundHalfEven(1000 / 100, speed) * 100);
}

QString CalibrationLogic::noiseFailureText() {
    return QStringList{
        QStringLiteral("Ошибка автокалибровки, возможные причины:"),
        QString(),
        QStringLiteral("- шумность камеры слишком велика для уверенной работы детектора движения;"),
        QStringLiteral("- мерцающее освещение, либо перепады освещения;"),
        QStringLiteral("- во время калибровки происходило движение в кадре;"),
        QStringLiteral("- камера неустойчиво закреплена."),
        QString(),
        QStringLiteral(
            "Устраните причины ошибки и попробуйте снова, либо отрегулируйте настройки вручную."),
    }
        .join(CrLf);
}

QString CalibrationLogic::resultsText(qint32 interval, qint32 noise, qint32 percent) {
    return QStringList{
        QStringLiteral("Автоматически установлены следующие параметры:"),
        QString(),
        QStringLiteral("- периодичность съемки: %1 мсек").arg(interval),
        QStringLiteral("- шумность камеры: %1%").arg(noise),
        QStringLiteral("- расхождение кадров, не более: %1%").arg(percent),
        QString(),
        QStringLiteral("При необходимости скорректируйте эти параметры"),
        QStringLiteral("в окне настроек сенсора и сохраните их."),
    }
        .join(CrLf);
}

void CalibrationLogic::start() {
    if (m_closed || m_context.calibrationPhase != Phase::None)
        return;
    m_view.setButtonsEnabled(false);
    m_context.calibrationPhase = Phase::Speed;
    m_view.showProgress();
    m_ticks = 0;
    m_frames = 0;
    m_accumulator = 0;
    m_barWidth = m_view.progressWidth();
    progress(0, kSpeedTicks);

    m_sliders.onSliderChanged(IntervalValue, kStartInterval);
    m_intervalPending = true;

    m_stepTimer.setInterval(kFirstTickMs);
    m_stepTimer.start();
    m_view.setInstruction(QStringLiteral("Определение быстродействия компьютера..."));
    m_view.setStatus(QStringLiteral("Подключение к сенсору..."));
}

void CalibrationLogic::speedValue(qint16 value) {
    if (m_closed || m_context.calibrationPhase != Phase::Speed)
        return;
    m_accumulator = saturated(qint64(m_accumulator) + value);
    m_frames = saturated(qint64(m_frames) + 1);
    m_view.setStatus(QStringLiteral("Получено и обработано: %1 фреймов").arg(m_frames));
}

void CalibrationLogic::onStepTick() {
    if (m_closed || m_context.calibrationPhase != Phase::Speed) {
        m_stepTimer.stop();
        return;
    }
    m_stepTimer.setInterval(kTickMs);
    if (m_ticks < kSpeedTicks) {
        ++m_ticks;
        progress(m_ticks, kSpeedTicks);
        return;
    }
    m_stepTimer.stop();

    if (m_accumulator != 0 && m_frames != 0) {
        const qint64 speed = roundHalfEven(m_accumulator, m_frames);
        m_sliders.setSlider(IntervalValue, intervalForSpeed(speed));
        m_intervalPending = false;
        startNoisePhase();
        return;
    }
    m_sliders.setSlider(IntervalValue, m_context.settings.detectorValues[IntervalValue]);
    m_intervalPending = false;
    fail(m_frames != 0 ? kNoPowerText : kNoResponseText);
}

void CalibrationLogic::startNoisePhase() {
    m_view.setInstruction(QStringLiteral("Определение теплового шума камеры..."));
    m_ticks = 0;
    m_frames = 0;
    m_accumulator = 0;
    m_noise = 0;
    m_sliders.setSlider(NoiseValue, 0);
    m_sliders.setSlider(SimilarityValue, kStartPercent);
    m_context.calibrationPhase = Phase::Noise;
    m_stall.start();
}

void CalibrationLogic::startDifferencePhase() {
    m_context.calibrationPhase = Phase::LargestDifference;
    m_view.setInstruction(QStringLiteral("Определение максимального расхождения кадров..."));
    m_ticks = 0;
    m_frames = 0;
    m_accumulator = 0;
    m_stall.start();
}

void CalibrationLogic::similarityValue(qint32 value) {
    const Phase phase = m_context.calibrationPhase;
    if (m_closed || (phase != Phase::Noise && phase != Phase::LargestDifference))
        return;
    // A similarity is 0..100; anything else is treated as its nearest end.
    value = std::clamp<qint32>(value, 0, 100);
    m_stall.start();

    if (phase == Phase::Noise) {
        m_accumulator = saturated(qint64(m_accumulator) + value);
        if (m_frames >= kNoiseFrames) {
            fail(noiseFailureText());
            return;
        }
        ++m_frames;
        progress(m_frames, kNoiseFrames);
        m_view.setStatus(QStringLiteral("Пробую шумность: %1, обработано фреймов: %2")
                             .arg(m_noise)
                             .arg(m_frames));
        if (m_frames % kNoiseGroup == 0) {
            if (roundHalfEven(m_accumulator, kNoiseGroup) > kQuietAverage) {
                m_sliders.setSlider(NoiseValue, m_noise);
                startDifferencePhase();
            } else {
                m_accumulator = 0;
                ++m_noise;
                m_sliders.setSlider(NoiseValue, m_noise);
            }
        }
        return;
    }

    if (m_ticks >= kDifferenceFrames) {
        m_context.calibrationPhase = Phase::None;
        m_stall.stop();
        // The largest change share is at most 100, so the margin can pass
        // the percent slider's end; the slider stops there.
        m_sliders.setSlider(SimilarityValue, std::min<qint32>(m_accumulator + kPercentMargin, 100));
        m_context.dialogs.message(Icon::Information, QStringLiteral("Результаты теста"),
                                  resultsText(m_sliders.sliderValue(IntervalValue),
                                              m_sliders.sliderValue(NoiseValue),
                                              m_sliders.sliderValue(SimilarityValue)));
        m_view.closeWindow();
        return;
    }
    ++m_ticks;
    progress(m_ticks, kDifferenceFrames);
    if (100 - value > m_accumulator)
        m_accumulator = static_cast<qint16>(100 - value);
    m_view.setStatus(
        QStringLiteral("Обработано: %1 фреймов из %2").arg(m_ticks).arg(kDifferenceFrames));
}

void CalibrationLogic::progress(int n, int total) {
    m_view.setBarWidth(static_cast<int>(qint64(m_barWidth) * n / total));
}

void CalibrationLogic::fail(const QString& text) {
    // No phase first: values forwarded while the box is open change nothing.
    m_context.calibrationPhase = Phase::None;
    m_stepTimer.stop();
    m_stall.stop();
    m_context.dialogs.message(Icon::Error, ErrorTitle, text);
    m_view.closeWindow();
}

void CalibrationLogic::onStall() {
    const Phase phase = m_context.calibrationPhase;
    if (!m_closed && (phase == Phase::Noise || phase == Phase::LargestDifference))
        fail(kNoResponseText);
}

void CalibrationLogic::closed() {
    if (m_closed)
        return;
    m_closed = true;
    m_stepTimer.stop();
    m_stall.stop();
    // Closed while measuring the speed: the detector runs at 100 ms while the interval
    // slider shows its own value; put the slider's value back in force.
    if (m_intervalPending) {
        m_intervalPending = false;
        m_sliders.onSliderChanged(IntervalValue, m_sliders.sliderValue(IntervalValue));
    }
    m_context.calibrationPhase = Phase::None;
}

} // namespace vigilux::detection
