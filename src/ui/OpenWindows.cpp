#include "ui/OpenWindows.h"

#include <QApplication>
#include <QEvent>

namespace vigilux::ui {

OpenWindows::OpenWindows(QObject* parent)
    : QObject(parent) {
    qApp->installEventFilter(this);
}

OpenWindows::~OpenWindows() {
    qApp->removeEventFilter(this);
}

int OpenWindows::count() const {
    int n = 0;
    for (const auto& w : m_windows)
        n += w ? 1 : 0;
    return n;
}

void OpenWindows::unload(int index) {
    prune();
    if (index < 0 || index >= m_windows.size())
        return;
    if (QWidget* w = m_windows.at(index))
        w->close();
}

bool OpenWindows::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::Show && type != QEvent::Hide)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isWindow())
        return false;
    const Qt::WindowType kind = widget->windowType();
    if (kind == Qt::Popup || kind == Qt::ToolTip || kind == Qt::SplashScreen || kind == Qt::Desktop)
        return false;
    prune();
    const bool known = m_windows.contains(widget);
    if (type == QEvent::Show && !known)
        m_windows.append(widget);
    else if (type == QEvent::Hide && known && !widget->isVisible())
        m_windows.removeAll(widget);
    return false;
}

void OpenWindows::prune() {
    m_windows.removeAll(QPointer<QWidget>());
}

} // namespace vigilux::ui
