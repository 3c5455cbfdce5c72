#include "ui/CaptureControl.h"

#include "controls/PushButton.h"
#include "core/AppContext.h"
#include "resources/Pictures.h"
#include "ui/CaptureControlHost.h"
#include "ui/FormatDialog.h"
#include "ui/MotionLevelBar.h"
#include "ui/PreviewWidget.h"
#include "ui/SourceDialog.h"
#include "video/CaptureDevice.h"
#include "video/NetworkCaptureDevice.h"

#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <utility>

namespace vigilux::ui {

namespace {

constexpr QSize OfflineSize(200, 150);
constexpr int InitialPreviewRate = 50;
constexpr int ReconnectMs = 500;
constexpr int MaxReconnectMs = 30000;

// Draws the offline picture into a widget of its own.
class OfflinePicture final : public QWidget {
public:
    explicit OfflinePicture(QWidget* parent)
        : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.drawImage(0, 0, CaptureControl::offlinePicture());
    }
};

} // namespace

QImage CaptureControl::offlinePicture() {
    // A camera crossed out, with the caption under it.
    QImage image = resources::Pictures::image(QStringLiteral("offline"), OfflineSize);
    QPainter p(&image);
    p.setPen(QColor(225, 228, 234));
    p.drawText(QRect(0, 90, OfflineSize.width(), 20), Qt::AlignCenter,
               QStringLiteral("Камера не подключена"));
    return image;
}

