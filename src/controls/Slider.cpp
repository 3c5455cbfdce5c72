#include "controls/Slider.h"

#include "controls/SliderGeometry.h"
#include "resources/Pictures.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vigilux::controls {

namespace {
constexpr int HandleWidth = 11;
constexpr int HandleHeight = 18;
constexpr int TrackThickness = 4;
} // namespace

Slider::Slider(QWidget* parent)
    : QWidget(parent)
    , m_lmin(new QLabel(this))
    , m_lmax(new QLabel(this))
    , m_lval(new QLabel(this)) {
    m_lmin->setObjectName(QStringLiteral("Lmin"));
    m_lmax->setObjectName(QStringLiteral("Lmax"));
    m_lval->setObjectName(QStringLiteral("Lval"));
    QFont bold = m_lval->font();
    bold.setBold(true);
    m_lval->setFont(bold);
    for (QLabel* label : {m_lmin, m_lmax, m_lval}) {
        // The labels are part of the face: presses go to the slider.
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setAlignment(Qt::AlignCenter);
    }
    m_lmin->setText(QString::number(m_min));
    m_lmax->setText(QString::number(m_max));
    m_lval->setText(QString::number(m_value));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(HandleHeight + 1 + labelHeight());
    layOut();
}

Slider::~Slider() = default;

void Slider::setValue(int value) {
    m_value = value;
    m_lval->setText(QString::number(value));
    layOut();
}

void Slider::setMin(int min) {
    m_min = min;
    m_lmin->setText(QString::number(min));
    layOut();
}

void Slider::setMax(int max) {
    m_max = max;
    m_lmax->setText(QString::number(max));
    layOut();
}

void Slider::setStep(int step) {
    m_step = step;
    layOut();
}

int Slider::trackLength() const {
    return std::max(0, width() - HandleWidth);
}

int Slider::labelHeight() const {
    return std::max(m_lmin->sizeHint().height(), m_lval->sizeHint().height());
}

QRect Slider::handleRect() const {
    return {static_cast<int>(std::lround(m_offset)), 0, HandleWidth, HandleHeight};
}

QSize Slider::sizeHint() const {
    return {160, HandleHeight + 1 + labelHeight()};
}

QSize Slider::minimumSizeHint() const {
    return {60, HandleHeight + 1 + labelHeight()};
}

void Slider::layOut() {
    // An undefined step (step 0, maximum not above minimum) leaves the handle
    // where it was rather than failing.
    if (const auto offset =
            SliderGeometry::offsetForValue(m_value, trackLength(), m_min, m_max, m_step))
        m_offset = *offset;
    placeLabels();
    update();
}

void Slider::placeLabels() {
    const int top = HandleHeight + 1;
    const int h = labelHeight();
    const int minW = m_lmin->sizeHint().width();
    const int maxW = m_lmax->sizeHint().width();
    const int valW = m_lval->sizeHint().width();
    m_lmin->setGeometry(0, top, minW, h);
    m_lmax->setGeometry(width() - maxW, top, maxW, h);
    const int centre = handleRect().center().x();
    const int valX = std::clamp(centre - valW / 2, 0, std::max(0, width() - valW));
    m_lval->setGeometry(valX, top, valW, h);
    // The value label wins where it meets an end label: it is the one the
    // user is watching while dragging.
    m_lmin->setVisible(!m_lmin->geometry().intersects(m_lval->geometry()));
    m_lmax->setVisible(!m_lmax->geometry().intersects(m_lval->geometry()));
}

void Slider::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void Slider::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        m_grabX.reset();
        layOut();
    } else if (event->type() == QEvent::FontChange) {
        setFixedHeight(HandleHeight + 1 + labelHeight());
        layOut();
    }
}

void Slider::mousePressEvent(QMouseEvent* event) {
    const QPointF p = event->position();
    if (event->button() == Qt::LeftButton && handleRect().contains(p.toPoint()))
        m_grabX = p.x() - m_offset;
}

void Slider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_grabX || !(event->buttons() & Qt::LeftButton) || !isEnabled())
        return;
    const double proposed = event->position().x() - *m_grabX;
    const auto drag = SliderGeometry::dragTo(proposed, trackLength(), m_min, m_max, m_step);
    if (!drag)
        return;
    if (drag->moved)
        m_offset = drag->offset;
    m_value = drag->value;
    m_lval->setText(QString::number(m_value));
    placeLabels();
    update();
    emit changed(m_value);
}

void Slider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_grabX.reset();
}

void Slider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool on = isEnabled();
    const QRectF track(HandleWidth / 2.0, (HandleHeight - TrackThickness) / 2.0, trackLength(),
                       TrackThickness);
    p.setPen(QColor(150, 150, 150));
    p.setBrush(QColor(214, 214, 214));
    p.drawRoundedRect(track.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    const QRectF handle = handleRect();
    QRectF filled = track;
    filled.setRight(handle.center().x());
    p.setPen(Qt::NoPen);
    p.setBrush(on ? QColor(86, 140, 205) : QColor(176, 176, 176));
    p.drawRoundedRect(filled.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);

    resources::Pictures::paint(
        p, on ? QStringLiteral("slider-handle") : QStringLiteral("slider-handle-disabled"), handle);
}

} // namespace vigilux::controls
