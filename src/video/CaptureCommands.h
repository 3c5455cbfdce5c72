#pragma once

#include <QtGlobal>

namespace vigilux::video {

// What the settings windows ask of the capture control (CaptureControl implements
// it): the driver's format and source dialogs, the capture resolution and
// pausing the preview. UI thread only.
class CaptureCommands {
public:
    virtual ~CaptureCommands() = default;

    // The video format dialog (modal); the preview pauses while it is open.
    virtual void chooseFormat() = 0;
    // The video source dialog (modal).
    virtual void chooseSource() = 0;
    // Tries width x height. With probing it only reports whether the device
    // accepts the size and leaves the device as it was; without, an accepted
    // size stays in force and capture restarts with it.
    virtual bool setResolution(qint16 width, qint16 height, bool probing = false) = 0;
    // True stops the preview (no frames, no detector steps), false resumes it.
    virtual void pausePreview(bool paused) = 0;
};

} // namespace vigilux::video
