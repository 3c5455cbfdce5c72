#pragma once

#include <QString>

class QFile;

namespace vigilux::platform {

// Opening files whose names come from journals and settings without trusting
// them: only regular files are opened, and never in a way that blocks (a FIFO
// or a device named where a picture was expected would hold the UI thread
// for ever). Files the program writes for itself (journals, settings) are
// private to the user and never written through a symlink. Any thread; no
// state.
class RegularFile final {
public:
    enum class Links { Follow, Refuse };

    // Opens `path` read-only into `file`. False, with `why` set to a short
    // Russian reason, for a missing or unreadable file, a special file, and
    // (Links::Refuse) a symlink.
    static bool openForReading(QFile& file, const QString& path, Links links, QString* why);

    // Opens `path` for appending, created 0600 when missing; never through a
    // symlink and never a special file. The folder must exist.
    static bool openForAppend(QFile& file, const QString& path, QString* why);

    // True when `path`, every symlink resolved, names an existing regular
    // file inside `folder` (also resolved) or one of its subfolders.
    static bool isInside(const QString& path, const QString& folder);

    // Creates `folder` with its missing parents; the folders it creates are
    // private (0700). True when it exists afterwards.
    static bool makePrivateFolder(const QString& folder);

    // Owner read and write only, for a file that holds secrets.
    static bool makePrivate(const QString& path);
};

} // namespace vigilux::platform
