#include "controls/SizeGrip.h"

#include "resources/Pictures.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace vigilux::controls {

namespace {
constexpr int Side = SizeGrip::SideTwips / SizeGrip::TwipsPerPixel; // 23 pixels
constexpr double px(int twips) {
    return static_cast<double>(twips) / SizeGrip::TwipsPerPixel;
}
} // namespace

SizeGrip::SizeGrip(QWidget* parent)
    : QWidget(parent)
    , m_gripShape(isWinXP() ? 1 : 2)
    , m_xOffset(isWinXP() ? 40 : 70)
    , m_yOffset(isWinXP() ? 40 : 70)
    , m_radius(isWinXP() ? 15 : 0)
    , m_shadowOffset(isWinXP() ? 17 : 20) {
    setFixedSize(Side, Side);
    setCursor(Qt::SizeFDiagCursor);
    if (parent != nullptr)
        parent->installEventFilter(this);
}

SizeGrip::~SizeGrip() = default;

QSize SizeGrip::sizeHint() const {
    return {Side, Side};
}

void SizeGrip::setGripShape(int shape) {
    m_gripShape = shape;
    refresh();
}

void SizeGrip::setXOffset(int twips) {
    m_xOffset = twips;
    refresh();
}

void SizeGrip::setYOffset(int twips) {
    m_yOffset = twips;
    refresh();
}

void SizeGrip::setRadius(int twips) {
    m_radius = twips;
    refresh();
}

void SizeGrip::setShadowOffset(int twips) {
    m_shadowOffset = twips;
    refresh();
}

void SizeGrip::refresh() {
    place();
    update();
}

void SizeGrip::place() {
    QWidget* owner = parentWidget();
    if (owner == nullptr)
        return;
    move(owner->width() - width(), owner->height() - height());
    raise();
}

bool SizeGrip::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        place();
    return QWidget::eventFilter(watched, event);
}

void SizeGrip::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    place();
}

void SizeGrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    QWidget* top = window();
    QWindow* handle = top->windowHandle();
    if (handle != nullptr && handle->startSystemResize(Qt::RightEdge | Qt::BottomEdge))
        return;
    m_dragStart = event->globalPosition().toPoint();
    m_startSize = top->size();
}

void SizeGrip::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragStart || !(event->buttons() & Qt::LeftButton))
        return;
    const QPoint delta = event->globalPosition().toPoint() - *m_dragStart;
    // resize() honours the window's minimum and maximum sizes.
    window()->resize(m_startSize + QSize(delta.x(), delta.y()));
}

void SizeGrip::mouseReleaseEvent(QMouseEvent*) {
    m_dragStart.reset();
}

void SizeGrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_gripShape == 1) {
        // Dots on a 36-twip grid, every other position, in a triangle that
        // fills the corner; each dot a lit one under a dark one.
        const double r = px(m_radius);
        const QPointF shift = QPointF(px(m_shadowOffset), px(m_shadowOffset)) * 0.5;
        const double step = px(36) * 2;
        for (int row = 0; row < 3; ++row) {
            for (int col = 2 - row; col < 3; ++col) {
                const QPointF c(px(m_xOffset) + col * step + r, px(m_yOffset) + row * step + r);
                const QSizeF dot(2 * r, 2 * r);
                resources::Pictures::paint(p, QStringLiteral("sizegrip/dot-light"),
                                           QRectF(c + shift - QPointF(r, r), dot));
                resources::Pictures::paint(p, QStringLiteral("sizegrip/dot-shadow"),
                                           QRectF(c - shift - QPointF(r, r), dot));
            }
        }
        return;
    }
    resources::Pictures::paint(p, QStringLiteral("sizegrip/grooves"), QRectF(rect()));
}

} // namespace vigilux::controls
