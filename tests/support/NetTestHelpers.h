#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace vigilux::test {

// A loopback port that nothing listens on (a connection to it is refused).
quint16 closedPort();

// The exact bytes the SMS gateway client sends for `path` to a gateway at
// 127.0.0.1.
QByteArray expectedSmsRequest(const QByteArray& path);

} // namespace vigilux::test
