#pragma once

#include <QString>

namespace vigilux::core {

// Asked by rotation before it deletes a picture. A picture still waiting
// for upload must not go: the guard then keeps it, deletes it itself once it
// has arrived, and rotation counts it as gone (the limit is exceeded for a
// while rather than losing a picture).
class DeletionGuard {
public:
    virtual ~DeletionGuard() = default;

    // True when `path` waits for upload and will be deleted by the guard
    // afterwards; false when rotation may delete it now.
    virtual bool deferDeletion(const QString& path) = 0;
};

} // namespace vigilux::core
