#include "video/NetworkCaptureDevice.h"

#include "video/RateGate.h"

#include <QDateTime>
#include <QMetaObject>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace vigilux::video {

// What the decoder thread and the UI thread share: the stop request, the
// session to interrupt, and the newest frame.
struct NetworkCaptureDevice::Shared {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    NetworkStream* current = nullptr; // the session in progress, to interrupt it

    FrameHandover frames;
    SharedRate rate; // applied on arrival
    // Every whole frame decoded, handed over or not.
    std::atomic<quint64> received{0};
    std::atomic<qint64> lastFrameMs{0}; // ms since the epoch
};

namespace {

using Clock = std::chrono::steady_clock;

} // namespace

NetworkCaptureDevice::NetworkCaptureDevice(video::CaptureSource source, NetworkLimits limits,
                                           QObject* parent)
    : CaptureDevice(parent)
    , m_source(std::move(source))
    , m_limits(limits) {}

NetworkCaptureDevice::~NetworkCaptureDevice() {
    stopWorker();
}

bool NetworkCaptureDevice::connectDriver() {
    if (isConnected())
        return true;
    if (!video::CaptureSource::isNetworkAddress(m_source.address))
        return false;
    clearFrame();
    m_size = {};
    m_lastFrameMs = 0;
    m_lostSince = {};
    m_errorText.clear();
    setConnected(true);
    startWorker();
    setState(State::Connecting);
    return true;
}

void NetworkCaptureDevice::disconnectDriver() {
    stopWorker();
    setConnected(false);
    setState(State::Idle);
}

void NetworkCaptureDevice::setCredentials(const QString& user, const QString& password) {
    m_source.user = user;
    m_source.password = password;
    if (!isConnected())
        return;
    stopWorker();
    startWorker();
    if (m_state == State::LoginRefused)
        setState(State::Connecting);
}

void NetworkCaptureDevice::startWorker() {
    m_shared = std::make_shared<Shared>();
    m_shared->lastFrameMs = m_lastFrameMs;
    previewSettingsChanged();
    const quint64 generation = ++m_generation;
    auto shared = m_shared;
    const video::CaptureSource source = m_source;
    const NetworkLimits limits = m_limits;
    m_worker = std::thread([this, shared, source, limits, generation] {
        // Reports go through the event loop to the UI thread. The device
        // joins this thread before it dies, so `this` outlives every post;
        // the generation tells reports of an earlier thread apart.
        auto report = [this, generation](StreamError error) {
            QMetaObject::invokeMethod(
                this, [this, generation, error] { onSessionFailed(generation, error); },
                Qt::QueuedConnection);
        };
        std::vector<std::uint8_t> work;
        video::FrameLayout layout;
        int failures = 0;
        RateGate gate;
        const auto connected = Clock::now();
        for (;;) {
            NetworkStream stream(limits);
            {
                std::lock_guard lock(shared->mutex);
                if (shared->stop)
                    return;
                shared->current = &stream;
            }
            const auto started = Clock::now();
            bool gotFrame = false;
            bool picture = false;
            // The first frame of a session always goes through: it tells
            // the UI thread that the picture is back.
            bool first = true;
            const auto wanted = [&] {
                shared->received.fetch_add(1, std::memory_order_relaxed);
                shared->lastFrameMs.store(QDateTime::currentMSecsSinceEpoch(),
                                          std::memory_order_relaxed);
                const qint64 ms =
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - connected)
                        .count();
                const bool take = shared->rate.pass(gate, ms);
                return std::exchange(first, false) || take;
            };
            if (stream.open(source)) {
                picture = stream.servesPictures();
                while (stream.next(work, layout, wanted)) {
                    gotFrame = true;
                    if (shared->frames.offer(work, layout)) {
                        QMetaObject::invokeMethod(
                            this, [this, generation] { takeFrame(generation); },
                            Qt::QueuedConnection);
                    }
                    if (picture)
                        break; // a snapshot address: one picture per visit
                }
            }
            const StreamError error = stream.error();
            {
                std::lock_guard lock(shared->mutex);
                shared->current = nullptr;
                if (shared->stop)
                    return;
            }
            auto wait = std::chrono::milliseconds(0);
            if (picture && gotFrame) {
                failures = 0;
                const int interval =
                    source.snapshotIntervalMs > 0 ? source.snapshotIntervalMs : DefaultSnapshotMs;
                wait =
                    std::chrono::milliseconds(interval) -
                    std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
            } else {
                report(error);
                if (error == StreamError::LoginRefused || error == StreamError::Forbidden) {
                    // Trying the same password again only gets it refused
                    // again (and may lock the account): wait for new ones.
                    std::unique_lock lock(shared->mutex);
                    shared->wake.wait(lock, [&] { return shared->stop; });
                    return;
                }
                if (gotFrame)
                    failures = 0;
                wait = std::chrono::milliseconds(std::min(FirstRetryMs << failures, LastRetryMs));
                failures = std::min(failures + 1, 6);
            }
            std::unique_lock lock(shared->mutex);
            if (shared->wake.wait_for(lock, std::max(wait, std::chrono::milliseconds(0)),
                                      [&] { return shared->stop; }))
                return;
        }
    });
}

