#pragma once

#include "web/RemoteViewSource.h"

#include <QImage>
#include <QMutex>

namespace vigilux::web {

// A RemoteViewSource whose getters answer from what the program published:
// the program calls the publish functions on its UI thread (cheap: a shared
// copy under a short lock), the server reads on its own thread. The JPEG is
// made on the server's thread, only when asked and only once per new frame,
// scaled to fit 640 x 480 and to at most three quarters of the frame's size,
// so neither scaling nor encoding ever costs the UI thread anything.
// The program derives from it for the three actions.
class PublishedRemoteViewSource : public RemoteViewSource {
public:
    // `frame` must own its pixels (not wrap a mapped video buffer).
    void publishFrame(const QImage& frame);
    void publishState(const RemoteViewState& state);
    void publishPaths(const QString& saveFolder, const QString& eventLogPath);

    QByteArray latestJpeg() override;
    RemoteViewState state() override;
    QString saveFolder() override;
    QString eventLogPath() override;

private:
    QMutex m_mutex;
    QImage m_frame;
    quint64 m_frameNumber = 0;
    quint64 m_encodedNumber = 0;
    QByteArray m_jpeg;
    RemoteViewState m_state;
    QString m_saveFolder;
    QString m_eventLogPath;
};

} // namespace vigilux::web
