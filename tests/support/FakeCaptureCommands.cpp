#include "FakeCaptureCommands.h"

namespace vigilux::test {

void FakeCaptureCommands::chooseFormat() {
    commands << QStringLiteral("WebcamFormat");
    if (duringDialog)
        duringDialog();
}

void FakeCaptureCommands::chooseSource() {
    commands << QStringLiteral("WebcamOptions");
    if (duringDialog)
        duringDialog();
}

bool FakeCaptureCommands::setResolution(qint16 width, qint16 height, bool probing) {
    resCalls.append({width, height, probing});
    if (duringSetRes)
        duringSetRes();
    return accepted.contains(QString::number(width) + QLatin1Char('x') + QString::number(height));
}

void FakeCaptureCommands::pausePreview(bool paused) {
    commands << (paused ? QStringLiteral("PrePause(true)") : QStringLiteral("PrePause(false)"));
}

} // namespace vigilux::test
