#include "core/LineJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    auto file = std::make_unique<QFile>(m_path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        m_lastError = file->errorString();
        return false;
    }
    // A torn line left by a crash must not swallow the next record.
    if (file->size() > 0) {
        QFile reader(m_path);
        if (reader.open(QIODevice::ReadOnly) && reader.seek(file->size() - 1)) {
            char last = '\n';
            if (reader.getChar(&last) && last != '\n' && file->write("\n", 1) != 1) {
                m_lastError = file->errorString();
                return false;
            }
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

QStringList LineJournal::readAll() const {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray data = file.readAll();
    QStringList records;
    qsizetype start = 0;
    for (qsizetype end = data.indexOf('\n'); end >= 0; end = data.indexOf('\n', start)) {
        QByteArray line = data.mid(start, end - start);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (!line.isEmpty()) {
            records << QString::fromUtf8(line);
        }
        start = end + 1;
    }
    return records; // anything after the last line break is a torn record
}

bool LineJournal::rewrite(const QStringList& records) {
    // The new file replaces the one held open; appends go to the new one.
    m_appender.reset();
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_lastError = file.errorString();
        return false;
    }
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
