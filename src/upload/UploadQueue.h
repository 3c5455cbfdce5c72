#pragma once

#include "core/DeletionGuard.h"
#include "core/LineJournal.h"
#include "core/StatusSink.h"
#include "upload/FtpClient.h"
#include "upload/UploadBacklog.h"

#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace vigilux {
struct AppContext;
}

namespace vigilux::upload {

// Feeds saved pictures to the FTP client one at a time, in the order they
// were saved, and loses none of them:
// - every file queued and every file arrived is a line in a journal beside
//   options.ini, so files still waiting at a crash, a kill or a power cut
//   are queued again at the next start (restore());
// - a failed file goes back into the queue and is tried again after 10 s,
//   30 s, 1 min, 5 min, then every 5 min, for up to a day; while the server
//   cannot be reached the whole queue waits with it, a file the server
//   refuses waits alone;
// - a refused login pauses the whole queue until resume();
// - rotation asks before deleting a picture (deferDeletion), and one that
//   still waits is deleted here once it has arrived;
// - only regular files inside the save folder (symlinks resolved) are sent
//   or deleted, whatever the journal says.
// While files wait, each next one starts at once on the kept connection; only
// a file that arrives at an empty queue waits the client's start delay.
class UploadQueue final : public QObject, public core::DeletionGuard, public upload::UploadBacklog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UploadQueue)
public:
    // The wait before the next try after the n-th failure in a row.
    using RetryDelay = std::function<qint64(int failures)>;

    // Beside options.ini.
    static QString journalFileName() { return QStringLiteral("upload-queue.journal"); }

    // `status` shows a text in the main window's status line.
    UploadQueue(AppContext& context, upload::FtpClient& ftp, core::StatusSink status,
                QObject* parent = nullptr);
    ~UploadQueue() override;

    // At start, once the settings are loaded: compacts the journal and, when
    // FTP upload is on, queues again every file of the last run that has not
    // arrived and still exists, and says so in the status line. Returns how
    // many were queued.
    int restore();

    // The frameSaved handler: queues the file when uploading is on, and starts it
    // when nothing else is waiting or running.
    void enqueueSaved(const QString& path);

    void enqueue(const QString& path);
    void uploadNext();
    void startUpload(const QString& path,
                     upload::FtpClient::Start start = upload::FtpClient::Start::Promptly);

    // The FTP client's result.
    void onUploadResult(const core::Status& result);

    // Goes on after a refused login or with upload switched on again (the
    // FTP settings were changed) and drops the waits of an outage.
    void resume();
    bool paused() const { return m_paused; }
    // The FTP settings were saved: with upload on, goes on (resume()), and
    // when upload has just been switched on, also queues what the journal
    // kept from a start with upload off.
    void settingsSaved(bool uploadWasOn);

    // Files waiting, as the status line shows it (at most 32767), not
    // counting the one being sent.
    qint16 queueCount() const;
    qsizetype size() const { return m_waiting.size(); }

    int waitingCount() const override;
    QString lastError() const override { return m_lastError; }
    bool deferDeletion(const QString& path) override;

    // The line the tray tip gets for `count` files waiting; empty for none.
    static QString waitingNote(int count);

    QString journalPath() const;
    void setRetryDelay(RetryDelay delay) { m_retryDelay = std::move(delay); }

signals:
    // The number of files not yet arrived (waitingCount()) changed.
    void waitingChanged(int count);

private:
    struct Entry {
        QString path;
        int failures = 0;
        qint64 firstFailureMs = 0; // wall clock, ms since the epoch; 0: never failed
        QDeadlineTimer notBefore{0};
        bool deleteAfter = false; // rotation wants it gone once it has arrived
    };

    void showQueueText();
    void record(const QString& kind, const QString& path);
    void recordFailure(const Entry& entry);
    void drop(const Entry& entry, const QString& message);
    void removeFile(const Entry& entry);
    // Only regular files inside the save folder are sent or deleted.
    bool mayTouch(const QString& path) const;
    void onFailure(Entry entry, const QString& result);
    void armRetry(qint64 ms);
    void compactWhenIdle();
    QStringList liveRecords() const;
    bool isWaiting(const QString& path) const;
    void announce();
    core::LineJournal& journal();

    AppContext& m_context;
    upload::FtpClient& m_ftp;
    core::StatusSink m_status;
    RetryDelay m_retryDelay;
    QList<Entry> m_waiting;
    std::optional<Entry> m_current; // handed to the client, result pending
    QStringList m_dormant;          // journal records kept for a later start with upload on
    QDeadlineTimer m_hold{0};       // the server could not be reached: nothing starts before
    int m_serverFailures = 0;
    bool m_paused = false;
    QString m_lastError;
    QTimer m_retry;
    std::unique_ptr<core::LineJournal> m_journal;
    int m_appendedSinceCompaction = 0;
    bool m_journalErrorShown = false;
    int m_announced = -1;
};

} // namespace vigilux::upload
