#pragma once

#include "platform/Keyring.h"

#include <QMap>

namespace vigilux::test {

// A keyring in memory that answers on the next turn of the event loop, or
// fails every request when `working` is false.
class FakeKeyring final : public platform::Keyring {
public:
    QMap<QString, QString> values;
    bool working = true;

    void read(const QString& key, ReadDone done) override;
    void write(const QString& key, const QString& value, WriteDone done) override;
};

} // namespace vigilux::test
