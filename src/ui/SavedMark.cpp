#include "ui/SavedMark.h"

#include "resources/Pictures.h"

#include <QPainter>

namespace vigilux::ui {

SavedMark::SavedMark(QWidget* parent)
    : QWidget(parent) {
    setFixedSize(18, 18);
    m_hideTimer.setObjectName(QStringLiteral("savedMarkTimer"));
    m_hideTimer.setInterval(500);
    connect(&m_hideTimer, &QTimer::timeout, this, &SavedMark::onHideTimeout);
}

void SavedMark::showNow() {
    show();
    repaint();
}

void SavedMark::startHideTimer() {
    m_hideTimer.start();
}

void SavedMark::onHideTimeout() {
    m_hideTimer.stop();
    hide();
}

void SavedMark::paintEvent(QPaintEvent*) {
    QPainter p(this);
    resources::Pictures::paint(p, QStringLiteral("saved"), rect());
}

} // namespace vigilux::ui
