#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QTcpServer>

class QTcpSocket;

namespace vigilux::test {

// A TCP server on 127.0.0.1 that answers each connection with a scripted
// reply once the request's header (and the body its Content-Length
// announces) has arrived, and records the bytes each
// connection sent. Lets tests check requests byte for byte and produce the
// odd answers a real server will not.
class ScriptedHttpServer final : public QObject {
    Q_OBJECT
public:
    struct Reply {
        QByteArray bytes;
        // Close the connection after the bytes; false holds it open forever.
        bool close = true;
    };

    explicit ScriptedHttpServer(QObject* parent = nullptr);

    // Listens on a free loopback port.
    bool listen();
    quint16 port() const { return m_server.serverPort(); }

    // One reply per connection, in order; with none left the connection is
    // closed without an answer.
    QQueue<Reply> replies;
    // What each connection sent, in order of connection.
    QList<QByteArray> requests;
    int connections() const { return static_cast<int>(requests.size()); }

    // A complete HTTP/1.1 200 answer with a length and a body.
    static QByteArray ok(const QByteArray& body);
    // Whether `request` holds a whole header and the whole body it announces.
    static bool complete(const QByteArray& request);

private:
    void onNewConnection();

    QTcpServer m_server;
};

} // namespace vigilux::test
