#pragma once

namespace vigilux::platform {

// Keeps the screen saver and display sleep away while the program watches.
// UI thread only. Failing to reach the desktop is silent: the screen may then
// blank as usual, and nothing else changes.
class ScreenSaverInhibitor {
public:
    virtual ~ScreenSaverInhibitor() = default;

    // On: ask the desktop to keep the screen awake. Off: give that back.
    // Repeating the current state does nothing.
    virtual void setInhibited(bool on) = 0;
};

} // namespace vigilux::platform
