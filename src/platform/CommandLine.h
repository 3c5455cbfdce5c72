#pragma once

#include <QString>
#include <QStringList>

namespace vigilux::platform {

// A command line as the user typed it into a settings field, split into the
// program and its arguments. Paths with spaces need no quotes:
// - a value naming an existing file is that file, run with no arguments;
// - otherwise the longest part up to a space that names an existing file is
//   the program and the rest are its arguments;
// - a program name in double quotes is taken whole;
// - anything else splits at spaces (a program found on PATH, say).
struct CommandLine {
    QString program; // empty when the text holds no command
    QStringList arguments;

    static CommandLine parse(const QString& text);
};

} // namespace vigilux::platform
