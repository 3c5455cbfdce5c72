#pragma once

#include <QColor>

namespace vigilux::controls {

// Colour indices the controls refer to by number, as the platform's system
// colour table numbers them. The table itself is ours and fixed, tuned to the
// light grey theme of the main window, so the controls look the same on every
// desktop and in offscreen tests.
enum class SysColor {
    BtnFace = 15,
    BtnShadow = 16,
    BtnText = 18,
    BtnHighlight = 20,
    DarkShadow3D = 21,
    Light3D = 22,
    InfoText = 23,
    InfoBack = 24,
};

QColor systemColor(SysColor index);

// Adds `amount` to each of red, green and blue, clamping each to 0..255.
QColor offsetColor(const QColor& color, int amount);

} // namespace vigilux::controls
