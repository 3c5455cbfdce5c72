#include "platform/DesktopUrlOpener.h"

#include <QDesktopServices>

namespace vigilux::platform {

bool DesktopUrlOpener::open(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

} // namespace vigilux::platform
