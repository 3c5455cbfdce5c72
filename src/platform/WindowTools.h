#pragma once

class QWidget;

namespace vigilux::platform {

// Places a window above all others without moving or sizing it. Call before
// the window is shown (or again after changing it: the flag change hides
// the window, and this shows it again if it was visible).
void makeTopmost(QWidget& window);

} // namespace vigilux::platform
