#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

// The live picture with the object detector's mask shaded over it: the
// left mouse button paints areas to ignore, the right one gives them back
// to watching. Shows and forwards; the painting itself is
// detection::DetectionMask. UI thread only.
namespace vigilux::ui {

class MaskEditor final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MaskEditor)

public:
    // Brush radius in frame pixels per 100 frame pixels of width.
    static constexpr int kBrushPercent = 3;

    explicit MaskEditor(QWidget* parent = nullptr);

    // The picture painted under the mask (the camera's latest frame); its
    // size is the frame size strokes are measured in.
    void setPicture(const QImage& picture);
    void setMask(const QImage& mask);
    // Null while the user has painted nothing on an empty mask.
    const QImage& mask() const { return m_mask; }
    QSize frameSize() const { return m_picture.size(); }

signals:
    void maskChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Where the picture is drawn, keeping its proportions.
    QRect pictureRect() const;
    QPoint toFrame(const QPoint& widgetPoint) const;
    void paintStroke(const QPoint& to);

    QImage m_picture;
    QImage m_mask;
    QImage m_shade; // the mask as a translucent overlay, made when it changes
    QPoint m_last;
    bool m_painting = false;
    bool m_ignore = true;
};

} // namespace vigilux::ui
