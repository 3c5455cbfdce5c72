#pragma once

#include <QObject>
#include <QQueue>
#include <QString>

#include <functional>

namespace vigilux {
struct AppContext;
}
namespace vigilux::net {
class FtpClient;
}

namespace vigilux::app {

// Feeds saved pictures to the FTP control one at a time, in the order they
// were saved. A file is taken off the queue only when an upload really
// starts for it, so no file is lost or sent twice whatever order results
// come in; a failed file is reported and the next one goes on.
class UploadQueue final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UploadQueue)
public:
    // `status` shows a text in the main window's status line.
    UploadQueue(AppContext& context, net::FtpClient& ftp, std::function<void(const QString&)> status,
                QObject* parent = nullptr);

    // The Saved handler: queues the file when uploading is on, and starts it
    // at once when nothing else is waiting or running.
    void Saved(const QString& Path);

    void QueueUpload(const QString& path);
    void UploadNext();
    void StartUpload(const QString& path);

    // The FTP control's result.
    void Res(const QString& result);

    // Files waiting, as the status line shows it (at most 32767).
    qint16 QueueCount() const;
    qsizetype size() const { return m_queue.size(); }

private:
    void showQueueText();

    AppContext& m_context;
    net::FtpClient& m_ftp;
    std::function<void(const QString&)> m_status;
    QQueue<QString> m_queue;
};

} // namespace vigilux::app
