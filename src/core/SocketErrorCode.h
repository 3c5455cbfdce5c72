#pragma once

#include <QAbstractSocket>
#include <QString>

namespace vigilux::core {

// Socket errors as users and the servers' help pages know them: the numbers
// of the classic Windows socket table (10061 refused, 10060 timed out, 11001
// unknown host...) and a short Russian description. Shared by the clients so
// every network message reads the same.
struct SocketErrorCode {
    // The table number; an error the table has no entry for keeps Qt's code.
    static int number(QAbstractSocket::SocketError error);
    // What happened, in words a user can act on.
    static QString description(QAbstractSocket::SocketError error);
};

} // namespace vigilux::core
