#include "platform/CommandLine.h"

#include <QFileInfo>
#include <QProcess>

namespace vigilux::platform {

namespace {
bool namesFile(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isFile();
}
} // namespace

CommandLine CommandLine::parse(const QString& text) {
    const QString line = text.trimmed();
    if (line.isEmpty())
        return {};
    if (line.startsWith(u'"')) {
        const qsizetype close = line.indexOf(u'"', 1);
        if (close > 1)
            return {line.mid(1, close - 1), QProcess::splitCommand(line.mid(close + 1))};
    }
    if (namesFile(line))
        return {line, {}};
    for (qsizetype space = line.lastIndexOf(u' '); space > 0;
         space = line.lastIndexOf(u' ', space - 1)) {
        const QString prefix = line.left(space);
        if (namesFile(prefix))
            return {prefix, QProcess::splitCommand(line.mid(space + 1))};
    }
    QStringList words = QProcess::splitCommand(line);
    if (words.isEmpty())
        return {};
    const QString program = words.takeFirst();
    return {program, words};
}

} // namespace vigilux::platform
