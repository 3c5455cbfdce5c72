#include "FakeCaptureDevice.h"

#include <cstring>

namespace vigilux::test {

using video::FrameLayout;

FakeCaptureDevice::FakeCaptureDevice(QObject* parent)
    : CaptureDevice(parent) {}

bool FakeCaptureDevice::connectDriver() {
    ++connectCalls;
    if (isConnected())
        return true;
    if (!connectResult)
        return false;
    setConnected(true);
    return true;
}

void FakeCaptureDevice::disconnectDriver() {
    ++disconnectCalls;
    setConnected(false);
}

bool FakeCaptureDevice::setVideoSize(QSize s) {
    setVideoFormatCalls.append(s);
    if (!acceptedSizes.contains(s))
        return false;
    if (s != size)
        clearFrame();
    size = s;
    return true;
}

QList<video::CaptureDevice::VideoFormat> FakeCaptureDevice::videoFormats() const {
    QList<VideoFormat> list;
    for (const QSize& s : listedSizes.isEmpty() ? acceptedSizes : listedSizes)
        list.append({s, QStringLiteral("RGB24"), 25.0});
    return list;
}

bool FakeCaptureDevice::setVideoFormat(int index) {
    const QList<QSize>& listed = listedSizes.isEmpty() ? acceptedSizes : listedSizes;
    return index >= 0 && index < listed.size() && setVideoSize(listed.at(index));
}

QString FakeCaptureDevice::name() const {
    return QStringLiteral("Fake");
}

QString FakeCaptureDevice::description() const {
    return QStringLiteral("Fake capture device");
}

bool FakeCaptureDevice::pushFrame(const QByteArray& bytes) {
    if (!isConnected() || !previewing())
        return false;
    FrameLayout layout;
    if (bytes.size() == qsizetype(size.width()) * size.height() * 3) {
        layout = FrameLayout::rgb24(size);
    } else {
        layout.bytes = bytes.size();
    }
    uchar* buffer = frameBuffer(bytes.size());
    if (!bytes.isEmpty())
        std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
    publishFrame(layout);
    return true;
}

bool FakeCaptureDevice::pushFrame(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    size = rgb.size();
    QByteArray bytes;
    bytes.reserve(qsizetype(rgb.width()) * rgb.height() * 3);
    for (int y = 0; y < rgb.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), rgb.width() * 3);
    return pushFrame(bytes);
}

bool FakeCaptureDevice::pushFilled(uchar value) {
    return pushFrame(QByteArray(qsizetype(size.width()) * size.height() * 3, char(value)));
}

void FakeCaptureDevice::loseDevice() {
    setConnected(false);
    emit deviceLost();
}

} // namespace vigilux::test
