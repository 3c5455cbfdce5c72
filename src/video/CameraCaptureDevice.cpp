#include "video/CameraCaptureDevice.h"

#include <QCamera>
#include <QMediaDevices>

namespace vigilux::video {

CameraCaptureDevice::CameraCaptureDevice(int driverIndex, QObject* parent)
    : SinkCaptureDevice(parent)
    , m_index(driverIndex) {}

CameraCaptureDevice::~CameraCaptureDevice() {
    teardown(Deletion::Now);
}

QCameraDevice CameraCaptureDevice::device() const {
    if (!m_device.isNull())
        return m_device;
    const QList<QCameraDevice> inputs = QMediaDevices::videoInputs();
    return m_index >= 0 && m_index < inputs.size() ? inputs.at(m_index) : QCameraDevice();
}

bool CameraCaptureDevice::connectDriver() {
    if (isConnected())
        return true;
    const QCameraDevice dev = device();
    if (dev.isNull())
        return false;
    m_device = dev;
    m_camera = std::make_unique<QCamera>(m_device);
    if (!m_camera->isAvailable()) {
        teardown(Deletion::Now);
        return false;
    }
    if (!m_format.isNull())
        m_camera->setCameraFormat(m_format);
    connect(m_camera.get(), &QCamera::errorOccurred, this, &CameraCaptureDevice::onCameraError);
    m_session.setCamera(m_camera.get());
    m_session.setVideoSink(sink());
    m_camera->start();
    if (m_camera->error() != QCamera::NoError) {
        teardown(Deletion::Now);
        return false;
    }
    forgetFrames();
    setConnected(true);
    return true;
}

void CameraCaptureDevice::disconnectDriver() {
    teardown();
    setConnected(false);
}

void CameraCaptureDevice::teardown(Deletion deletion) {
    if (m_camera) {
        m_camera->disconnect(this);
        m_camera->stop();
        m_session.setCamera(nullptr);
        m_session.setVideoSink(nullptr);
        // Deleted later: this may run inside the camera's own error signal.
        if (deletion == Deletion::Now)
            m_camera.reset();
        else
            m_camera.release()->deleteLater();
    }
    m_device = QCameraDevice();
}

void CameraCaptureDevice::onCameraError() {
    if (!isConnected())
        return;
    disconnectDriver();
    emit deviceLost();
}

QSize CameraCaptureDevice::videoSize() const {
    if (!m_format.isNull())
        return m_format.resolution();
    if (lastFrameSize().isValid())
        return lastFrameSize();
    return m_camera ? m_camera->cameraFormat().resolution() : QSize();
}

bool CameraCaptureDevice::setVideoSize(QSize size) {
    if (!device().isNull() && size.isValid() && size == videoSize())
        return true; // already in force
    // Going back to the size in force before the last change restores that
    // exact format (even "the camera's own choice"), so a probe followed by
    // its undo leaves the camera as it was.
    if (m_undo && size.isValid() && size == m_undo->size) {
        const QCameraFormat previous = m_undo->format;
        m_undo.reset();
        applyFormat(previous);
        return true;
    }
    const QList<QCameraFormat> formats = device().videoFormats();
    // Of the formats with this size, keep the current pixel format if the
    // camera offers it, then take the fastest.
    const auto currentPixel = m_format.isNull() ? lastPixelFormat() : m_format.pixelFormat();
    QCameraFormat best;
    auto better = [&](const QCameraFormat& a, const QCameraFormat& b) {
        if (b.isNull())
            return true;
        const bool aSame = a.pixelFormat() == currentPixel;
        const bool bSame = b.pixelFormat() == currentPixel;
        if (aSame != bSame)
            return aSame;
        return a.maxFrameRate() > b.maxFrameRate();
    };
    for (const QCameraFormat& f : formats)
        if (f.resolution() == size && better(f, best))
            best = f;
    if (best.isNull())
        return false;
    const Undo undo{m_format, videoSize()};
    applyFormat(best);
    m_undo = undo;
    return true;
}

QList<CaptureDevice::VideoFormat> CameraCaptureDevice::videoFormats() const {
    QList<VideoFormat> list;
    for (const QCameraFormat& f : device().videoFormats())
        list.append({f.resolution(), QVideoFrameFormat::pixelFormatToString(f.pixelFormat()),
                     double(f.maxFrameRate())});
    return list;
}

bool CameraCaptureDevice::setVideoFormat(int index) {
    const QList<QCameraFormat> formats = device().videoFormats();
    if (index < 0 || index >= formats.size())
        return false;
    m_undo.reset();
    applyFormat(formats.at(index));
    return true;
}

void CameraCaptureDevice::applyFormat(const QCameraFormat& format) {
    if (format == m_format)
        return;
    m_format = format;
    forgetFrames();
    if (m_camera)
        m_camera->setCameraFormat(format);
}

QString CameraCaptureDevice::name() const {
    return QStringLiteral("Камера %1").arg(m_index);
}

QString CameraCaptureDevice::description() const {
    const QCameraDevice dev = device();
    return dev.isNull() ? name() : dev.description();
}

} // namespace vigilux::video
