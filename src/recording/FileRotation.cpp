#include "recording/FileRotation.h"

#include "core/DeletionGuard.h"
#include "recording/FrameSaver.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace vigilux::recording {

int FileRotation::rotate(const QString& folder, int n, const core::StatusSink& status) const {
    int deleted = 0;
    if (n <= 0)
        return 0;
    for (const QString& name : FrameSaver::listFiles(folder)) {
        if (deleted >= n)
            break;
        const QString path = folder + name;
        if (m_held.contains(path))
            continue;
        if (m_guard != nullptr && m_guard->deferDeletion(path)) {
            ++deleted; // deleted once it has been uploaded
            continue;
        }
        QFile file(path);
        // Read-only files go too: the limit is on every file in the folder.
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
        if (file.remove())
            ++deleted;
        else if (status)
            status(QStringLiteral(" Не удалось удалить файл ") + QDir::toNativeSeparators(path));
    }
    return deleted;
}

void FileRotation::makeRoom(const QString& folder, int limit,
                            const core::StatusSink& status) const {
    const int count = FrameSaver::countFiles(folder);
    const int max = std::max(1, limit);
    if (count >= max)
        rotate(folder, count - max + 1, status);
}

} // namespace vigilux::recording
