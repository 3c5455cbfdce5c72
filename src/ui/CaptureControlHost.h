#pragma once

#include <QString>

namespace vigilux::ui {

// What the capture control asks of the window it sits on (the main window
// implements it). UI thread only.
class CaptureControlHost {
public:
    virtual ~CaptureControlHost() = default;

    // Command buttons 0 and 1 (snapshot, watch mode) need a connected camera.
    virtual void setCaptureButtonsEnabled(bool enabled) = 0;
    virtual void showStatus(const QString& text) = 0;
    // The notice asking whether the picture is only black.
    virtual void showBlackPicture() = 0;
};

} // namespace vigilux::ui
