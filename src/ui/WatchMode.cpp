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
    for (int i : {0, 1, 3, 4, 5})
        layout.label(i).setVisible(on);
    if (on) {
        layout.label(5).setText(QStringLiteral("0"));
        layout.label(5).setTextColor(MainWindowLayout::AlarmRed);
    }
    layout.button(0).setEnabled(!on);
    layout.button(2).setEnabled(on);
    layout.button(3).setEnabled(!on);
    const QString caption =
        on ? QStringLiteral("Автосъемка выкл.") : QStringLiteral("Автосъемка вкл.");
    layout.button(1).setCaption(caption);
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
    m_parts.layout.button(0).setEnabled(enabled && !m_context.watching);
    // Watching outlives a lost camera (capture reconnects by itself), so it
    // can still be switched off meanwhile.
    m_parts.layout.button(1).setEnabled(enabled || m_context.watching);
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
