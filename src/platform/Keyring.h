#pragma once

#include <QString>

#include <functional>

namespace vigilux::platform {

// The desktop's store of secrets, keyed by name under this program's
// service. Both operations answer later, on the UI thread, exactly once and
// within a bounded time; `ok` false means the store is missing, locked or
// refused (the caller falls back to the settings file).
class Keyring {
public:
    using ReadDone = std::function<void(bool ok, const QString& value)>;
    using WriteDone = std::function<void(bool ok)>;

    virtual ~Keyring() = default;
    virtual void read(const QString& key, ReadDone done) = 0;
    virtual void write(const QString& key, const QString& value, WriteDone done) = 0;
};

} // namespace vigilux::platform
