#include "ui/ProgramOptionsRules.h"

namespace vigilux::ui {

int ProgramOptionsRules::maxFilesStep(int value) {
    // Checked in this order, the last test that holds wins.
    int step = 1;
    if (value <= 100)
        step = 10;
    if (value <= 10)
        step = 1;
    if (value > 100)
        step = 100;
    if (value > 1000)
        step = 500;
    return step;
}

} // namespace vigilux::ui
