#include "platform/Dialogs.h"

namespace vigilux::platform {

void Dialogs::notify(Icon icon, const QString& title, const QString& text) {
    message(icon, title, text, Buttons::Ok);
}

} // namespace vigilux::platform
