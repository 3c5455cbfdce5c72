#pragma once

#include "video/SinkCaptureDevice.h"

#include <QCameraDevice>
#include <QCameraFormat>
#include <QMediaCaptureSession>

#include <memory>
#include <optional>

class QCamera;

namespace vigilux::video {

// A camera of the machine: driver index N is QMediaDevices::videoInputs()[N]
// at the moment of connecting. The chosen format is remembered across
// disconnects and applied on the next connect.
class CameraCaptureDevice final : public SinkCaptureDevice {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CameraCaptureDevice)
public:
    explicit CameraCaptureDevice(int driverIndex, QObject* parent = nullptr);
    ~CameraCaptureDevice() override;

    bool connectDriver() override;
    void disconnectDriver() override;
    QSize videoSize() const override;
    bool setVideoSize(QSize size) override;
    QList<VideoFormat> videoFormats() const override;
    bool setVideoFormat(int index) override;
    QString name() const override;
    QString description() const override;

    int driverIndex() const { return m_index; }

private:
    QCameraDevice device() const;
    void applyFormat(const QCameraFormat& format);
    void onCameraError();
    enum class Deletion { Now, Later };
    void teardown(Deletion deletion = Deletion::Later);

    int m_index;
    QCameraDevice m_device; // the device while connected
    QCameraFormat m_format; // chosen format; null = the camera's own choice
    struct Undo {
        QCameraFormat format;
        QSize size;
    };
    std::optional<Undo> m_undo; // the state before the last setVideoSize
    QMediaCaptureSession m_session;
    std::unique_ptr<QCamera> m_camera;
};

} // namespace vigilux::video
