#pragma once

#include "core/StatusSink.h"

#include <QSet>
#include <QString>

#include <functional>

namespace vigilux::core {
class DeletionGuard;
}
namespace vigilux::recording {

// Keeps a save folder within the file limit by deleting its files in name
// order, which for time-stamped names is oldest first. Frames and clips
// share one, so the upload queue's guard covers both and a clip still being
// written is never deleted from under its writer. UI thread only.
class FileRotation final {
public:
    // Asked before each deletion; none: rotation deletes freely.
    void setDeletionGuard(core::DeletionGuard* guard) { m_guard = guard; }
    core::DeletionGuard* deletionGuard() const { return m_guard; }

    // A file being written: rotation passes over it until it is released,
    // so the folder may hold one file more than the limit meanwhile.
    void hold(const QString& path) { m_held.insert(path); }
    void release(const QString& path) { m_held.remove(path); }
    bool isHeld(const QString& path) const { return m_held.contains(path); }

    // Deletes up to `n` files of `folder` (ending with '/') in listing
    // order and returns how many went; a file the guard keeps for now
    // counts as gone. A file that cannot be deleted is reported to `status`
    // and skipped.
    int rotate(const QString& folder, int n, const core::StatusSink& status) const;

    // Makes room for one more file under a limit of `limit` files (below 1
    // counts as 1).
    void makeRoom(const QString& folder, int limit, const core::StatusSink& status) const;

private:
    core::DeletionGuard* m_guard = nullptr;
    QSet<QString> m_held;
};

} // namespace vigilux::recording
