#include "core/AppContext.h"

#include "platform/Dialogs.h"

#include <utility>

namespace vigilux {

AppContext::AppContext(platform::Clock& clock, platform::Dialogs& dialogs, QString programFolder)
    : clock(clock)
    , dialogs(dialogs)
    , programFolder(std::move(programFolder))
    , dataFolder(this->programFolder)
    , settingsFolder(this->programFolder)
    , ini(this->programFolder + QStringLiteral("/options.ini")) {
    // A settings write that fails is never dropped without a word.
    ini.setFailureReporter([&dialogs](const QString& text) {
        dialogs.message(platform::Dialogs::Icon::Error, QStringLiteral("Ошибка"), text);
    });
}

} // namespace vigilux
