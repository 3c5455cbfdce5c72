#pragma once

#include <QString>

namespace vigilux::core {

// Where options.ini lives. Beside the executable when the program may write
// there and the file there is usable; otherwise in the user's configuration
// folder, so that settings can still be saved when the program is installed
// read-only or its options.ini cannot be read.
struct IniLocation {
    QString folder;        // without a trailing separator
    bool fellBack = false; // folder is the user's configuration folder
    bool writable = true;  // false: no folder could be written; saves will fail
    // The options.ini beside the executable when it exists but cannot be
    // used (a folder, a FIFO, unreadable, too big), and why.
    QString unusableFile;
    QString unusableReason;

    QString filePath() const { return folder + QStringLiteral("/options.ini"); }

    // What the user must be told once at start, when settings cannot go
    // where they would expect: "" otherwise (a read-only program folder is
    // a status-line note, not this).
    QString startWarning() const;

    // Picks the folder. The configuration folder is created when needed; an
    // options.ini found read-only beside the executable is copied there once
    // so the user starts from it rather than from defaults.
    static IniLocation choose(const QString& programFolder);

    // An installed program keeps its settings in the user's configuration
    // folder from the start; that is no fallback worth a note (an unusable
    // options.ini there is, through startWarning()).
    static IniLocation userFolder();

    // The folder accepts a new file (a probe file is created and removed).
    static bool folderWritable(const QString& folder);
};

} // namespace vigilux::core
