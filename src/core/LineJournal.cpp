#include "core/LineJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/RegularFile.h"

namespace vigilux::core {

namespace {
QByteArray encodeLine(QString record) {
    record.replace(QLatin1Char('\r'), QLatin1Char(' '));
    record.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return record.toUtf8() + '\n';
}
} // namespace

LineJournal::LineJournal(const QString& path)
    : m_path(path) {}

LineJournal::~LineJournal() = default;
LineJournal::LineJournal(LineJournal&&) noexcept = default;
LineJournal& LineJournal::operator=(LineJournal&&) noexcept = default;

// The file stays open between appends: a queue appends two lines for every
// picture it sends, and opening the file each time cost more than the send.
bool LineJournal::openForAppend() {
    platform::RegularFile::makePrivateFolder(QFileInfo(m_path).absolutePath());
    auto file = std::make_unique<QFile>();
    if (!platform::RegularFile::openForAppend(*file, m_path, &m_lastError))
        return false;
    // A torn line left by a crash must not swallow the next record.
    if (file->size() > 0) {
        char last = '\n';
        if (file->seek(file->size() - 1) && file->getChar(&last) && last != '\n' &&
            file->write("\n", 1) != 1) {
            m_lastError = file->errorString();
            return false;
        }
    }
    m_appender = std::move(file);
    return true;
}

bool LineJournal::append(const QString& record) {
    if (!m_appender && !openForAppend())
        return false;
    const QByteArray line = encodeLine(record);
    if (m_appender->write(line) != line.size()) {
        m_lastError = m_appender->errorString();
        // Opened again next time, which ends a line this write may have cut.
        m_appender.reset();
        return false;
    }
    return true;
}

bool LineJournal::forEach(const std::function<void(const QString&)>& take) {
    QFile file;
    QString why;
    if (!platform::RegularFile::openForReading(file, m_path, platform::RegularFile::Links::Refuse,
                                               &why)) {
        QFileInfo info(m_path);
        if (!info.exists() && !info.isSymLink())
            return true;
        m_lastError = why;
        return false;
    }
    // Read in blocks; only the line being put together is kept, and a line
    // that passes the bound is skipped up to its end.
    constexpr qint64 kBlock = 64 * 1024;
    QByteArray line;
    bool oversized = false;
    QByteArray block;
    for (;;) {
        block = file.read(kBlock);
        if (block.isEmpty())
            break;
        qsizetype start = 0;
        for (;;) {
            const qsizetype end = block.indexOf('\n', start);
            const qsizetype stop = end < 0 ? block.size() : end;
            if (!oversized) {
                line.append(block.constData() + start, stop - start);
                if (line.size() > kMaxRecordBytes) {
                    oversized = true;
                    line.clear();
                    line.squeeze();
                }
            }
            if (end < 0)
                break;
            if (!oversized) {
                if (line.endsWith('\r'))
                    line.chop(1);
                if (!line.isEmpty())
                    take(QString::fromUtf8(line));
            }
            line.resize(0); // keeps the buffer for the next line
            oversized = false;
            start = end + 1;
        }
    }
    return true; // anything after the last line break is a torn record
}

QStringList LineJournal::readAll() const {
    QStringList records;
    LineJournal(m_path).forEach([&records](const QString& r) { records << r; });
    return records;
}

bool LineJournal::rewrite(const QStringList& records) {
    // The new file replaces the one held open; appends go to the new one.
    m_appender.reset();
    platform::RegularFile::makePrivateFolder(QFileInfo(m_path).absolutePath());
    // A saved file writes through a symlink to its target; the link itself
    // goes, and a regular file takes its place.
    if (QFileInfo(m_path).isSymLink())
        QFile::remove(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastError = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const QString& record : records) {
        const QByteArray line = encodeLine(record);
        if (file.write(line) != line.size()) {
            m_lastError = file.errorString();
            file.cancelWriting();
            return false;
        }
    }
    if (!file.commit()) {
        m_lastError = file.errorString();
        return false;
    }
    return true;
}

} // namespace vigilux::core
