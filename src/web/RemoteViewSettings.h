#pragma once

#include <QByteArray>
#include <QString>

namespace vigilux::web {

// The remote view's settings. Off until the user switches it on and sets a
// password; without a password hash the server refuses to start.
struct RemoteViewSettings {
    static constexpr quint16 DefaultPort = 8443;

    bool enabled = false;
    quint16 port = DefaultPort;
    QByteArray passwordHash; // PasswordHash::make(); never the password itself
    bool localOnly = true;   // "только локальная сеть"
    // The user's own certificate and key (PEM); both empty: a self-signed
    // pair made in the settings folder at the first start.
    QString certificatePath;
    QString keyPath;
};

} // namespace vigilux::web
