#include "controls/TitleBarButton.h"

#include "controls/CursorProbe.h"
#include "resources/Pictures.h"

#include <QMouseEvent>
#include <QPainter>
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
    QString glyph;
    switch (kind) {
    case Kind::Close:
        glyph = QStringLiteral("close");
        break;
    case Kind::HideToTray:
        glyph = QStringLiteral("hide");
        break;
    case Kind::MaximizeRestore:
        glyph = restoreGlyph ? QStringLiteral("restore") : QStringLiteral("maximize");
        break;
    }
    QString face;
    switch (look) {
    case Look::Normal:
        face = QStringLiteral("normal");
        break;
    case Look::Hover:
        face = QStringLiteral("hover");
        break;
    case Look::Pressed:
        face = QStringLiteral("pressed");
        break;
    }
    return QPixmap::fromImage(
        resources::Pictures::image(QStringLiteral("titlebar/%1-%2").arg(glyph, face),
                                   QSize(FaceSize, FaceSize), devicePixelRatio));
}

} // namespace vigilux::controls
