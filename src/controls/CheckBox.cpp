#include "controls/CheckBox.h"

#include "controls/CursorProbe.h"
#include "controls/MouseCodes.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace vigilux::controls {

namespace {
constexpr int BoxSize = 16;
constexpr int HoverPollMs = 50;
} // namespace

CheckBox::CheckBox(QWidget* parent)
    : QWidget(parent)
    , m_hoverTimer(new QTimer(this)) {
    m_hoverTimer->setObjectName(QStringLiteral("hoverTimer"));
    m_hoverTimer->setInterval(HoverPollMs);
    connect(m_hoverTimer, &QTimer::timeout, this, &CheckBox::onHoverPoll);
    setFixedSize(BoxSize, BoxSize);
    setMouseTracking(true);
}

CheckBox::~CheckBox() = default;

QSize CheckBox::sizeHint() const {
    return {BoxSize, BoxSize};
}

void CheckBox::setValue(bool value) {
    setCheckState(value ? Qt::Checked : Qt::Unchecked);
}

void CheckBox::setCheckState(Qt::CheckState state) {
    m_state = state;
    showRestingLook();
}

void CheckBox::showRestingLook() {
    showLook(isEnabled() ? Look::Idle : Look::Disabled);
}

void CheckBox::showLook(Look look) {
    m_look = look;
    m_lookState = m_state;
    update();
}

void CheckBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::EnabledChange)
        return;
    if (!isEnabled()) {
        m_hoverTimer->stop();
        m_pressed = false;
    }
    showRestingLook();
}

void CheckBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF p = event->position();
    emit mouseDown(buttonCode(event->button()), shiftCode(event->modifiers()),
                   static_cast<float>(p.x()), static_cast<float>(p.y()));
    m_hoverTimer->stop();
    // The pushed picture is that of the value before the toggle. A greyed
    // box keeps its value and its look.
    if (m_state != Qt::PartiallyChecked) {
        showLook(Look::Pushed);
        m_state = m_state == Qt::Checked ? Qt::Unchecked : Qt::Checked;
    }
    m_pressed = true;
}

void CheckBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton)
        return;
    // The value has already changed: owners read it inside clicked().
    emit clicked();
    m_pressed = false;
    m_hoverTimer->start();
}

void CheckBox::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click reports doubleClicked instead of
    // toggling again; its release still reports clicked.
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void CheckBox::mouseMoveEvent(QMouseEvent*) {
    if (!m_pressed)
        m_hoverTimer->start();
}

void CheckBox::onHoverPoll() {
    if (!isEnabled()) {
        m_hoverTimer->stop();
        return;
    }
    if (cursorOver(this)) {
        showLook(Look::Mouseover);
    } else {
        showLook(Look::Idle);
        m_hoverTimer->stop();
    }
}

void CheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawPixmap(0, 0, picture(m_look, m_lookState, devicePixelRatioF()));
}

QString CheckBox::pictureName(Look look, Qt::CheckState state) {
    static const char* const names[4][3] = {
        {"IdleNoValue", "IdleGreyed", "IdleChecked"},
        {"MouseoverNoValue", "MouseoverGreyed", "MouseoverChecked"},
        {"PushedNoValue", "PushedGreyed", "PushedChecked"},
        {"DisabledNoValue", "DisabledGrey", "DisabledChecked"},
    };
    return QString::fromLatin1(names[static_cast<int>(look)][static_cast<int>(state)]);
}

QPixmap CheckBox::picture(Look look, Qt::CheckState state, qreal devicePixelRatio) {
    QPixmap pm(QSize(BoxSize, BoxSize) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);

    QColor border(122, 122, 122);
    QColor top(255, 255, 255);
    QColor bottom(228, 228, 228);
    QColor mark(36, 72, 130);
    switch (look) {
    case Look::Idle:
        break;
    case Look::Mouseover:
        border = QColor(58, 120, 196);
        top = QColor(246, 251, 255);
        bottom = QColor(214, 232, 250);
        break;
    case Look::Pushed:
        border = QColor(38, 92, 160);
        top = QColor(190, 214, 240);
        bottom = QColor(222, 236, 250);
        break;
    case Look::Disabled:
        border = QColor(184, 184, 184);
        top = bottom = QColor(244, 244, 244);
        mark = QColor(170, 170, 170);
        break;
    }
    const QRectF box(0.5, 0.5, BoxSize - 1, BoxSize - 1);
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.setPen(border);
    p.drawRoundedRect(box, 2.5, 2.5);

    if (state == Qt::Checked) {
        QPainterPath tick;
        tick.moveTo(3.8, 8.2);
        tick.lineTo(6.8, 11.4);
        tick.lineTo(12.3, 4.6);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(mark, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
    } else if (state == Qt::PartiallyChecked) {
        p.setPen(Qt::NoPen);
        p.setBrush(look == Look::Disabled ? QColor(200, 200, 200) : QColor(128, 128, 128));
        p.drawRoundedRect(QRectF(4, 4, BoxSize - 8, BoxSize - 8), 1.5, 1.5);
    }
    return pm;
}

} // namespace vigilux::controls
