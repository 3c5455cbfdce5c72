#pragma once

#include "app/LastCheckStore.h"

namespace vigilux::core {
class IniFile;
}

namespace vigilux::app {

// LastCheck in options.ini through the program's one INI store.
class IniLastCheckStore final : public LastCheckStore {
public:
    explicit IniLastCheckStore(core::IniFile& ini)
        : m_ini(ini) {}

    QString readLastCheck() override;
    void writeLastCheck(const QDate& date) override;

private:
    core::IniFile& m_ini;
};

} // namespace vigilux::app
