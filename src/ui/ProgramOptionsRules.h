#pragma once

namespace vigilux::ui {

// Rules of the program options window that are worth testing without it.
class ProgramOptionsRules final {
public:
    // The arrow step of the picture-limit scroll bar for its current value:
    // 1 up to 10, 10 up to 100, 100 up to 1000, 500 above, so a click moves
    // by a sensible share of the number shown.
    static int maxFilesStep(int value);
};

} // namespace vigilux::ui
