#include "ui/MainWindowDialogs.h"

#include "controls/OverlayLabel.h"
#include "core/AppContext.h"
#include "ui/AboutWindow.h"
#include "ui/CaptureControl.h"
#include "ui/DetectorSettingsWindow.h"
#include "ui/MainWindowLayout.h"
#include "ui/NotificationWiring.h"
#include "ui/ProgramOptionsWindow.h"
#include "ui/RecordingIndicator.h"
#include "ui/RemoteViewWiring.h"
#include "ui/UploadWiring.h"

namespace vigilux::ui {

MainWindowDialogs::MainWindowDialogs(AppContext& context, Parts parts)
    : m_context(context)
    , m_parts(parts) {}

void MainWindowDialogs::openDetectorSettings() {
    if (!m_options)
        return;
    m_parts.record.stopLit();
    m_context.detectorWindowShown = true;
    {
        ui::DetectorSettingsWindow window(m_context, *m_options, m_parts.detectorValues,
                                          &m_parts.window);
        window.exec();
    }
    m_context.detectorWindowShown = false;
    m_parts.record.start();
}

void MainWindowDialogs::openProgramOptions() {
    if (!m_options)
        return;
    // After one of its capture buttons the window stays open without being
    // modal and deletes itself when it is closed.
    MainWindowLayout& layout = m_parts.layout;
    auto* window = new ui::ProgramOptionsWindow(
        m_context, *m_options, m_parts.capture,
        [&layout] { layout.label(MainWindowLayout::Label::ImageFormat).hide(); }, &m_parts.window);
    m_parts.notifications.addPageTo(*window);
    m_parts.remote.addPageTo(*window);
    window->exec();
    if (!window->detached())
        delete window;
}

void MainWindowDialogs::openFtpSettings() {
    if (!m_options)
        return;
    m_parts.uploads.openSettings(*m_options, &m_parts.window);
}

void MainWindowDialogs::openAbout() {
    AboutWindow window(m_context, m_parts.updates, m_parts.urls, &m_parts.window);
    window.exec();
}

} // namespace vigilux::ui
