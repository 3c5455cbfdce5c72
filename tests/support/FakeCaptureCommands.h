#pragma once

#include "video/CaptureCommands.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>

namespace vigilux::test {

// A capture device that accepts a scripted set of sizes and records every
// command it is given.
class FakeCaptureCommands final : public video::CaptureCommands {
public:
    struct ResCall {
        qint16 width;
        qint16 height;
        bool detect;
        bool operator==(const ResCall&) const = default;
    };

    void chooseFormat() override;
    void chooseSource() override;
    bool setResolution(qint16 width, qint16 height, bool probing = false) override;
    void pausePreview(bool paused) override;

    // "1280x720" entries the device accepts.
    QSet<QString> accepted;
    // Runs inside every setResolution, before it answers (to look at the window
    // while the "driver" is busy).
    std::function<void()> duringSetRes;
    // Runs inside the format and source dialogs.
    std::function<void()> duringDialog;

    QList<ResCall> resCalls;
    // "chooseFormat", "chooseSource", "pausePreview(true)", ... in call order.
    QStringList commands;
};

} // namespace vigilux::test
