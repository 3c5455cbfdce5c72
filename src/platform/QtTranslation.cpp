#include "platform/QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace vigilux::platform::QtTranslation {

bool installRussian() {
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    // qt_ru is the umbrella catalogue: it pulls in qtbase_ru, qtmultimedia_ru
    // and the others that are installed.
    auto* translator = new QTranslator(app);
    if (!translator->load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qt"),
                          QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace vigilux::platform::QtTranslation
