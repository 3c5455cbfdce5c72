#pragma once

#include <QByteArray>

namespace vigilux::platform {

// Plays one sound image (a WAV file's bytes) from memory, asynchronously.
// UI thread only.
class SoundOutput {
public:
    virtual ~SoundOutput() = default;

    // Stops whatever is playing.
    virtual void stop() = 0;
    // Starts playing `wav` (kept as a copy) and returns at once.
    virtual void play(const QByteArray& wav) = 0;
};

} // namespace vigilux::platform
