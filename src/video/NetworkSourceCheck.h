#pragma once

#include "video/CaptureSource.h"
#include "video/NetworkStream.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <memory>
#include <thread>

namespace vigilux::video {

// The source dialog's "Проверить": opens a network camera address off the
// UI thread and reports one frame, or a Russian error text, through the
// event loop. At most one check runs: starting another, or destroying the
// object, abandons the one in progress (its result never arrives).
//
// Threading: used on the UI thread. Abandoning interrupts the check's
// network wait and joins its thread, which takes about 0.1 s at most.
class NetworkSourceCheck final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkSourceCheck)
public:
    explicit NetworkSourceCheck(NetworkLimits limits = {}, QObject* parent = nullptr);
    ~NetworkSourceCheck() override;

    void start(const video::CaptureSource& source);
    void cancel();
    bool running() const { return m_running; }

signals:
    // `frame` is null exactly when `error` is set.
    void finished(const QImage& frame, const QString& error);

private:
    struct Job;

    NetworkLimits m_limits;
    std::shared_ptr<Job> m_job;
    std::thread m_thread;
    bool m_running = false;
    quint64 m_generation = 0;
};

} // namespace vigilux::video
