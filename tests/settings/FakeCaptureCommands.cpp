#include "FakeCaptureCommands.h"

namespace vigilux::test {

void FakeCaptureCommands::WebcamFormat() {
    commands << QStringLiteral("WebcamFormat");
    if (duringDialog)
        duringDialog();
}

void FakeCaptureCommands::WebcamOptions() {
    commands << QStringLiteral("WebcamOptions");
    if (duringDialog)
        duringDialog();
}

bool FakeCaptureCommands::SetRes(qint16 xWith, qint16 xHeight, bool Detect) {
    resCalls.append({xWith, xHeight, Detect});
    if (duringSetRes)
        duringSetRes();
    return accepted.contains(QString::number(xWith) + QLatin1Char('x') + QString::number(xHeight));
}

void FakeCaptureCommands::PrePause(bool Pause) {
    commands << (Pause ? QStringLiteral("PrePause(true)") : QStringLiteral("PrePause(false)"));
}

} // namespace vigilux::test
