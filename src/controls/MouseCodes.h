#pragma once

#include <Qt>

namespace vigilux::controls {

// Mouse and keyboard arguments of the controls' events use the classic codes
// the owners were written against: `button` 1 left, 2 right, 4 middle (a
// sum for the buttons held during a move); `shift` 1 Shift, 2 Ctrl, 4 Alt.
int buttonCode(Qt::MouseButton button);
int buttonsCode(Qt::MouseButtons buttons);
int shiftCode(Qt::KeyboardModifiers modifiers);

} // namespace vigilux::controls
