#include "ui/StatusLabel.h"

#include <QEvent>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace vigilux::ui {

StatusLabel::StatusLabel(QWidget* parent)
    : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

QString StatusLabel::shownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void StatusLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, shownText());
}

bool StatusLabel::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        // The tip only when the line could not show everything.
        const QString shown = shownText();
        if (shown != text())
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(event);
}

} // namespace vigilux::ui
