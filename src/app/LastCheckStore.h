#pragma once

#include <QDate>
#include <QString>

namespace vigilux::app {

// Where the date of the last automatic update check is kept: the key
// LastCheck of section Interface in options.ini. An interface so the check
// can be tested without a settings file. UI thread only.
class LastCheckStore {
public:
    virtual ~LastCheckStore() = default;

    // The stored text as it stands ("" when absent).
    virtual QString readLastCheck() = 0;
    virtual void writeLastCheck(const QDate& date) = 0;
};

} // namespace vigilux::app
