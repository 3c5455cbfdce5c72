#include "settings/IniLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace vigilux::settings {

bool IniLocation::folderWritable(const QString& folder) {
    // Permission bits do not tell about read-only mounts or ACLs; creating a
    // file does.
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.vigilux-probe-XXXXXX"));
    return probe.open();
}

IniLocation IniLocation::choose(const QString& programFolder) {
    IniLocation beside{programFolder, false, true};
    const QFileInfo existing(beside.filePath());
    if (folderWritable(programFolder) && (!existing.exists() || existing.isWritable()))
        return beside;
    // A writable file in a locked folder can still be updated in place.
    if (existing.isFile() && existing.isWritable())
        return beside;

    IniLocation fallback = userFolder();
    if (!fallback.writable) {
        beside.writable = false;
        return beside;
    }
    fallback.fellBack = true;
    if (existing.isFile() && existing.isReadable() && !QFileInfo::exists(fallback.filePath())) {
        if (QFile::copy(existing.filePath(), fallback.filePath())) {
            QFile copy(fallback.filePath());
            copy.setPermissions(copy.permissions() | QFileDevice::WriteOwner);
        }
    }
    return fallback;
}

IniLocation IniLocation::userFolder() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const bool usable = !config.isEmpty() && QDir().mkpath(config) && folderWritable(config);
    return IniLocation{QDir::cleanPath(config), false, usable};
}

} // namespace vigilux::settings
