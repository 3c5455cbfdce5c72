#include "ui/UploadWiring.h"

#include "app/TrayIcon.h"
#include "core/AppContext.h"
#include "core/SettingsStorage.h"
#include "pipeline/WatchPipeline.h"
#include "ui/FtpSettingsWindow.h"

#include <utility>

namespace vigilux::ui {

UploadWiring::UploadWiring(AppContext& context, core::StatusSink status, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_queue(context, m_ftp, std::move(status)) {}

void UploadWiring::follow(pipeline::WatchPipeline& watch, app::TrayIcon& tray) {
    m_watch = &watch;
    connect(&watch, &pipeline::WatchPipeline::pictureSaved, &m_queue,
            [this](const QString& path) { m_queue.enqueueSaved(path); });
    // A finished event clip follows its event's frames through the same queue.
    connect(&watch, &pipeline::WatchPipeline::clipSaved, &m_queue, [this](const QString& path) {
        if (m_context.settings.uploadClips)
            m_queue.enqueueSaved(path);
    });
    // Rotation keeps a picture that still waits for upload.
    watch.saver().setDeletionGuard(&m_queue);
    connect(&m_queue, &upload::UploadQueue::waitingChanged, &tray,
            [&tray](int count) { tray.setToolTipNote(upload::UploadQueue::waitingNote(count)); });
}

void UploadWiring::detach() {
    if (m_watch != nullptr)
        m_watch->saver().setDeletionGuard(nullptr);
    m_watch = nullptr;
}

void UploadWiring::openSettings(core::SettingsStorage& options, QWidget* parent) {
    ui::FtpSettingsWindow window(
        m_context, [&options] { options.saveFtp(); }, parent, &m_queue);
    // New settings may be what a refused login or an outage waited for.
    const bool uploadWasOn = m_context.settings.ftpUpload;
    if (window.exec() == QDialog::Accepted)
        m_queue.settingsSaved(uploadWasOn);
}

} // namespace vigilux::ui
