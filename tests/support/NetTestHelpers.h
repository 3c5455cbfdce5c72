#pragma once

#include <QByteArray>
#include <QStringList>
#include <QtGlobal>

class QProcess;

namespace vigilux::test {

// A loopback port that nothing listens on (a connection to it is refused).
quint16 closedPort();

// The exact bytes the SMS gateway client sends for `path` to a gateway at
// 127.0.0.1.
QByteArray expectedSmsRequest(const QByteArray& path);

// Starts one of the Python test servers (/usr/bin/python3 `arguments`),
// which prints "port N" once it listens. Returns N, or 0 with `error` set
// when it did not come up within 15 s (`missing` names what is needed).
quint16 startPythonServer(QProcess& process, const QStringList& arguments, const QString& missing,
                          QString& error);
// Stops such a server: it ends when its standard input closes.
void stopPythonServer(QProcess& process);

} // namespace vigilux::test