void NetworkCaptureDevice::stopWorker() {
    if (!m_worker.joinable())
        return;
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->stop = true;
        if (m_shared->current)
            m_shared->current->requestStop();
    }
    m_shared->wake.notify_all();
    m_worker.join();
    m_lastFrameMs = m_shared->lastFrameMs.load(std::memory_order_relaxed);
    m_shared.reset();
}

void NetworkCaptureDevice::takeFrame(quint64 generation) {
    if (!m_shared || generation != m_generation)
        return;
    video::FrameLayout layout;
    if (!m_shared->frames.take(m_taken, layout))
        return;
    m_size = layout.size;
    m_pixelName = video::FrameLayout::pixelName(layout.pixel);
    if (m_state != State::Streaming) {
        m_lostSince = {};
        m_errorText.clear();
        setState(State::Streaming); // a slot may disconnect us: checked below
    }
    // The rate was applied in the thread, on arrival: the posting's own
    // delay must not drop a frame here.
    if (!deliveryOpen())
        return;
    publishFrame(m_taken, layout);
}

quint64 NetworkCaptureDevice::receivedFrames() const {
    return m_shared ? m_shared->received.load(std::memory_order_relaxed) : 0;
}

void NetworkCaptureDevice::previewSettingsChanged() {
    if (!m_shared)
        return;
    m_shared->rate.set(previewing(), previewRate());
}

void NetworkCaptureDevice::onSessionFailed(quint64 generation, StreamError error) {
    if (!m_shared || generation != m_generation)
        return;
    m_errorText = streamErrorText(error);
    const qint64 lastFrameMs = m_shared->lastFrameMs.load(std::memory_order_relaxed);
    if (m_lostSince.isNull())
        m_lostSince = lastFrameMs > 0 ? QDateTime::fromMSecsSinceEpoch(lastFrameMs)
                                      : QDateTime::currentDateTime();
    const bool refused = error == StreamError::LoginRefused || error == StreamError::Forbidden;
    setState(refused ? State::LoginRefused : State::Lost);
}

void NetworkCaptureDevice::setState(State state) {
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

bool NetworkCaptureDevice::setVideoSize(QSize size) {
    return size.isValid() && size == m_size;
}

QList<video::CaptureDevice::VideoFormat> NetworkCaptureDevice::videoFormats() const {
    if (!m_size.isValid())
        return {};
    return {{m_size, m_pixelName, 0}};
}

bool NetworkCaptureDevice::setVideoFormat(int index) {
    return index == 0 && m_size.isValid();
}

QString NetworkCaptureDevice::name() const {
    return QStringLiteral("Сетевая камера");
}

QString NetworkCaptureDevice::description() const {
    return QStringLiteral("Сетевая камера %1").arg(maskedAddress());
}

} // namespace vigilux::video
