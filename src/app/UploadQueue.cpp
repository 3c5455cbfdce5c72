#include "app/UploadQueue.h"

#include "net/FtpClient.h"
#include "settings/AppContext.h"

#include <algorithm>
#include <utility>

namespace vigilux::app {

UploadQueue::UploadQueue(AppContext& context, net::FtpClient& ftp,
                         std::function<void(const QString&)> status, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_ftp(ftp)
    , m_status(std::move(status)) {
    connect(&m_ftp, &net::FtpClient::Res, this, &UploadQueue::Res);
}

qint16 UploadQueue::QueueCount() const {
    return static_cast<qint16>(std::min<qsizetype>(m_queue.size(), 32767));
}

void UploadQueue::showQueueText() {
    m_status(QStringLiteral("Загрузка на ftp (изображений в очереди: ") +
             QString::number(QueueCount()) + QStringLiteral(")..."));
}

void UploadQueue::Saved(const QString& Path) {
    if (!m_context.settings.FtpUpload)
        return;
    const bool idle = m_queue.isEmpty() && !m_ftp.IsBizy();
    QueueUpload(Path);
    if (idle)
        UploadNext();
}

void UploadQueue::QueueUpload(const QString& path) {
    m_queue.enqueue(path);
    showQueueText();
}

void UploadQueue::UploadNext() {
    // The control runs one job at a time; the file waits for the next result.
    if (m_queue.isEmpty() || m_ftp.IsBizy())
        return;
    const QString path = m_queue.dequeue();
    showQueueText();
    StartUpload(path);
}

void UploadQueue::StartUpload(const QString& path) {
    if (path.isEmpty())
        return;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = slash < 0 ? QString() : path.mid(slash + 1);
    QString& folder = m_context.settings.FtpFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const auto& s = m_context.settings;
    m_ftp.Upload(s.FtpServer, s.FtpLogin, s.FtpPass, path, folder + name);
}

void UploadQueue::Res(const QString& result) {
    m_status(result == QLatin1String("ok") ? QStringLiteral("Загрузка на ftp завершена.")
                                           : QStringLiteral("Ошибка загрузки на ftp!"));
    UploadNext();
}

} // namespace vigilux::app
