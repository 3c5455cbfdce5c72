#include "app/IniLastCheckStore.h"

#include "core/IniFile.h"

#include <QVariant>

namespace vigilux::app {

QString IniLastCheckStore::readLastCheck() {
    return m_ini.read(QStringLiteral("LastCheck"), QStringLiteral("Interface"));
}

void IniLastCheckStore::writeLastCheck(const QDate& date) {
    // The store writes dates in the user's short date format.
    m_ini.write(QVariant(date), QStringLiteral("LastCheck"), QStringLiteral("Interface"));
}

} // namespace vigilux::app
