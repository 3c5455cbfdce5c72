#include "capture/CaptureControl.h"

#include "capture/CaptureControlHost.h"
#include "capture/FormatDialog.h"
#include "capture/MotionLevelBar.h"
#include "capture/PreviewWidget.h"
#include "capture/SourceDialog.h"
#include "controls/PushButton.h"
#include "platform/CaptureDevice.h"
#include "resources/Pictures.h"
#include "settings/AppContext.h"

#include <QPainter>
#include <QResizeEvent>

#include <utility>

namespace vigilux::capture {

namespace {

constexpr QSize OfflineSize(200, 150);
constexpr int InitialPreviewRate = 50;

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
                               platform::CaptureSource source, DeviceFactory factory,
                               std::function<QStringList()> cameras, QWidget* parent)
    : QWidget(parent)
    , m_context(context)
    , m_host(host)
    , m_source(std::move(source))
    , m_factory(std::move(factory))
    , m_cameras(std::move(cameras))
    , m_detector(context)
    , m_saving(context, *this) {
    setObjectName(QStringLiteral("WebCam"));

    m_prePicture = new PreviewWidget(this);

    m_pOffline = new OfflinePicture(this);
    m_pOffline->setObjectName(QStringLiteral("pOffline"));
    m_pOffline->setFixedSize(OfflineSize);
    m_pOffline->hide();
    m_retry = new controls::PushButton(QStringLiteral("Повторить"), m_pOffline);
    m_retry->setObjectName(QStringLiteral("XpB1"));
    m_retry->setGeometry(60, 114, 80, 26);
    connect(m_retry, &controls::PushButton::Click, this, [this] {
        m_pOffline->hide();
        m_timer2.start();
    });

    m_sensor = new MotionLevelBar(this);
    m_sensor->setObjectName(QStringLiteral("Sensor"));
    m_sensor->hide();

    m_timer2.setObjectName(QStringLiteral("Timer2"));
    m_timer2.setInterval(500);
    connect(&m_timer2, &QTimer::timeout, this, &CaptureControl::Timer2_Timer);
    m_bs.setObjectName(QStringLiteral("BS"));
    m_bs.setInterval(100);
    connect(&m_bs, &QTimer::timeout, this, &CaptureControl::BS_Timer);

    m_detector.setIndicator(m_sensor);
    m_detector.setPreviewRateTarget(this);
    m_detector.setSaveFrame([this] { m_saving.SaveFrame(); });
    connect(&m_detector, &MotionDetector::FPS, this, &CaptureControl::FPS);
    connect(&m_detector, &MotionDetector::Percent, this, &CaptureControl::Percent);
    connect(&m_detector, &MotionDetector::Alarm, this, &CaptureControl::Alarm);
    connect(&m_saving, &FrameSaver::ImgFormat, this, &CaptureControl::ImgFormat);
    connect(&m_saving, &FrameSaver::Saved, this, &CaptureControl::Saved);

    if (m_factory)
        useDevice(m_factory(m_source));
    layoutChildren();
}

CaptureControl::~CaptureControl() {
    // The device may still hold the callback into the detector, and must not
    // report to the owner while it is being torn down.
    if (m_device) {
        m_device->SetCallbackFrame({});
        disconnect(m_device.get(), nullptr, this, nullptr);
        m_prePicture->setDevice(nullptr);
    }
}

void CaptureControl::useDevice(std::unique_ptr<platform::CaptureDevice> device) {
    if (m_device)
        m_device->SetCallbackFrame({});
    m_device = std::move(device);
    m_prePicture->setDevice(m_device.get());
    if (!m_device)
        return;
    m_device->SetCallbackFrame(
        [this](const platform::FrameHeader& header) { m_detector.FrameCallback(header); });
    // A device that stops by itself (camera unplugged) is shown like one
    // that could not be connected.
    connect(m_device.get(), &platform::CaptureDevice::deviceLost, this, [this] {
        m_running = false;
        m_pOffline->show();
        m_host.setCaptureButtonsEnabled(false);
    });
}

void CaptureControl::WebcamStart() {
    if (m_running)
        return;
    m_running = true;
    if (m_device && m_device->DriverConnect()) {
        m_host.setCaptureButtonsEnabled(true);
        m_device->SetPreview(true);
        m_device->SetPreviewRate(InitialPreviewRate);
        m_detector.clearPrimed();
        return;
    }
    m_pOffline->show();
    m_running = false;
    m_host.setCaptureButtonsEnabled(false);
}

void CaptureControl::WebcamStop() {
    if (!m_running)
        return;
    m_device->SetPreview(false);
    m_device->DriverDisconnect();
    m_running = false;
}

void CaptureControl::PrePause(bool Pause) {
    if (m_device)
        m_device->SetPreview(!Pause);
}

void CaptureControl::setPreviewRate(qint16 ms) {
    if (m_device)
        m_device->SetPreviewRate(ms);
}

void CaptureControl::WebcamFormat() {
    if (!m_device)
        return;
    m_device->SetPreview(false);
    FormatDialog dialog(*m_device, m_context.dialogs, window());
    dialog.exec();
    m_device->SetPreview(true);
    m_detector.clearPrimed();
}

void CaptureControl::WebcamOptions() {
    SourceDialog dialog(m_context.dialogs, m_cameras ? m_cameras() : QStringList(), m_source,
                        window());
    if (dialog.exec() == QDialog::Accepted && !(dialog.chosen() == m_source) && m_factory) {
        WebcamStop();
        m_source = dialog.chosen();
        useDevice(m_factory(m_source));
        m_pOffline->hide();
        WebcamStart();
    }
    m_detector.clearPrimed();
}

bool CaptureControl::SetRes(qint16 xWith, qint16 xHeight, bool Detect) {
    if (!m_device)
        return false;
    const QSize old = m_device->GetVideoFormat();
    const bool accepted = m_device->SetVideoFormat(QSize(xWith, xHeight));
    if (accepted && !Detect) {
        WebcamStop();
        WebcamStart();
    }
    // A probe leaves the device as it was.
    if ((!accepted || Detect) && old.isValid())
        m_device->SetVideoFormat(old);
    return accepted;
}

void CaptureControl::BScheck() {
    m_bs.start();
}

void CaptureControl::BS_Timer() {
    m_bs.stop();
    if (m_pOffline->isVisible())
        return;
    if (BlackScreen())
        m_host.showBlackPicture();
}

bool CaptureControl::BlackScreen() {
    m_pOffline->hide();
    // What the user sees: the preview as painted.
    const QImage shot = m_prePicture->grab().toImage();
    const int h = shot.height();
    for (int x = 1; x <= h - 2 && x < shot.width(); x += 2) {
        if ((shot.pixel(x, x) & 0xFFFFFF) != 0)
            return false;
    }
    return true;
}

void CaptureControl::Timer2_Timer() {
    m_timer2.stop();
    WebcamStart();
}

void CaptureControl::SaveFrame() {
    m_saving.SaveFrame();
}

QImage CaptureControl::currentFrame() {
    return m_device ? m_device->currentFrame(QImage::Format_RGB888) : QImage();
}

void CaptureControl::showSavingIndicator() {
    m_host.showSavingIndicator();
}
void CaptureControl::startIndicatorHideTimer() {
    m_host.startIndicatorHideTimer();
}
void CaptureControl::StartAuto() {
    m_host.StartAuto();
}
void CaptureControl::playSound(const QString& path) {
    m_host.playSound(path);
}
void CaptureControl::showStatus(const QString& text) {
    m_host.showStatus(text);
}

void CaptureControl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void CaptureControl::layoutChildren() {
    const int w = width();
    const int h = height();
    m_prePicture->setGeometry(0, 0, w, h);
    m_pOffline->move((w - m_pOffline->width()) / 2, (h - m_pOffline->height()) / 2);
    m_sensor->setGeometry(w - m_sensor->width() - 3, 11, m_sensor->width(), std::max(0, h - 22));
}

} // namespace vigilux::capture
