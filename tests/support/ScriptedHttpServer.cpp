#include "ScriptedHttpServer.h"

#include <QTcpSocket>

#include <memory>

namespace vigilux::test {

ScriptedHttpServer::ScriptedHttpServer(QObject* parent)
    : QObject(parent) {
    connect(&m_server, &QTcpServer::newConnection, this, &ScriptedHttpServer::onNewConnection);
}

bool ScriptedHttpServer::listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QByteArray ScriptedHttpServer::ok(const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void ScriptedHttpServer::onNewConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        const int index = static_cast<int>(requests.size());
        requests.append(QByteArray());
        const Reply reply = replies.isEmpty() ? Reply{} : replies.dequeue();
        auto answered = std::make_shared<bool>(false);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, index, reply, answered] {
            requests[index] += socket->readAll();
            if (*answered || !requests[index].contains("\r\n\r\n"))
                return;
            *answered = true;
            socket->write(reply.bytes);
            if (reply.close)
                socket->disconnectFromHost();
        });
    }
}

} // namespace vigilux::test
