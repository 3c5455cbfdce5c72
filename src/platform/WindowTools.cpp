#include "platform/WindowTools.h"

#include <QWidget>

namespace vigilux::platform {

void makeTopmost(QWidget& window) {
    if (window.windowFlags() & Qt::WindowStaysOnTopHint)
        return;
    const bool visible = window.isVisible();
    window.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    if (visible)
        window.show();
}

} // namespace vigilux::platform
