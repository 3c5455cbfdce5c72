#pragma once

#include <QString>

namespace vigilux::settings {

// Where options.ini lives. Beside the executable when the program may write
// there; otherwise in the user's configuration folder, so that settings can
// still be saved when the program is installed read-only.
struct IniLocation {
    QString folder;        // without a trailing separator
    bool fellBack = false; // folder is the user's configuration folder
    bool writable = true;  // false: no folder could be written; saves will be lost

    QString filePath() const { return folder + QStringLiteral("/options.ini"); }

    // Picks the folder. The configuration folder is created when needed; an
    // options.ini found read-only beside the executable is copied there once
    // so the user starts from it rather than from defaults.
    static IniLocation choose(const QString& programFolder);

    // An installed program keeps its settings in the user's configuration
    // folder from the start; that is no fallback worth a note.
    static IniLocation userFolder();

    // The folder accepts a new file (a probe file is created and removed).
    static bool folderWritable(const QString& folder);
};

} // namespace vigilux::settings
