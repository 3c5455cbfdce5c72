#pragma once

#include <QDateTime>
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

    // The stream is lost: the last picture stays, greyed, under "Нет сигнала
    // от камеры" and the time it was lost, until frames come again (or
    // clearSignalLost()).
    void showSignalLost(const QDateTime& since);
    void clearSignalLost();
    bool signalLost() const { return m_lost; }
    // Frames converted for painting so far.
    quint64 convertedFrames() const { return m_converted; }
    // The caption over the greyed picture.
    static QString signalLostText(const QDateTime& since);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void framePresented();
    // The device's latest frame into m_frame, when a newer one came.
    void takeLatestFrame();

    QPointer<video::CaptureDevice> m_device;
    QImage m_frame;
    bool m_stale = false; // a newer frame than m_frame waits to be painted
    quint64 m_converted = 0;
    QImage m_greyed; // m_frame greyed, while the signal is lost
    QDateTime m_lostSince;
    bool m_lost = false;
};

} // namespace vigilux::ui
