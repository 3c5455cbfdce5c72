#pragma once

#include "platform/Keyring.h"

#include <QObject>

namespace vigilux::platform {

// Keyring through QtKeychain (the Secret Service or KWallet over D-Bus).
// A job that has not answered within `TimeoutMs` counts as failed, so a
// desktop without a running keyring service never holds the caller up.
class QtKeyring final : public QObject, public Keyring {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(QtKeyring)

public:
    static constexpr int TimeoutMs = 10000;

    explicit QtKeyring(QObject* parent = nullptr);
    ~QtKeyring() override;

    void read(const QString& key, ReadDone done) override;
    void write(const QString& key, const QString& value, WriteDone done) override;
};

} // namespace vigilux::platform
