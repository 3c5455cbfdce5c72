#pragma once

class QWidget;

namespace vigilux::controls {

// True when the widget under the mouse cursor is `widget` itself (not a
// window or widget stacked over it). The hover timers poll this.
bool cursorOver(const QWidget* widget);

} // namespace vigilux::controls
