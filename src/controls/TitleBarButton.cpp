#include "controls/TitleBarButton.h"

#include "controls/CursorProbe.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace vigilux::controls {

namespace {
constexpr int FaceSize = 21;
constexpr int HoverPollMs = 50;
} // namespace

TitleBarButton::TitleBarButton(Kind kind, QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_noHoverWhileDisabled(kind != Kind::Close)
    , m_hoverTimer(new QTimer(this)) {
    m_hoverTimer->setObjectName(QStringLiteral("hoverTimer"));
    m_hoverTimer->setInterval(HoverPollMs);
    connect(m_hoverTimer, &QTimer::timeout, this, &TitleBarButton::onHoverPoll);
    setFixedSize(FaceSize, FaceSize);
    setMouseTracking(true);
}

TitleBarButton::~TitleBarButton() = default;

QSize TitleBarButton::sizeHint() const {
    return {FaceSize, FaceSize};
}

void TitleBarButton::setRestoreGlyph(bool restore) {
    m_restoreGlyph = restore;
    update();
}

void TitleBarButton::showLook(Look look) {
    m_look = look;
    update();
}

void TitleBarButton::mousePressEvent(QMouseEvent*) {
    m_pressed = true;
    m_hoverTimer->stop();
    showLook(Look::Pressed);
}

void TitleBarButton::mouseMoveEvent(QMouseEvent*) {
    if (!m_pressed)
        m_hoverTimer->start();
}

void TitleBarButton::mouseReleaseEvent(QMouseEvent* event) {
    // Releasing away from the face is how a user takes a press back.
    if (rect().contains(event->position().toPoint()))
        emit clicked();
    m_pressed = false;
    m_hoverTimer->start();
}

void TitleBarButton::onHoverPoll() {
    if (m_noHoverWhileDisabled && !isEnabled()) {
        m_hoverTimer->stop();
        return;
    }
    if (cursorOver(this)) {
        showLook(Look::Hover);
    } else {
        showLook(Look::Normal);
        m_hoverTimer->stop();
    }
}

void TitleBarButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, picture(m_kind, m_look, m_restoreGlyph, devicePixelRatioF()));
}

QPixmap TitleBarButton::picture(Kind kind, Look look, bool restoreGlyph, qreal devicePixelRatio) {
    QPixmap pm(QSize(FaceSize, FaceSize) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    const bool danger = kind == Kind::Close;
    QColor face = Qt::transparent;
    QColor rim = QColor(150, 150, 150);
    QColor glyph(70, 70, 70);
    switch (look) {
    case Look::Normal:
        face = QColor(246, 246, 246);
        rim = QColor(196, 196, 196);
        break;
    case Look::Hover:
        face = danger ? QColor(224, 67, 54) : QColor(214, 226, 242);
        rim = danger ? QColor(176, 40, 30) : QColor(98, 140, 196);
        glyph = danger ? QColor(255, 255, 255) : QColor(30, 50, 80);
        break;
    case Look::Pressed:
        face = danger ? QColor(168, 36, 28) : QColor(170, 192, 222);
        rim = danger ? QColor(120, 20, 14) : QColor(66, 104, 160);
        glyph = danger ? QColor(255, 235, 235) : QColor(20, 36, 60);
        break;
    }
    const QRectF r(0.5, 0.5, FaceSize - 1, FaceSize - 1);
    p.setPen(rim);
    p.setBrush(face);
    p.drawRoundedRect(r, 3, 3);

    // The glyph moves by one pixel while pressed, as a pushed key does.
    const qreal shift = look == Look::Pressed ? 1.0 : 0.0;
    p.translate(shift, shift);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(glyph, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal c = FaceSize / 2.0;
    switch (kind) {
    case Kind::Close:
        p.drawLine(QPointF(c - 4, c - 4), QPointF(c + 4, c + 4));
        p.drawLine(QPointF(c + 4, c - 4), QPointF(c - 4, c + 4));
        break;
    case Kind::HideToTray: {
        // An arrow sinking into the tray.
        p.drawLine(QPointF(c, c - 5), QPointF(c, c + 1.5));
        QPainterPath head;
        head.moveTo(c - 3.5, c - 1.5);
        head.lineTo(c, c + 2);
        head.lineTo(c + 3.5, c - 1.5);
        p.drawPath(head);
        p.drawLine(QPointF(c - 5, c + 5), QPointF(c + 5, c + 5));
        break;
    }
    case Kind::MaximizeRestore:
        p.setPen(QPen(glyph, 1.3));
        if (restoreGlyph) {
            p.drawRect(QRectF(c - 5, c - 2, 7, 7));
            QPainterPath back;
            back.moveTo(c - 2, c - 2);
            back.lineTo(c - 2, c - 5);
            back.lineTo(c + 5, c - 5);
            back.lineTo(c + 5, c + 2);
            back.lineTo(c + 2, c + 2);
            p.drawPath(back);
        } else {
            p.drawRect(QRectF(c - 5, c - 5, 10, 10));
            p.drawLine(QPointF(c - 5, c - 3.5), QPointF(c + 5, c - 3.5));
        }
        break;
    }
    return pm;
}

} // namespace vigilux::controls