CaptureControl::CaptureControl(AppContext& context, CaptureControlHost& host,
                               video::CaptureSource source, DeviceFactory factory,
                               std::function<QStringList()> cameras, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_host(host)
    , m_source(std::move(source))
    , m_factory(std::move(factory))
    , m_cameras(std::move(cameras))
    , m_health(context.clock)
    , m_pipeline(context) {
    setObjectName(QStringLiteral("captureControl"));

    m_preview = new PreviewWidget(this);

    m_offlineWidget = new OfflinePicture(this);
    m_offlineWidget->setObjectName(QStringLiteral("offlinePicture"));
    m_offlineWidget->setFixedSize(OfflineSize);
    m_offlineWidget->hide();
    m_retry = new controls::PushButton(QStringLiteral("Повторить"), m_offlineWidget);
    m_retry->setObjectName(QStringLiteral("retryButton"));
    m_retry->setGeometry(60, 114, 80, 26);
    connect(m_retry, &controls::PushButton::clicked, this, [this] {
        m_offlineWidget->hide();
        m_reconnectTimer.start(ReconnectMs);
    });

    m_sensor = new MotionLevelBar(this);
    m_sensor->setObjectName(QStringLiteral("motionLevelBar"));
    m_sensor->hide();

    m_reconnectTimer.setObjectName(QStringLiteral("reconnectTimer"));
    m_reconnectTimer.setInterval(ReconnectMs);
    connect(&m_reconnectTimer, &QTimer::timeout, this, &CaptureControl::onReconnectTick);
    m_blackScreenTimer.setObjectName(QStringLiteral("blackScreenTimer"));
    m_blackScreenTimer.setInterval(100);
    connect(&m_blackScreenTimer, &QTimer::timeout, this, &CaptureControl::onBlackScreenCheck);

    detector().setIndicator(m_sensor);
    detector().setPreviewRateTarget(this);
    m_pipeline.setEndTimerEnabled(true);

    if (m_factory)
        useDevice(m_factory(m_source));
    layoutChildren();
}

CaptureControl::~CaptureControl() {
    // The device may still hold the callback into the detector, and must not
    // report to the owner while it is being torn down.
    if (m_device) {
        m_device->setFrameCallback({});
        disconnect(m_device.get(), nullptr, this, nullptr);
        m_preview->setDevice(nullptr);
    }
}

void CaptureControl::useDevice(std::unique_ptr<video::CaptureDevice> device) {
    if (m_device)
        m_device->setFrameCallback({});
    m_device = std::move(device);
    m_preview->setDevice(m_device.get());
    if (!m_device)
        return;
    m_device->setFrameCallback([this](const video::FrameHeader& header) { onDeviceFrame(header); });
    connect(m_device.get(), &video::CaptureDevice::deviceLost, this, &CaptureControl::onDeviceLost);
    if (auto* net = qobject_cast<video::NetworkCaptureDevice*>(m_device.get()))
        connect(net, &video::NetworkCaptureDevice::stateChanged, this,
                &CaptureControl::onNetworkState);
    if (m_healthWatched)
        m_health.watch(m_device.get());
}

void CaptureControl::setHealthWatched(bool on) {
    m_healthWatched = on;
    m_health.watch(on ? m_device.get() : nullptr);
}

void CaptureControl::onNetworkState() {
    auto* net = qobject_cast<video::NetworkCaptureDevice*>(m_device.get());
    if (!net)
        return;
    using State = video::NetworkCaptureDevice::State;
    switch (net->state()) {
    case State::Lost:
    case State::LoginRefused:
        m_streamLost = true;
        m_preview->showSignalLost(net->lostSince());
        // The address is shown masked; the error text never holds it.
        m_host.showStatus(QStringLiteral(" Нет сигнала от камеры ") + net->maskedAddress() +
                          QStringLiteral(": ") + net->errorText());
        break;
    case State::Streaming:
        if (m_streamLost) {
            m_streamLost = false;
            m_preview->clearSignalLost();
            // The picture before the gap is no reference for the one after.
            detector().clearPrimed();
            if (!m_context.watching)
                m_host.showStatus(QStringLiteral(" Сигнал от камеры восстановлен"));
        }
        break;
    case State::Idle:
    case State::Connecting:
        break;
    }
}

void CaptureControl::onDeviceLost() {
    if (!m_running)
        return;
    // A device that stops by itself (camera unplugged, a stalled media
    // pipeline) is shown like one that could not be connected, and is
    // reconnected as the retry button does, until it works again: watching
    // must not end for good on one error.
    m_running = false;
    m_offlineWidget->show();
    m_host.setCaptureButtonsEnabled(false);
    m_recovering = true;
    m_failedReconnects = 0;
    m_reconnectTimer.start(ReconnectMs);
}

void CaptureControl::startCapture() {
    if (m_running)
        return;
    m_running = true;
    if (m_device && m_device->connectDriver()) {
        m_host.setCaptureButtonsEnabled(true);
        m_device->setPreview(true);
        m_previewRateMs = InitialPreviewRate;
        applyPreviewRate();
        detector().clearPrimed();
        m_recovering = false;
        return;
    }
    m_offlineWidget->show();
    m_running = false;
    m_host.setCaptureButtonsEnabled(false);
    if (m_recovering) {
        // Still gone: try again later, at most every half minute.
        m_failedReconnects = std::min(m_failedReconnects + 1, 6);
        m_reconnectTimer.start(std::min(ReconnectMs << m_failedReconnects, MaxReconnectMs));
    }
}

void CaptureControl::stopCapture() {
    if (!m_running)
        return;
    m_device->setPreview(false);
    m_device->disconnectDriver();
    m_running = false;
}

void CaptureControl::pausePreview(bool paused) {
    if (m_device)
        m_device->setPreview(!paused);
}

void CaptureControl::setPreviewRate(qint16 ms) {
    m_previewRateMs = ms;
    applyPreviewRate();
}

void CaptureControl::applyPreviewRate() {
    if (!m_device || m_previewRateMs == 0)
        return;
    int ms = m_previewRateMs;
    // The detector may ask for one frame a detector interval (the SyncPreRate
    // option); a clip needs its own frame rate.
    if (m_pipeline.clipsOn())
        ms = std::min(ms, 1000 / m_pipeline.clips().options().maxFps);
    m_device->setPreviewRate(ms);
}

void CaptureControl::onDeviceFrame(const video::FrameHeader& header) {
    if (m_device)
        m_pipeline.addFrame(header, m_device->frameLayout());
}

void CaptureControl::chooseFormat() {
    if (!m_device)
        return;
    m_device->setPreview(false);
    FormatDialog dialog(*m_device, m_context.dialogs, window());
    dialog.exec();
    m_device->setPreview(true);
    detector().clearPrimed();
}

void CaptureControl::chooseSource() {
    SourceDialog dialog(m_context.dialogs, m_cameras ? m_cameras() : QStringList(), m_source,
                        window());
    if (dialog.exec() == QDialog::Accepted && !(dialog.chosen() == m_source) && m_factory) {
        useSource(dialog.chosen());
        startCapture();
        emit sourceChosen(dialog.chosen());
    }
    detector().clearPrimed();
}

void CaptureControl::useSource(const video::CaptureSource& source) {
    if (source == m_source || !m_factory)
        return;
    const bool wasRunning = m_running;
    stopCapture();
    m_source = source;
    useDevice(m_factory(m_source));
    m_streamLost = false;
    m_preview->clearSignalLost();
    m_offlineWidget->hide();
    if (wasRunning)
        startCapture();
}

bool CaptureControl::setResolution(qint16 width, qint16 height, bool probing) {
    if (!m_device)
        return false;
    const QSize old = m_device->videoSize();
    const bool accepted = m_device->setVideoSize(QSize(width, height));
    if (accepted && !probing) {
        stopCapture();
        startCapture();
    }
    // A probe leaves the device as it was.
    if ((!accepted || probing) && old.isValid())
        m_device->setVideoSize(old);
    return accepted;
}

void CaptureControl::startBlackScreenCheck() {
    m_blackScreenTimer.start();
}

void CaptureControl::onBlackScreenCheck() {
    m_blackScreenTimer.stop();
    if (m_offlineWidget->isVisible())
        return;
    if (isBlackScreen())
        m_host.showBlackPicture();
}

bool CaptureControl::isBlackScreen() {
    m_offlineWidget->hide();
    // What the user sees: the preview as painted.
    const QImage shot = m_preview->grab().toImage();
    const int h = shot.height();
    for (int x = 1; x <= h - 2 && x < shot.width(); x += 2) {
        if ((shot.pixel(x, x) & 0xFFFFFF) != 0)
            return false;
    }
    return true;
}

void CaptureControl::onCamerasChanged() {
    if (m_running || m_source.kind != video::CaptureSource::Kind::Camera)
        return;
    m_offlineWidget->hide(); // shown again if the camera still cannot be had
    startCapture();
}

void CaptureControl::onReconnectTick() {
    m_reconnectTimer.stop();
    if (m_recovering)
        m_offlineWidget->hide(); // as the retry button does; shown again on failure
    startCapture();
}

void CaptureControl::saveFrame() {
    m_pipeline.saveSnapshot(m_device ? m_device->currentFrame(QImage::Format_RGB888) : QImage());
}

void CaptureControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CaptureControl::layoutChildren() {
    const int w = width();
    const int h = height();
    m_preview->setGeometry(0, 0, w, h);
    m_offlineWidget->move((w - m_offlineWidget->width()) / 2, (h - m_offlineWidget->height()) / 2);
    m_sensor->setGeometry(w - m_sensor->width() - 3, 11, m_sensor->width(), std::max(0, h - 22));
}

} // namespace vigilux::ui
