#include "NetTestHelpers.h"

#include <QHostAddress>
#include <QProcess>
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

quint16 startPythonServer(QProcess& process, const QStringList& arguments, const QString& missing,
                          QString& error) {
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("/usr/bin/python3"), arguments);
    if (!process.waitForStarted(10000)) {
        error = missing;
        return 0;
    }
    QByteArray line;
    while (!line.endsWith('\n') && process.waitForReadyRead(15000))
        line += process.readLine();
    if (!line.startsWith("port ")) {
        error = QString::fromUtf8(line);
        stopPythonServer(process);
        return 0;
    }
    return static_cast<quint16>(line.mid(5).trimmed().toUInt());
}

void stopPythonServer(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.closeWriteChannel();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace vigilux::test
