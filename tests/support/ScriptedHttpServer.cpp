#include "ScriptedHttpServer.h"

#include <QRegularExpression>
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

bool ScriptedHttpServer::complete(const QByteArray& request) {
    const qsizetype headerEnd = request.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    // A request with a body (an upload) is answered once the body is in.
    static const QRegularExpression length(QStringLiteral("\r\ncontent-length:\\s*(\\d+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto match = length.match(QString::fromLatin1(request.left(headerEnd + 2)));
    return !match.hasMatch() || request.size() - headerEnd - 4 >= match.captured(1).toLongLong();
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
            if (*answered || !complete(requests[index]))
                return;
            *answered = true;
            socket->write(reply.bytes);
            if (reply.close)
                socket->disconnectFromHost();
        });
    }
}

} // namespace vigilux::test
