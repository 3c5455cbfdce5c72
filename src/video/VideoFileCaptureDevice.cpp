#include "video/VideoFileCaptureDevice.h"

#include "video/RateGate.h"
#include "video/VideoDecoder.h"

#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace vigilux::video {

// What the playing thread and the UI thread share.
struct VideoFileCaptureDevice::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    FrameHandover frames;
    SharedRate rate; // applied on the frames' own times

    // Waits until `due`; false when asked to stop first.
    template <typename TimePoint>
    bool waitUntil(TimePoint due) {
        std::unique_lock lock(mutex);
        return !wake.wait_until(lock, due, [this] { return stop; });
    }
};

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

} // namespace

VideoFileCaptureDevice::VideoFileCaptureDevice(QString path, QObject* parent)
    : CaptureDevice(parent)
    , m_path(std::move(path)) {}

VideoFileCaptureDevice::~VideoFileCaptureDevice() {
    stopWorker();
}

bool VideoFileCaptureDevice::connectDriver() {
    if (isConnected())
        return true;
    const QFileInfo info(m_path);
    if (!info.exists() || !info.isFile() || !info.isReadable() || info.size() == 0)
        return false;
    auto decoder = std::make_unique<VideoDecoder>();
    if (!decoder->open(info.absoluteFilePath()))
        return false;
    m_size = decoder->layout().size;
    m_pixelName = FrameLayout::pixelName(decoder->layout().pixel);
    m_frameRate = decoder->frameRate();
    clearFrame();
    setConnected(true);
    startWorker(std::move(decoder));
    return true;
}

void VideoFileCaptureDevice::disconnectDriver() {
    stopWorker();
    setConnected(false);
}

void VideoFileCaptureDevice::startWorker(std::unique_ptr<VideoDecoder> first) {
    m_shared = std::make_shared<Shared>();
    const quint64 generation = ++m_generation;
    auto shared = m_shared;
    previewSettingsChanged();
    const QString path = QFileInfo(m_path).absoluteFilePath();
    m_worker = std::thread([this, shared, path, generation, first = std::move(first)]() mutable {
        // Posts go through the event loop to the UI thread. The device
        // joins this thread before it dies, so `this` outlives every post;
        // the generation tells posts of an earlier thread apart.
        std::unique_ptr<VideoDecoder> decoder = std::move(first);
        std::vector<std::uint8_t> work;
        RateGate gate;
        auto start = Clock::now();
        std::int64_t passStartMs = 0; // the pass's first frame on the device's timeline
        std::int64_t lastMs = 0;
        std::int64_t stepMs = 40; // between the last two frames; where the next pass starts
        for (;;) {
            bool gotFrame = false;
            while (decoder->next()) {
                const std::int64_t ms = passStartMs + decoder->time().floorMs();
                if (gotFrame)
                    stepMs = std::clamp<std::int64_t>(ms - lastMs, 1, 1000);
                lastMs = ms;
                gotFrame = true;
                const bool wanted = shared->rate.wanted();
                const bool take = shared->rate.pass(gate, ms);
                // A frame the rate leaves out is not waited for: the thread
                // sleeps once per frame taken, not once per frame. With no
                // frame wanted at all it keeps the file's pace, so a paused
                // preview does not decode the file as fast as it can.
                if (wanted && !take)
                    continue;
                const auto due = start + Ms(ms);
                if (!shared->waitUntil(due))
                    return;
                if (Clock::now() - due > Ms(MaxLateMs))
                    start = Clock::now() - Ms(ms);
                if (!take)
                    continue;
                const FrameLayout& layout = decoder->layout();
                work.resize(static_cast<std::size_t>(layout.bytes));
                if (!decoder->pictureInto(work.data()))
                    continue;
                if (shared->frames.offer(work, layout)) {
                    QMetaObject::invokeMethod(
                        this, [this, generation] { takeFrame(generation); }, Qt::QueuedConnection);
                }
            }
            if (!gotFrame) {
                QMetaObject::invokeMethod(
                    this, [this, generation] { onFailed(generation); }, Qt::QueuedConnection);
                return;
            }
            // Once more from the start, one frame after the last.
            passStartMs = lastMs + stepMs;
            decoder = std::make_unique<VideoDecoder>();
            if (!decoder->open(path)) {
                QMetaObject::invokeMethod(
                    this, [this, generation] { onFailed(generation); }, Qt::QueuedConnection);
                return;
            }
        }
    });
}

void VideoFileCaptureDevice::stopWorker() {
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stop = true;
    }
    m_shared->wake.notify_all();
    m_worker.join();
    m_shared.reset();
}

void VideoFileCaptureDevice::takeFrame(quint64 generation) {
    if (!m_shared || generation != m_generation)
        return;
    FrameLayout layout;
    if (!m_shared->frames.take(m_taken, layout))
        return;
    // The rate was applied in the thread, on the file's own times: arrival
    // jitter must not drop a frame here.
    if (!deliveryOpen())
        return;
    publishFrame(m_taken, layout);
}

void VideoFileCaptureDevice::previewSettingsChanged() {
    if (!m_shared)
        return;
    m_shared->rate.set(previewing(), previewRate());
}

void VideoFileCaptureDevice::onFailed(quint64 generation) {
    if (!m_shared || generation != m_generation || !isConnected())
        return;
    disconnectDriver();
    emit deviceLost();
}

bool VideoFileCaptureDevice::setVideoSize(QSize size) {
    return size.isValid() && size == m_size;
}

QList<CaptureDevice::VideoFormat> VideoFileCaptureDevice::videoFormats() const {
    if (!isConnected() || !m_size.isValid())
        return {};
    return {{m_size, m_pixelName, m_frameRate}};
}

bool VideoFileCaptureDevice::setVideoFormat(int index) {
    return index == 0 && isConnected() && m_size.isValid();
}

QString VideoFileCaptureDevice::name() const {
    return QFileInfo(m_path).fileName();
}

QString VideoFileCaptureDevice::description() const {
    return QStringLiteral("Видеофайл %1").arg(QFileInfo(m_path).absoluteFilePath());
}

} // namespace vigilux::video
