#pragma once

#include "platform/Processes.h"

namespace vigilux::platform {

// Programs started with QProcess.
class QtProcesses final : public Processes {
public:
    int runAndWait(const QString& commandLine, int windowStyle) override;
    bool start(const QString& commandLine) override;
};

} // namespace vigilux::platform
