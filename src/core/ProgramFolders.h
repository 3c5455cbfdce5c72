#pragma once

#include <QString>

namespace vigilux::core {

// Where the program finds its own files. Run from its build or unpacked
// folder, its sounds sit beside it; installed (bin/ and share/vigilux/ below
// one prefix), they sit in the shared data folder, and the program folder is
// not the user's to write.
struct ProgramFolders {
    QString program;        // the executable's folder, without a trailing separator
    QString data;           // the folder holding sound/
    bool installed = false; // data is the installed shared folder

    // `installedData` is the shared data folder relative to the program
    // folder of an installed copy ("../share/vigilux").
    static ProgramFolders locate(const QString& programFolder, const QString& installedData);
};

} // namespace vigilux::core
