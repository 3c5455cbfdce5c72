#pragma once

#include "core/StatusSink.h"
#include "upload/FtpClient.h"
#include "upload/UploadQueue.h"

#include <QObject>

#include <functional>

class QWidget;

namespace vigilux {
struct AppContext;
}

namespace vigilux::app {
class TrayIcon;
}
namespace vigilux::core {
class SettingsStorage;
}
namespace vigilux::pipeline {
class WatchPipeline;
}
namespace vigilux::ui {

// Uploads of the main window: the FTP client and the queue of saved
// pictures and clips, fed by the capture control, guarding waiting files
// from rotation, counting the backlog in the tray tip, and resumed when the
// FTP settings are saved.
class UploadWiring final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UploadWiring)
public:
    // `status` shows a text in the status line.
    UploadWiring(AppContext& context, core::StatusSink status, QObject* parent = nullptr);

    // Queues what `control` saves (clips when UploadClips is on), keeps
    // rotation off waiting files, and shows the backlog in `tray`'s tip.
    // Both must stay until detach().
    void follow(pipeline::WatchPipeline& watch, app::TrayIcon& tray);
    // Lets rotation go on without the queue (before the queue goes).
    void detach();

    // Queues again what the last run left waiting.
    void restore() { m_queue.restore(); }
    // The FTP settings window, modal; saving it may resume the queue.
    void openSettings(core::SettingsStorage& options, QWidget* parent);

    upload::FtpClient& ftp() { return m_ftp; }
    upload::UploadQueue& queue() { return m_queue; }

private:
    AppContext& m_context;
    upload::FtpClient m_ftp;
    upload::UploadQueue m_queue;
    pipeline::WatchPipeline* m_watch = nullptr;
};

} // namespace vigilux::ui
