#pragma once

#include "video/SinkCaptureDevice.h"

#include <QMediaPlayer>

#include <memory>

namespace vigilux::video {

// A video file played as a camera: looped forever at the file's own rate,
// without sound. It has exactly one format, its own frame size, which
// becomes known with the first decoded frame.
class VideoFileCaptureDevice final : public SinkCaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VideoFileCaptureDevice)
public:
    explicit VideoFileCaptureDevice(QString path, QObject* parent = nullptr);
    ~VideoFileCaptureDevice() override;

    // False when the file is missing or unreadable, or when the player
    // rejects it at once. A file the player rejects only after it started
    // loading ends with deviceLost().
    bool connectDriver() override;
    void disconnectDriver() override;
    QSize videoSize() const override { return lastFrameSize(); }
    bool setVideoSize(QSize size) override;
    QList<VideoFormat> videoFormats() const override;
    bool setVideoFormat(int index) override;
    QString name() const override;
    QString description() const override;

    const QString& path() const { return m_path; }

private:
    void onStatus(QMediaPlayer::MediaStatus status);
    void onError(QMediaPlayer::Error error);
    void fail();
    enum class Deletion { Now, Later };
    void teardown(Deletion deletion = Deletion::Later);

    QString m_path;
    std::unique_ptr<QMediaPlayer> m_player;
};

} // namespace vigilux::video
