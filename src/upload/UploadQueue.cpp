#include "upload/UploadQueue.h"

#include "core/AppContext.h"
#include "core/RetryBackoff.h"
#include "platform/Clock.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <utility>

namespace vigilux::upload {

namespace {

// Journal records, one a line: "<kind>\t<path>", and "failed\t<ms>\t<path>"
// for the first failure of a file (the day of retries counts from it).
const QString kQueued = QStringLiteral("queued");
const QString kArrived = QStringLiteral("arrived");
const QString kDropped = QStringLiteral("dropped");
const QString kFailed = QStringLiteral("failed");
const QString kDelete = QStringLiteral("delete");

// Appends after which an emptied queue rewrites its journal.
constexpr int kCompactAfter = 512;

const QLatin1Char kTab('\t');

QString fileName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.mid(slash + 1);
}

} // namespace

UploadQueue::UploadQueue(AppContext& context, upload::FtpClient& ftp, core::StatusSink status,
                         QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_ftp(ftp)
    , m_status(std::move(status))
    , m_retryDelay(&core::RetryBackoff::delayMs) {
    connect(&m_ftp, &upload::FtpClient::finished, this, &UploadQueue::onUploadResult);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &UploadQueue::uploadNext);
}

UploadQueue::~UploadQueue() = default;

QString UploadQueue::journalPath() const {
    const QString ini = m_context.ini.fileName();
    const QString folder = ini.isEmpty() ? m_context.programFolder : QFileInfo(ini).absolutePath();
    return folder + QLatin1Char('/') + journalFileName();
}

// The settings folder is known only once the settings are loaded; the
// journal follows it.
core::LineJournal& UploadQueue::journal() {
    const QString path = journalPath();
    if (!m_journal || m_journal->path() != path)
        m_journal = std::make_unique<core::LineJournal>(path);
    return *m_journal;
}

void UploadQueue::record(const QString& kind, const QString& path) {
    core::LineJournal& j = journal();
    ++m_appendedSinceCompaction;
    if (j.append(kind + kTab + path) || m_journalErrorShown)
        return;
    // Uploads go on; only their survival across a restart is at stake.
    m_journalErrorShown = true;
    m_status(QStringLiteral("Не удалось записать очередь загрузки на ftp (") + j.lastError() +
             QLatin1Char(')'));
}

void UploadQueue::recordFailure(const Entry& entry) {
    record(kFailed, QString::number(entry.firstFailureMs) + kTab + entry.path);
}

