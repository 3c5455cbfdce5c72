#include "video/CaptureDevice.h"

#include <algorithm>

namespace vigilux::video {

CaptureDevice::CaptureDevice(QObject* parent)
    : QObject(parent) {}

CaptureDevice::~CaptureDevice() = default;

void CaptureDevice::setPreview(bool on) {
    if (on && !m_preview)
        m_gate.reset(); // the first frame after switching on is due at once
    m_preview = on;
    previewSettingsChanged();
}

void CaptureDevice::setPreviewRate(int ms) {
    m_gate.setInterval(ms);
    previewSettingsChanged();
}

void CaptureDevice::setFrameCallback(FrameCallback callback) {
    m_callback = std::move(callback);
    if (m_inCallback)
        m_callbackReplaced = true;
}

QImage CaptureDevice::currentFrame(QImage::Format format) const {
    if (!m_haveFrame)
        return {};
    QImage img = m_layout.toImage(m_buffer.data());
    if (img.isNull() || img.format() == format)
        return img;
    return img.convertToFormat(format);
}

bool CaptureDevice::saveBitmap(const QString& path) const {
    const QImage img = currentFrame(QImage::Format_RGB888);
    return !img.isNull() && img.save(path, "BMP");
}

void CaptureDevice::setConnected(bool connected) {
    m_connected = connected;
    m_gate.reset();
    if (connected)
        m_clock.start();
}

bool CaptureDevice::takeFrameSlot() {
    if (!m_connected || !m_preview)
        return false;
    return m_gate.pass(msSinceConnect());
}

uchar* CaptureDevice::frameBuffer(qsizetype bytes) {
    const auto need = static_cast<size_t>(std::max<qsizetype>(bytes, 0));
    if (m_buffer.size() < need)
        m_buffer.resize(need);
    return m_buffer.data();
}

void CaptureDevice::publishFrame(const FrameLayout& layout) {
    m_layout = layout;
    m_haveFrame = true;
    ++m_delivered;
    if (m_callback) {
        FrameHeader header;
        header.data = m_buffer.data();
        header.bufferLength = static_cast<quint32>(m_buffer.size());
        header.bytesUsed = static_cast<quint32>(layout.bytes);
        header.timeCapturedMs = static_cast<quint32>(msSinceConnect());
        header.flags = 0;
        // Moved out (no allocation) so the callback may replace or remove
        // itself through setFrameCallback while it runs.
        FrameCallback running = std::move(m_callback);
        m_inCallback = true;
        m_callbackReplaced = false;
        running(header);
        m_inCallback = false;
        if (!m_callbackReplaced)
            m_callback = std::move(running);
    }
    emit framePresented();
}

void CaptureDevice::publishFrame(std::vector<uchar>& bytes, const FrameLayout& layout) {
    std::swap(m_buffer, bytes);
    publishFrame(layout);
}

void CaptureDevice::clearFrame() {
    m_haveFrame = false;
    m_layout = {};
}

qint64 CaptureDevice::msSinceConnect() const {
    return m_clock.isValid() ? m_clock.elapsed() : 0;
}

} // namespace vigilux::video
