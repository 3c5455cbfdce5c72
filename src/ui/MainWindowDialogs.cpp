#include "ui/MainWindowDialogs.h"

#include "controls/OverlayLabel.h"
#include "core/AppContext.h"
#include "ui/AboutWindow.h"
#include "ui/CaptureControl.h"
#include "ui/DetectorSettingsWindow.h"
#include "ui/MainWindowLayout.h"
#include "ui/NotificationWiring.h"
#include "ui/ObjectDetectorWindow.h"
#include "ui/ProgramOptionsWindow.h"
#include "ui/RecordingIndicator.h"
#include "ui/RemoteViewWiring.h"
#include "ui/UploadWiring.h"
#include "video/CaptureDevice.h"

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
        window.setObjectWindowOpener([this](bool calibrate) { openObjectDetector(calibrate); });
        window.exec();
    }
    // The kind, the object detector's values and its mask as stored now.
    if (m_parts.capture.pipeline().running())
        m_parts.capture.pipeline().applyDetectorSettings();
    m_context.detectorWindowShown = false;
    m_parts.record.start();
}

void MainWindowDialogs::openObjectDetector(bool calibrate) {
    ui::CaptureControl& capture = m_parts.capture;
    ui::ObjectDetectorWindow window(
        m_context, *m_options,
        [&capture] {
            return capture.device() ? capture.device()->currentFrame(QImage::Format_RGB888)
                                    : QImage();
        },
        capture.pipeline().lastAlarmArea(), &m_parts.window);
    if (calibrate)
        window.startCalibration();
    window.exec();
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
