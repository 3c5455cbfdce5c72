#pragma once

namespace vigilux::platform::QtTranslation {

// Installs Qt's own Russian texts (standard buttons, file dialogs, context
// menus) on the running application, from the translations that come with
// Qt. The program speaks only Russian, so the system language does not
// matter. False when no catalogue was found: Qt's texts stay English.
bool installRussian();

} // namespace vigilux::platform::QtTranslation
