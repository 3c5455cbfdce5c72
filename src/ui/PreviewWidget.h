#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace vigilux::video {
class CaptureDevice;
}
namespace vigilux::ui {

// The live preview: paints the capture device's latest frame scaled to the
// whole widget. A frame is converted only when it is painted, and only at
// the painted size: nothing is done while the window is hidden.
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
    bool m_stale = false; // a newer frame than m_frame waits to be painted
};

} // namespace vigilux::ui
