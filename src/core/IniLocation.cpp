#include "core/IniLocation.h"

#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace vigilux::core {

namespace {

const QString CrLf = QStringLiteral("\r\n");

bool usable(core::IniFile::Problem problem) {
    return problem == core::IniFile::Problem::None || problem == core::IniFile::Problem::Missing;
}

} // namespace

bool IniLocation::folderWritable(const QString& folder) {
    // Permission bits do not tell about read-only mounts or ACLs; creating a
    // file does.
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.vigilux-probe-XXXXXX"));
    return probe.open();
}

QString IniLocation::startWarning() const {
    const QString noSaving =
        QStringLiteral("Изменения настроек не будут сохранены: нет папки, доступной для записи.");
    if (!unusableFile.isEmpty()) {
        return QStringLiteral("Файл настроек ") + QDir::toNativeSeparators(unusableFile) +
               QStringLiteral(" не может быть использован: ") + unusableReason + QLatin1Char('.') +
               CrLf + CrLf +
               (writable
                    ? QStringLiteral("Настройки хранятся в ") + QDir::toNativeSeparators(filePath())
                    : noSaving);
    }
    if (!writable)
        return noSaving;
    return QString();
}

IniLocation IniLocation::choose(const QString& programFolder) {
    IniLocation beside{programFolder, false, true, {}, {}};
    const QFileInfo existing(beside.filePath());
    const core::IniFile::Problem problem = core::IniFile::check(beside.filePath());
    if (usable(problem)) {
        if (folderWritable(programFolder) && (!existing.exists() || existing.isWritable()))
            return beside;
        // A writable file in a locked folder can still be updated in place.
        if (existing.isFile() && existing.isWritable())
            return beside;
    } else {
        beside.unusableFile = beside.filePath();
        beside.unusableReason = core::IniFile::describe(problem);
    }

    IniLocation fallback = userFolder();
    if (!fallback.writable) {
        beside.writable = false;
        if (beside.unusableFile.isEmpty()) {
            beside.unusableFile = fallback.unusableFile;
            beside.unusableReason = fallback.unusableReason;
        }
        return beside;
    }
    fallback.fellBack = true;
    fallback.unusableFile = beside.unusableFile;
    fallback.unusableReason = beside.unusableReason;
    if (problem == core::IniFile::Problem::None && !QFileInfo::exists(fallback.filePath())) {
        if (QFile::copy(existing.filePath(), fallback.filePath())) {
            QFile copy(fallback.filePath());
            copy.setPermissions(copy.permissions() | QFileDevice::WriteOwner);
        }
    }
    return fallback;
}

IniLocation IniLocation::userFolder() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const bool writable = !config.isEmpty() && QDir().mkpath(config) && folderWritable(config);
    IniLocation location{QDir::cleanPath(config), false, writable, {}, {}};
    const core::IniFile::Problem problem = core::IniFile::check(location.filePath());
    if (writable && !usable(problem)) {
        location.writable = false;
        location.unusableFile = location.filePath();
        location.unusableReason = core::IniFile::describe(problem);
    }
    return location;
}

} // namespace vigilux::core
