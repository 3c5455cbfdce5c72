#pragma once

#include "platform/UrlOpener.h"

namespace vigilux::platform {

// The real opener: the desktop's default handler for the address.
class DesktopUrlOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override;
};

} // namespace vigilux::platform
