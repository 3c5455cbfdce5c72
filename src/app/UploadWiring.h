#pragma once

#include "app/UploadQueue.h"
#include "net/FtpClient.h"

#include <QObject>

#include <functional>

class QWidget;

namespace vigilux {
struct AppContext;
}
namespace vigilux::capture {
class CaptureControl;
}
namespace vigilux::settings {
class SettingsStorage;
}

namespace vigilux::app {

class TrayIcon;

// Uploads of the main window: the FTP client and the queue of saved
// pictures and clips, fed by the capture control, guarding waiting files
// from rotation, counting the backlog in the tray tip, and resumed when the
// FTP settings are saved.
class UploadWiring final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UploadWiring)
public:
    // `status` shows a text in the status line.
    UploadWiring(AppContext& context, std::function<void(const QString&)> status,
                 QObject* parent = nullptr);

    // Queues what `control` saves (clips when UploadClips is on), keeps
    // rotation off waiting files, and shows the backlog in `tray`'s tip.
    // Both must stay until detach().
    void follow(capture::CaptureControl& control, TrayIcon& tray);
    // Lets rotation go on without the queue (before the queue goes).
    void detach();

    // Queues again what the last run left waiting.
    void restore() { m_queue.restore(); }
    // The FTP settings window, modal; saving it may resume the queue.
    void openSettings(settings::SettingsStorage& options, QWidget* parent);

    net::FtpClient& ftp() { return m_ftp; }
    UploadQueue& queue() { return m_queue; }

private:
    AppContext& m_context;
    net::FtpClient m_ftp;
    UploadQueue m_queue;
    capture::CaptureControl* m_capture = nullptr;
};

} // namespace vigilux::app
