#pragma once

#include "app/LastCheckStore.h"

namespace vigilux::settings {
class clsINI;
}

namespace vigilux::app {

// LastCheck in options.ini through the program's one INI store.
class IniLastCheckStore final : public LastCheckStore {
public:
    explicit IniLastCheckStore(settings::clsINI& ini)
        : m_ini(ini) {}

    QString readLastCheck() override;
    void writeLastCheck(const QDate& date) override;

private:
    settings::clsINI& m_ini;
};

} // namespace vigilux::app
