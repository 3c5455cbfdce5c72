#include "platform/QtProcesses.h"

#include <QProcess>
#include <QStringList>

namespace vigilux::platform {

int QtProcesses::runAndWait(const QString& commandLine, int windowStyle) {
    // The window style has no meaning for programs started here.
    Q_UNUSED(windowStyle);
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return -1;
    const QString program = args.takeFirst();
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(program, args);
    if (!process.waitForStarted(-1))
        return -1;
    // Waiting without a limit is the point: the alarm chain resumes only
    // when the program has finished.
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool QtProcesses::start(const QString& commandLine) {
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty())
        return false;
    const QString program = args.takeFirst();
    return QProcess::startDetached(program, args);
}

} // namespace vigilux::platform
