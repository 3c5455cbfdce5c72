#include "video/NetworkSourceCheck.h"

#include <QMetaObject>

#include <mutex>

namespace vigilux::video {

struct NetworkSourceCheck::Job {
    std::mutex mutex;
    bool abandoned = false;
    NetworkStream* stream = nullptr; // while it runs, to interrupt it
};

NetworkSourceCheck::NetworkSourceCheck(NetworkLimits limits, QObject* parent)
    : QObject(parent)
    , m_limits(limits) {}

NetworkSourceCheck::~NetworkSourceCheck() {
    cancel();
}

void NetworkSourceCheck::cancel() {
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_job->mutex);
            m_job->abandoned = true;
            if (m_job->stream)
                m_job->stream->requestStop();
        }
        m_thread.join();
    }
    m_job.reset();
    m_running = false;
    ++m_generation; // a result already posted is dropped
}

void NetworkSourceCheck::start(const video::CaptureSource& source) {
    cancel();
    m_job = std::make_shared<Job>();
    m_running = true;
    const quint64 generation = ++m_generation;
    m_thread = std::thread([this, job = m_job, source, limits = m_limits, generation] {
        NetworkStream stream(limits);
        {
            std::lock_guard lock(job->mutex);
            if (job->abandoned)
                return;
            job->stream = &stream;
        }
        std::vector<std::uint8_t> bytes;
        video::FrameLayout layout;
        QImage frame;
        if (stream.open(source) && stream.next(bytes, layout))
            frame = layout.toImage(bytes.data());
        const QString error = frame.isNull() ? streamErrorText(stream.error() == StreamError::None
                                                                   ? StreamError::BadData
                                                                   : stream.error())
                                             : QString();
        std::lock_guard lock(job->mutex);
        job->stream = nullptr;
        if (job->abandoned)
            return;
        // Posted while the object is certainly alive: it joins this thread
        // before it dies, and drops posts of an earlier check by generation.
        QMetaObject::invokeMethod(
            this,
            [this, generation, frame, error] {
                if (generation != m_generation || !m_thread.joinable())
                    return;
                m_thread.join();
                m_job.reset();
                m_running = false;
                emit finished(frame, error);
            },
            Qt::QueuedConnection);
    });
}

} // namespace vigilux::video
