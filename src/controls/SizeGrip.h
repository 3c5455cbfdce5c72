#pragma once

#include <QPoint>
#include <QSize>
#include <QWidget>

#include <optional>

namespace vigilux::controls {

// The grip in the bottom-right corner of a resizable window. It keeps itself
// flush in its parent's corner and, on a press, hands the resize to the
// window system (QWindow::startSystemResize). Where the window system cannot
// (offscreen, some X11 setups), the grip resizes the window itself while the
// mouse is dragged.
//
// gripShape, xOffset, yOffset, radius and shadowOffset are in twips
// (15 per pixel), as saved with window designs.
class SizeGrip final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SizeGrip)

public:
    static constexpr int TwipsPerPixel = 15;
    static constexpr int SideTwips = 345;

    explicit SizeGrip(QWidget* parent = nullptr);
    ~SizeGrip() override;

    int gripShape() const { return m_gripShape; }
    void setGripShape(int shape);
    int xOffset() const { return m_xOffset; }
    void setXOffset(int twips);
    int yOffset() const { return m_yOffset; }
    void setYOffset(int twips);
    int radius() const { return m_radius; }
    void setRadius(int twips);
    int shadowOffset() const { return m_shadowOffset; }
    void setShadowOffset(int twips);

    // Never true here: this system is not the one those defaults were for.
    static bool isWinXP() { return false; }

    // Re-place in the parent's corner and redraw.
    void refresh();

    QSize sizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void place();

    int m_gripShape;
    int m_xOffset;
    int m_yOffset;
    int m_radius;
    int m_shadowOffset;
    // Set while the grip resizes the window by itself.
    std::optional<QPoint> m_dragStart;
    QSize m_startSize;
};

} // namespace vigilux::controls
