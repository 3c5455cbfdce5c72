#pragma once

#include "app/LastCheckStore.h"

namespace vigilux::settings {
class IniFile;
}

namespace vigilux::app {

// LastCheck in options.ini through the program's one INI store.
class IniLastCheckStore final : public LastCheckStore {
public:
    explicit IniLastCheckStore(settings::IniFile& ini)
        : m_ini(ini) {}

    QString readLastCheck() override;
    void writeLastCheck(const QDate& date) override;

private:
    settings::IniFile& m_ini;
};

} // namespace vigilux::app
