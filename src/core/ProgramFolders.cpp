#include "core/ProgramFolders.h"

#include <QDir>
#include <QFileInfo>

namespace vigilux::core {

ProgramFolders ProgramFolders::locate(const QString& programFolder, const QString& installedData) {
    ProgramFolders folders{QDir::cleanPath(programFolder), QDir::cleanPath(programFolder), false};
    if (installedData.isEmpty())
        return folders;
    const QString shared = QDir::cleanPath(QDir(folders.program).filePath(installedData));
    // Sounds beside the program win: a copy unpacked next to an installed
    // one stays self-contained.
    if (!QFileInfo(folders.program + QStringLiteral("/sound")).isDir() &&
        QFileInfo(shared + QStringLiteral("/sound")).isDir()) {
        folders.data = shared;
        folders.installed = true;
    }
    return folders;
}

} // namespace vigilux::core
