#include "ui/EnabledMirror.h"

#include <QAction>
#include <QEvent>
#include <QWidget>

namespace vigilux::ui {

EnabledMirror::EnabledMirror(QWidget& source, QAction& target)
    : QObject(&source)
    , m_source(source)
    , m_target(&target) {
    source.installEventFilter(this);
    sync();
}

bool EnabledMirror::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_source && event->type() == QEvent::EnabledChange)
        sync();
    return QObject::eventFilter(watched, event);
}

void EnabledMirror::sync() {
    // The widget's own state, not its window's: the menu is used while the
    // window is hidden or busy.
    if (m_target)
        m_target->setEnabled(m_source.isEnabledTo(m_source.parentWidget()));
}

} // namespace vigilux::ui