int UploadQueue::restore() {
    struct Pending {
        qint64 order = 0;
        int count = 0;
        qint64 firstFailureMs = 0;
        bool deleteAfter = false;
    };
    // Only files still waiting are kept while the journal streams by, so
    // memory follows what waits, not the journal's length.
    QHash<QString, Pending> pending;
    qint64 nextOrder = 0;
    core::LineJournal& j = journal();
    const bool readable = j.forEach([&](const QString& line) {
        const qsizetype tab = line.indexOf(kTab);
        if (tab < 0)
            return;
        const QString kind = line.left(tab);
        QString path = line.mid(tab + 1);
        if (kind == kQueued) {
            auto it = pending.find(path);
            if (it == pending.end())
                pending.insert(path, Pending{nextOrder++, 1, 0, false});
            else
                ++it->count;
        } else if (kind == kArrived || kind == kDropped) {
            auto it = pending.find(path);
            if (it != pending.end() && --it->count <= 0)
                pending.erase(it);
        } else if (kind == kFailed) {
            const qsizetype second = path.indexOf(kTab);
            if (second < 0)
                return;
            const qint64 ms = path.left(second).toLongLong();
            path = path.mid(second + 1);
            auto it = pending.find(path);
            if (it != pending.end() && it->firstFailureMs == 0)
                it->firstFailureMs = ms;
        } else if (kind == kDelete) {
            auto it = pending.find(path);
            if (it != pending.end())
                it->deleteAfter = true;
        }
    });
    if (!readable)
        m_status(QStringLiteral("Очередь загрузки на ftp не прочитана (") + j.lastError() +
                 QStringLiteral("), она начата заново"));
    struct Restored {
        QString path;
        Pending p;
    };
    QList<Restored> order;
    order.reserve(pending.size());
    for (auto it = pending.cbegin(); it != pending.cend(); ++it)
        order.append(Restored{it.key(), it.value()});
    pending.clear();
    std::sort(order.begin(), order.end(),
              [](const Restored& a, const Restored& b) { return a.p.order < b.p.order; });

    const bool upload = m_context.settings.ftpUpload;
    int queued = 0;
    int missing = 0;
    int refused = 0;
    m_dormant.clear();
    for (const Restored& r : std::as_const(order)) {
        const Pending& p = r.p;
        const QString& path = r.path;
        if (isWaiting(path))
            continue;
        if (!QFileInfo::exists(path)) {
            ++missing;
            continue;
        }
        // The journal is a file anyone with the user's rights can edit: it
        // never names what is sent or deleted outside the save folder.
        if (!mayTouch(path)) {
            ++refused;
            continue;
        }
        if (!upload) {
            // Kept for a start with upload on; nothing is sent meanwhile.
            m_dormant << kQueued + kTab + path;
            if (p.firstFailureMs != 0)
                m_dormant << kFailed + kTab + QString::number(p.firstFailureMs) + kTab + path;
            if (p.deleteAfter)
                m_dormant << kDelete + kTab + path;
            continue;
        }
        Entry entry;
        entry.path = path;
        entry.firstFailureMs = p.firstFailureMs;
        entry.deleteAfter = p.deleteAfter;
        m_waiting.append(entry);
        ++queued;
    }
    if (!j.rewrite(liveRecords()) && !m_journalErrorShown) {
        m_journalErrorShown = true;
        m_status(QStringLiteral("Не удалось записать очередь загрузки на ftp (") + j.lastError() +
                 QLatin1Char(')'));
    }
    m_appendedSinceCompaction = 0;

    if (queued > 0 && m_current == std::nullopt && !m_ftp.isBusy()) {
        // As a file that arrives at an empty queue: the first one waits the
        // client's start delay.
        Entry first = m_waiting.takeFirst();
        m_current = first;
        startUpload(first.path, upload::FtpClient::Start::Deferred);
    }
    if (queued > 0 || missing > 0) {
        QString text = QStringLiteral("Восстановлена очередь загрузки на ftp (изображений: ") +
                       QString::number(queued) + QLatin1Char(')');
        if (missing > 0)
            text += QStringLiteral(", не найдено файлов: ") + QString::number(missing);
        m_status(text);
    }
    if (refused > 0)
        m_status(QStringLiteral("Из очереди загрузки на ftp убраны файлы вне папки снимков или не "
                                "обычные файлы: ") +
                 QString::number(refused));
    announce();
    return queued;
}

QStringList UploadQueue::liveRecords() const {
    QStringList records = m_dormant;
    auto add = [&records](const Entry& e) {
        records << kQueued + kTab + e.path;
        if (e.firstFailureMs != 0)
            records << kFailed + kTab + QString::number(e.firstFailureMs) + kTab + e.path;
        if (e.deleteAfter)
            records << kDelete + kTab + e.path;
    };
    if (m_current)
        add(*m_current);
    for (const Entry& e : m_waiting)
        add(e);
    return records;
}

qint16 UploadQueue::queueCount() const {
    return static_cast<qint16>(std::min<qsizetype>(m_waiting.size(), 32767));
}

int UploadQueue::waitingCount() const {
    return static_cast<int>(m_waiting.size()) + (m_current ? 1 : 0);
}

QString UploadQueue::waitingNote(int count) {
    if (count <= 0)
        return QString();
    return QStringLiteral("\nВ очереди на ftp: ") + QString::number(count);
}

void UploadQueue::announce() {
    const int count = waitingCount();
    if (count == m_announced)
        return;
    m_announced = count;
    emit waitingChanged(count);
}

bool UploadQueue::isWaiting(const QString& path) const {
    if (m_current && m_current->path == path)
        return true;
    return std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                       [&path](const Entry& e) { return e.path == path; });
}

