#pragma once

#include <QString>

namespace vigilux::platform {

// Starts external programs from a command line given as the user typed it
// (unquoted paths are split the way the platform splits them).
class Processes {
public:
    virtual ~Processes() = default;

    // Runs the program and blocks the calling thread, without time limit,
    // until it ends. Returns its exit code; -1 when it could not be started
    // (nothing is shown then).
    virtual int runAndWait(const QString& commandLine, int windowStyle) = 0;

    // Starts the program and returns at once; false when it could not start.
    virtual bool start(const QString& commandLine) = 0;
};

} // namespace vigilux::platform
