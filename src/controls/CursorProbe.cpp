#include "controls/CursorProbe.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

namespace vigilux::controls {

bool cursorOver(const QWidget* widget) {
    if (widget == nullptr || !widget->isVisible())
        return false;
    return QApplication::widgetAt(QCursor::pos()) == widget;
}

} // namespace vigilux::controls
