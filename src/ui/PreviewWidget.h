#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace vigilux::video {
class CaptureDevice;
}
namespace vigilux::ui {

// The live preview: paints the capture device's latest frame scaled to the
// whole widget. The device delivers frames at the preview rate, so painting
// follows it.
class PreviewWidget final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PreviewWidget)
public:
    explicit PreviewWidget(QWidget* parent = nullptr);

    void setDevice(video::CaptureDevice* device);
    // Forgets the picture shown (capture stopped).
    void clear();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void framePresented();

    QPointer<video::CaptureDevice> m_device;
    QImage m_frame;
};

} // namespace vigilux::ui