void UploadQueue::showQueueText() {
    const QString count = QString::number(queueCount());
    if (m_paused)
        m_status(QStringLiteral("Загрузка на ftp приостановлена: сервер не принял логин или "
                                "пароль (изображений в очереди: ") +
                 count + QStringLiteral(")"));
    else
        m_status(QStringLiteral("Загрузка на ftp (изображений в очереди: ") + count +
                 QStringLiteral(")..."));
}

void UploadQueue::enqueueSaved(const QString& path) {
    if (!m_context.settings.ftpUpload)
        return;
    const bool idle = m_waiting.isEmpty() && !m_current && !m_ftp.isBusy();
    enqueue(path);
    if (idle)
        uploadNext();
}

void UploadQueue::enqueue(const QString& path) {
    // The same name saved again (a fixed file name) is sent once, with what
    // the file holds when its turn comes.
    const bool queuedAlready = std::any_of(m_waiting.cbegin(), m_waiting.cend(),
                                           [&path](const Entry& e) { return e.path == path; });
    if (!queuedAlready) {
        record(kQueued, path);
        Entry entry;
        entry.path = path;
        m_waiting.append(entry);
    }
    showQueueText();
    announce();
}

void UploadQueue::uploadNext() {
    // The client runs one job at a time; the file waits for the next result.
    // Upload switched off: what waits stays queued (and journalled) until it
    // is switched on again.
    if (m_paused || m_current || m_ftp.isBusy() || m_waiting.isEmpty() ||
        !m_context.settings.ftpUpload)
        return;
    if (!m_hold.hasExpired()) {
        armRetry(m_hold.remainingTime());
        return;
    }
    // The oldest file whose wait is over; a file the server refused waits
    // alone while the others go on.
    for (;;) {
        const auto ready = std::find_if(m_waiting.begin(), m_waiting.end(),
                                        [](const Entry& e) { return e.notBefore.hasExpired(); });
        if (ready == m_waiting.end()) {
            qint64 soonest = -1;
            for (const Entry& e : std::as_const(m_waiting)) {
                const qint64 left = e.notBefore.remainingTime();
                if (soonest < 0 || left < soonest)
                    soonest = left;
            }
            armRetry(soonest);
            return;
        }
        Entry entry = *ready;
        m_waiting.erase(ready);
        if (!QFileInfo::exists(entry.path)) {
            drop(entry, QStringLiteral("Файл для загрузки на ftp не найден: ") +
                            QDir::toNativeSeparators(entry.path));
            if (m_waiting.isEmpty())
                break;
            continue;
        }
        // Replaced meanwhile by a FIFO or a link out of the save folder.
        if (!mayTouch(entry.path)) {
            entry.deleteAfter = false;
            drop(entry, QStringLiteral("Файл вне папки снимков или не обычный файл не "
                                       "загружается на ftp: ") +
                            QDir::toNativeSeparators(entry.path));
            if (m_waiting.isEmpty())
                break;
            continue;
        }
        m_current = entry;
        showQueueText();
        startUpload(entry.path, upload::FtpClient::Start::Promptly);
        break;
    }
    compactWhenIdle();
    announce();
}

void UploadQueue::armRetry(qint64 ms) {
    m_retry.start(static_cast<int>(std::clamp<qint64>(ms, 0, 24LL * 60 * 60 * 1000)));
}

void UploadQueue::startUpload(const QString& path, upload::FtpClient::Start start) {
    if (path.isEmpty())
        return;
    QString& folder = m_context.settings.ftpFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const auto& s = m_context.settings;
    m_ftp.upload(s.ftpServer, s.ftpLogin, s.ftpPassword, path, folder + fileName(path), start);
}

void UploadQueue::onUploadResult(const core::Status& result) {
    if (!m_current) {
        // Not a file of ours (a second result of one job, or an upload
        // started around the queue): only the text.
        m_status(result ? QStringLiteral("Загрузка на ftp завершена.")
                        : QStringLiteral("Ошибка загрузки на ftp!"));
        uploadNext();
        return;
    }
    Entry entry = *m_current;
    m_current.reset();
    if (result) {
        record(kArrived, entry.path);
        m_serverFailures = 0;
        if (entry.deleteAfter)
            removeFile(entry);
        m_status(QStringLiteral("Загрузка на ftp завершена."));
    } else {
        m_lastError = result.error();
        m_status(QStringLiteral("Ошибка загрузки на ftp!"));
        onFailure(std::move(entry), result.error());
    }
    uploadNext();
    compactWhenIdle();
    announce();
}

