#pragma once

#include <QString>

namespace vigilux::detection {

// What the calibration logic shows on its window: two labels, the buttons,
// the progress bar and closing. The calibration window implements it.
class CalibrationView {
public:
    virtual ~CalibrationView() = default;
    virtual void setInstruction(const QString& text) = 0;
    virtual void setStatus(const QString& text) = 0;
    virtual void setButtonsEnabled(bool enabled) = 0;
    // Shows the progress container.
    virtual void showProgress() = 0;
    // Full width of the progress container, in pixels.
    virtual int progressWidth() const = 0;
    virtual void setBarWidth(int width) = 0;
    // Closes the window; the window then calls CalibrationLogic::closed().
    virtual void closeWindow() = 0;
};

} // namespace vigilux::detection
