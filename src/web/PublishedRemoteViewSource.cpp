#include "web/PublishedRemoteViewSource.h"

#include <QBuffer>

namespace vigilux::web {

void PublishedRemoteViewSource::publishFrame(const QImage& frame) {
    QMutexLocker lock(&m_mutex);
    m_frame = frame;
    ++m_frameNumber;
}

void PublishedRemoteViewSource::publishState(const RemoteViewState& state) {
    QMutexLocker lock(&m_mutex);
    m_state = state;
}

void PublishedRemoteViewSource::publishPaths(const QString& saveFolder,
                                             const QString& eventLogPath) {
    QMutexLocker lock(&m_mutex);
    m_saveFolder = saveFolder;
    m_eventLogPath = eventLogPath;
}

QByteArray PublishedRemoteViewSource::latestJpeg() {
    QImage frame;
    quint64 number = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (m_encodedNumber == m_frameNumber)
            return m_jpeg;
        frame = m_frame;
        number = m_frameNumber;
    }
    // Encoding happens outside the lock, so publishing never waits for it.
    QByteArray jpeg;
    if (!frame.isNull()) {
        const QSize box = frame.size()
                              .scaled(frame.size() * 3 / 4, Qt::KeepAspectRatio)
                              .boundedTo(QSize(640, 480));
        const QImage small = frame.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        small.save(&buffer, "JPG", 75);
    }
    QMutexLocker lock(&m_mutex);
    m_jpeg = jpeg;
    m_encodedNumber = number;
    return jpeg;
}

RemoteViewState PublishedRemoteViewSource::state() {
    QMutexLocker lock(&m_mutex);
    return m_state;
}

QString PublishedRemoteViewSource::saveFolder() {
    QMutexLocker lock(&m_mutex);
    return m_saveFolder;
}

QString PublishedRemoteViewSource::eventLogPath() {
    QMutexLocker lock(&m_mutex);
    return m_eventLogPath;
}

} // namespace vigilux::web