void UploadQueue::onFailure(Entry entry, const QString& result) {
    Q_UNUSED(result);
    if (!QFileInfo::exists(entry.path)) {
        drop(entry, QStringLiteral("Файл для загрузки на ftp не найден: ") +
                        QDir::toNativeSeparators(entry.path));
        return;
    }
    const upload::FtpClient::Failure kind = m_ftp.lastFailure();
    if (kind == upload::FtpClient::Failure::Login) {
        // Every file would be refused the same way: wait for new settings.
        m_paused = true;
        m_waiting.prepend(entry);
        showQueueText();
        return;
    }
    const qint64 now = m_context.clock.now().toMSecsSinceEpoch();
    if (entry.firstFailureMs == 0) {
        entry.firstFailureMs = now;
        recordFailure(entry);
    } else if (core::RetryBackoff::givesUp(entry.firstFailureMs, now)) {
        if (entry.deleteAfter)
            removeFile(entry);
        drop(entry,
             QStringLiteral("Изображение не загружено на ftp за сутки и убрано из очереди: ") +
                 QDir::toNativeSeparators(entry.path));
        return;
    }
    ++entry.failures;
    const qint64 delay = m_retryDelay(entry.failures);
    entry.notBefore.setRemainingTime(delay);
    if (kind == upload::FtpClient::Failure::Server) {
        // The server itself failed: the whole queue waits, this file first.
        ++m_serverFailures;
        m_hold.setRemainingTime(std::max(delay, m_retryDelay(m_serverFailures)));
        entry.notBefore = m_hold;
    }
    m_waiting.prepend(entry);
}

void UploadQueue::drop(const Entry& entry, const QString& message) {
    record(kDropped, entry.path);
    m_status(message);
}

bool UploadQueue::mayTouch(const QString& path) const {
    return platform::RegularFile::isInside(path, m_context.settings.savePath);
}

void UploadQueue::removeFile(const Entry& entry) {
    // The same name queued again (a fixed file name) now holds a newer picture.
    if (isWaiting(entry.path)) {
        for (Entry& e : m_waiting)
            if (e.path == entry.path)
                e.deleteAfter = true;
        return;
    }
    if (!mayTouch(entry.path))
        return;
    QFile file(entry.path);
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
    if (!file.remove() && file.exists())
        m_status(QStringLiteral(" Не удалось удалить файл ") +
                 QDir::toNativeSeparators(entry.path));
}

bool UploadQueue::deferDeletion(const QString& path) {
    const QString clean = QDir::cleanPath(path);
    bool waiting = false;
    auto mark = [&](Entry& e) {
        if (QDir::cleanPath(e.path) != clean)
            return;
        waiting = true;
        if (!e.deleteAfter) {
            e.deleteAfter = true;
            record(kDelete, e.path);
        }
    };
    if (m_current)
        mark(*m_current);
    for (Entry& e : m_waiting)
        mark(e);
    return waiting;
}

void UploadQueue::settingsSaved(bool uploadWasOn) {
    if (!m_context.settings.ftpUpload)
        return;
    if (!uploadWasOn && !m_dormant.isEmpty())
        restore();
    resume();
}

void UploadQueue::resume() {
    m_paused = false;
    m_hold = QDeadlineTimer(0);
    m_serverFailures = 0;
    for (Entry& e : m_waiting)
        e.notBefore = QDeadlineTimer(0);
    uploadNext();
}

// A long run appends without end; once nothing waits, the journal starts
// afresh from what is still kept.
void UploadQueue::compactWhenIdle() {
    if (m_appendedSinceCompaction < kCompactAfter || m_current || !m_waiting.isEmpty())
        return;
    if (journal().rewrite(liveRecords()))
        m_appendedSinceCompaction = 0;
}

} // namespace vigilux::upload
