#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace vigilux::controls {

namespace TipPlacement {

// Pixels between the pointer and the top of a tip shown below it.
inline constexpr int BelowPointer = 22;

// Where a tip of `size` opens for a pointer at `pointer` on `screen`: below
// the pointer; moved left to end `padding` short of the right edge when it
// would reach it; above the pointer when it would reach the bottom edge.
// Never starts left of or above the screen.
QPoint place(const QPoint& pointer, const QSize& size, const QRect& screen, int padding);

} // namespace TipPlacement
} // namespace vigilux::controls
