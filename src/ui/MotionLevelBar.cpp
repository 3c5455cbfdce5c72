#include "ui/MotionLevelBar.h"

#include "ui/MotionLevelBarGeometry.h"

#include <QEvent>
#include <QPainter>
#include <QPalette>

namespace vigilux::ui {

namespace {

QWidget* makePanel(QWidget* parent, const QString& name, const QColor& colour) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    return panel;
}

void setPanelColour(QWidget* panel, const QColor& colour) {
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
}

} // namespace

using namespace MotionLevelBarGeometry;

MotionLevelBar::MotionLevelBar(QWidget* parent)
    : QWidget(parent)
    , m_scale(makePanel(this, QStringLiteral("Pcont"), kScaleColour))
    , m_bar(makePanel(this, QStringLiteral("Pbar"), kQuietColour))
    , m_mark(makePanel(this, QStringLiteral("Pmax"), kMarkColour))
    , m_barTop(kBarDesignTop) {
    setObjectName(QStringLiteral("motionLevelBar"));
    m_scale->installEventFilter(this);
    // Stacking: the bar covers the scale below its top, the mark covers both.
    m_bar->raise();
    m_mark->raise();
    const int width = toPixels(kBarWidth);
    setFixedWidth(width);
    resize(width, toPixels(4000));
    layoutPanels();
    placeBar();
}

int MotionLevelBar::scaleHeightUnits() const {
    return toUnits(m_scale->height());
}

void MotionLevelBar::placeBar() {
    m_bar->setGeometry(0, toPixels(m_barTop), toPixels(kBarWidth), toPixels(kBarHeight));
}

QColor MotionLevelBar::barColour() const {
    return m_bar->palette().color(QPalette::Window);
}

void MotionLevelBar::showLevel(qint32 value) {
    if (value == 0)
        return;
    m_barTop = barTop(scaleHeightUnits(), value);
    placeBar();
    setPanelColour(m_bar, m_maxReceived < value ? kQuietColour : kMotionColour);
}

void MotionLevelBar::showThreshold(qint32 threshold, bool reset) {
    m_maxReceived = threshold;
    if (threshold == m_maxDrawn && !reset)
        return;
    m_maxDrawn = static_cast<qint16>(threshold);
    m_markTop = markTop(scaleHeightUnits(), threshold);
    m_mark->setGeometry(0, toPixels(m_markTop), width(), toPixels(kMarkHeight));
    ++m_markRedraws;
}

void MotionLevelBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();
}

void MotionLevelBar::layoutPanels() {
    m_scale->setGeometry(0, 0, toPixels(kScaleWidth), height());
    m_scale->update();
    showThreshold(m_maxReceived, true);
}

bool MotionLevelBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scale && event->type() == QEvent::Paint) {
        paintScale();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void MotionLevelBar::paintScale() {
    QPainter painter(m_scale);
    painter.fillRect(m_scale->rect(), kScaleColour);
    for (const Tick& tick : ticks(scaleHeightUnits())) {
        painter.setPen(tick.major ? QColor(Qt::black) : QColor(128, 128, 128));
        const int y = toPixels(tick.y);
        painter.drawLine(0, y, toPixels(tick.length), y);
    }
}

} // namespace vigilux::ui
