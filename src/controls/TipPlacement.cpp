#include "controls/TipPlacement.h"

#include <algorithm>

namespace vigilux::controls::TipPlacement {

QPoint place(const QPoint& pointer, const QSize& size, const QRect& screen, int padding) {
    int x = pointer.x();
    int y = pointer.y() + BelowPointer;
    const int right = screen.x() + screen.width();
    const int bottom = screen.y() + screen.height();
    if (x + size.width() >= right)
        x = right - size.width() - padding;
    if (y + size.height() >= bottom)
        y = pointer.y() - padding - size.height();
    // A tip larger than the room left of / above the pointer still starts on
    // screen, so its beginning stays readable.
    return {std::max(x, screen.x()), std::max(y, screen.y())};
}

} // namespace vigilux::controls::TipPlacement
