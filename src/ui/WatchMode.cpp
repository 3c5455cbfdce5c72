#include "ui/WatchMode.h"

#include "controls/OverlayLabel.h"
#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "platform/ScreenSaverInhibitor.h"
#include "ui/CaptureControl.h"
#include "ui/MainWindowLayout.h"
#include "ui/MainWindowTray.h"
#include "ui/RecordingIndicator.h"
#include "ui/StatusLine.h"

#include <QAction>

namespace vigilux::ui {

WatchMode::WatchMode(AppContext& context, Parts parts)
    : m_context(context)
    , m_parts(parts) {}

void WatchMode::toggle() {
    ui::CaptureControl& capture = m_parts.capture;
    MainWindowLayout& layout = m_parts.layout;
    const bool on = !m_context.watching;
    // The one place watching starts and stops (and the program's end).
    if (on)
        capture.pipeline().start();
    else
        capture.pipeline().stop();
    // The camera's failures are looked for while watching.
    capture.setHealthWatched(on);
    using Label = MainWindowLayout::Label;
    using Button = MainWindowLayout::Button;
    // The image format label shows once the first picture's size is known.
    for (Label l :
         {Label::Speed, Label::Interval, Label::Motion, Label::Threshold, Label::AlarmCount})
        layout.label(l).setVisible(on);
    if (on) {
        layout.label(Label::AlarmCount).setText(QStringLiteral("0"));
        layout.label(Label::AlarmCount).setTextColor(MainWindowLayout::AlarmRed);
    }
    layout.button(Button::Snapshot).setEnabled(!on);
    layout.button(Button::DetectorSettings).setEnabled(on);
    layout.button(Button::ProgramOptions).setEnabled(!on);
    const QString caption =
        on ? QStringLiteral("Автосъемка выкл.") : QStringLiteral("Автосъемка вкл.");
    layout.button(Button::Watch).setCaption(caption);
    m_parts.tray.watchAction()->setText(caption);
    m_parts.status.show(on ? status() : QStringLiteral(" Автосъемка выключена"));
    if (on)
        m_parts.record.start();
    else
        m_parts.record.stop();
    m_parts.tray.refreshTip();
    if (m_screenSaver)
        m_screenSaver->setInhibited(on && m_context.settings.blockScreenSaver);
}

void WatchMode::setCaptureButtonsEnabled(bool enabled) {
    m_parts.layout.button(MainWindowLayout::Button::Snapshot)
        .setEnabled(enabled && !m_context.watching);
    // Watching outlives a lost camera (capture reconnects by itself), so it
    // can still be switched off meanwhile.
    m_parts.layout.button(MainWindowLayout::Button::Watch)
        .setEnabled(enabled || m_context.watching);
    if (m_context.watching)
        m_parts.status.show(status());
}

QString WatchMode::status() const {
    return m_parts.capture.running()
               ? QStringLiteral(" Автосъемка включена")
               : QStringLiteral(" Автосъемка приостановлена: камера не подключена");
}

void WatchMode::releaseScreen() {
    if (m_screenSaver)
        m_screenSaver->setInhibited(false);
}

} // namespace vigilux::ui
