#include "platform/QtProcesses.h"

#include "platform/CommandLine.h"

#include <QProcess>

namespace vigilux::platform {

int QtProcesses::runAndWait(const QString& commandLine, int windowStyle) {
    // The window style has no meaning for programs started here.
    Q_UNUSED(windowStyle);
    const CommandLine command = CommandLine::parse(commandLine);
    if (command.program.isEmpty())
        return -1;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(command.program, command.arguments);
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
    const CommandLine command = CommandLine::parse(commandLine);
    if (command.program.isEmpty())
        return false;
    return QProcess::startDetached(command.program, command.arguments);
}

} // namespace vigilux::platform
