#pragma once

#include <QUrl>

namespace vigilux::platform {

// Hands a web address to the system's default handler (the browser). Kept
// behind an interface so tests record the address instead of opening it.
// UI thread only.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;

    // Returns false when the system could not open the address.
    virtual bool open(const QUrl& url) = 0;
};

} // namespace vigilux::platform
