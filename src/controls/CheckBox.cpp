#include "controls/CheckBox.h"

#include "controls/CursorProbe.h"
#include "controls/MouseCodes.h"
#include "resources/Pictures.h"

#include <QMouseEvent>
#include <QPainter>
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
    return QPixmap::fromImage(
        resources::Pictures::image(QStringLiteral("checkbox/") + pictureName(look, state),
                                   QSize(BoxSize, BoxSize), devicePixelRatio));
}

} // namespace vigilux::controls
