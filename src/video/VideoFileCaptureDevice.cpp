#include "video/VideoFileCaptureDevice.h"

#include <QFileInfo>
#include <QMediaMetaData>
#include <QUrl>

namespace vigilux::video {

VideoFileCaptureDevice::VideoFileCaptureDevice(QString path, QObject* parent)
    : SinkCaptureDevice(parent)
    , m_path(std::move(path)) {}

VideoFileCaptureDevice::~VideoFileCaptureDevice() {
    teardown(Deletion::Now);
}

bool VideoFileCaptureDevice::connectDriver() {
    if (isConnected())
        return true;
    const QFileInfo info(m_path);
    if (!info.exists() || !info.isFile() || !info.isReadable() || info.size() == 0)
        return false;

    m_player = std::make_unique<QMediaPlayer>();
    // No audio output is set, so the file plays silently.
    m_player->setVideoSink(sink());
    m_player->setLoops(QMediaPlayer::Infinite);
    connect(m_player.get(), &QMediaPlayer::mediaStatusChanged, this,
            &VideoFileCaptureDevice::onStatus);
    connect(m_player.get(), &QMediaPlayer::errorOccurred, this, &VideoFileCaptureDevice::onError);
    m_player->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    if (m_player->error() != QMediaPlayer::NoError ||
        m_player->mediaStatus() == QMediaPlayer::InvalidMedia) {
        teardown(Deletion::Now);
        return false;
    }
    forgetFrames();
    setConnected(true);
    m_player->play();
    return isConnected();
}

void VideoFileCaptureDevice::disconnectDriver() {
    teardown();
    setConnected(false);
}

void VideoFileCaptureDevice::teardown(Deletion deletion) {
    if (!m_player)
        return;
    m_player->disconnect(this);
    m_player->stop();
    m_player->setVideoSink(nullptr);
    // Deleted later: this may run inside one of the player's own signals.
    if (deletion == Deletion::Now)
        m_player.reset();
    else
        m_player.release()->deleteLater();
}

void VideoFileCaptureDevice::onStatus(QMediaPlayer::MediaStatus status) {
    if (status == QMediaPlayer::InvalidMedia)
        fail();
}

void VideoFileCaptureDevice::onError(QMediaPlayer::Error error) {
    if (error != QMediaPlayer::NoError)
        fail();
}

void VideoFileCaptureDevice::fail() {
    if (!isConnected()) {
        teardown();
        return;
    }
    disconnectDriver();
    emit deviceLost();
}

bool VideoFileCaptureDevice::setVideoSize(QSize size) {
    return size.isValid() && size == lastFrameSize();
}

QList<CaptureDevice::VideoFormat> VideoFileCaptureDevice::videoFormats() const {
    if (!lastFrameSize().isValid())
        return {};
    double rate = 0;
    if (m_player)
        rate = m_player->metaData().value(QMediaMetaData::VideoFrameRate).toDouble();
    return {{lastFrameSize(), QVideoFrameFormat::pixelFormatToString(lastPixelFormat()), rate}};
}

bool VideoFileCaptureDevice::setVideoFormat(int index) {
    return index == 0 && lastFrameSize().isValid();
}

QString VideoFileCaptureDevice::name() const {
    return QFileInfo(m_path).fileName();
}

QString VideoFileCaptureDevice::description() const {
    return QStringLiteral("Видеофайл %1").arg(QFileInfo(m_path).absoluteFilePath());
}

} // namespace vigilux::video
