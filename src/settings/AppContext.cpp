#include "settings/AppContext.h"

#include <utility>

namespace vigilux {

AppContext::AppContext(platform::Clock& clock, platform::Dialogs& dialogs, QString programFolder)
    : clock(clock)
    , dialogs(dialogs)
    , programFolder(std::move(programFolder))
    , dataFolder(this->programFolder)
    , settingsFolder(this->programFolder)
    , ini(this->programFolder + QStringLiteral("/options.ini")) {}

} // namespace vigilux
