#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace vigilux::platform {

// "Is another copy of this program running?" One lock file per executable
// (by path), held for the life of the process. A lock left behind by a copy
// that crashed is taken over, since its owner no longer exists.
class InstanceLock final {
public:
    // `lockPath` is the lock file to use; see defaultPath().
    explicit InstanceLock(const QString& lockPath);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock; false when another live
    // process holds it.
    bool tryAcquire();

    // A lock path in the user's runtime folder, unique to the executable at
    // `executablePath`.
    static QString defaultPath(const QString& executablePath);

private:
    std::unique_ptr<QLockFile> m_lock;
};

} // namespace vigilux::platform
