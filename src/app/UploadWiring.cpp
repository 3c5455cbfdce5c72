#include "app/UploadWiring.h"

#include "app/TrayIcon.h"
#include "capture/CaptureControl.h"
#include "core/AppContext.h"
#include "net/FtpSettingsWindow.h"
#include "settings/SettingsStorage.h"

#include <utility>

namespace vigilux::app {

UploadWiring::UploadWiring(AppContext& context, std::function<void(const QString&)> status,
                           QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_queue(context, m_ftp, std::move(status)) {}

void UploadWiring::follow(capture::CaptureControl& control, TrayIcon& tray) {
    m_capture = &control;
    connect(&control, &capture::CaptureControl::frameSaved, &m_queue,
            [this](const QString& path) { m_queue.enqueueSaved(path); });
    // A finished event clip follows its event's frames through the same queue.
    connect(&control, &capture::CaptureControl::clipSaved, &m_queue, [this](const QString& path) {
        if (m_context.settings.uploadClips)
            m_queue.enqueueSaved(path);
    });
    // Rotation keeps a picture that still waits for upload.
    control.saving().setDeletionGuard(&m_queue);
    connect(&m_queue, &UploadQueue::waitingChanged, &tray,
            [&tray](int count) { tray.setToolTipNote(UploadQueue::waitingNote(count)); });
}

void UploadWiring::detach() {
    if (m_capture != nullptr)
        m_capture->saving().setDeletionGuard(nullptr);
    m_capture = nullptr;
}

void UploadWiring::openSettings(settings::SettingsStorage& options, QWidget* parent) {
    net::FtpSettingsWindow window(
        m_context, [&options] { options.saveFtp(); }, parent, &m_queue);
    // New settings may be what a refused login or an outage waited for.
    const bool uploadWasOn = m_context.settings.ftpUpload;
    if (window.exec() == QDialog::Accepted)
        m_queue.settingsSaved(uploadWasOn);
}

} // namespace vigilux::app
