#include "NetTestHelpers.h"

#include <QHostAddress>
#include <QTcpServer>

namespace vigilux::test {

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QByteArray expectedSmsRequest(const QByteArray& path) {
    return "GET " + path +
           " HTTP/1.0\r\n"
           "User-Agent: Vigilux (Vigilux webcam watcher; http://www.vigilux.ru)\r\n"
           "Accept: text/html\r\n"
           "Accept-Encoding: identity\r\n"
           "Accept-Language: ru-RU,ru\r\n"
           "Host: 127.0.0.1\r\n"
           "Connection: Close\r\n"
           "\r\n";
}

} // namespace vigilux::test
