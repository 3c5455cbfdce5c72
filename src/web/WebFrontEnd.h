#pragma once

#include "web/RemoteViewSettings.h"
#include "web/SessionStore.h"

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimer>

class QSslCertificate;
class QSslKey;

namespace vigilux::web {

class RemoteViewSource;

// The remote view's HTTPS side: Qt's HTTP server does the TLS and the HTTP
// parsing; this class routes each request, checks the peer, the session and
// the token against cross-site requests, and streams the live picture.
//
// Lives on the server's own thread (RemoteViewServer moves it there); the
// source's getters are called here, its actions leave as signals that the
// owner receives queued on its own thread.
class WebFrontEnd final : public QAbstractHttpServer {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebFrontEnd)
public:
    using AddressCheck = bool (*)(const QHostAddress&);

    static constexpr int MaxViewers = 4;
    static constexpr int FrameIntervalMs = 200; // at most 5 pictures a second
    // A connection that has sent no whole request for this long is closed
    // (the live picture's excepted), so idle or dribbling peers cannot pile
    // up. The TLS handshake has its own bound in QSslServer.
    static constexpr qint64 IdleMs = 60 * 1000;
    // The most one request may send, head and body together. Qt's HTTP
    // server of Qt 6.4 reads a body whole into memory, however long; a
    // connection that sends more than this before its request is handled is
    // closed before the server reads the excess. The largest request the
    // site takes (the log-in form) is a few hundred bytes.
    static constexpr qint64 MaxRequestBytes = 64 * 1024;

    WebFrontEnd(RemoteViewSource& source, const RemoteViewSettings& settings, AddressCheck isLocal);
    ~WebFrontEnd() override;

    // Listens with TLS on `address`:`port` (0: any free port); the port, or 0.
    quint16 start(const QHostAddress& address, quint16 port, const QSslCertificate& certificate,
                  const QSslKey& key);

signals:
    void watchRequested(bool on);
    void muteRequested(int choice); // a MuteChoice
    void snapshotRequested();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Reply {
        int status = 200;
        QByteArray type;
        QByteArray body;
        QList<std::pair<QByteArray, QByteArray>> headers;
        QByteArray cache = "no-store";
    };
    struct Viewer {
        QPointer<QTcpSocket> socket;
        QByteArray session;
    };

    Reply route(const QHttpServerRequest& request, QTcpSocket* socket, bool& streaming);
    Reply login(const QHttpServerRequest& request);
    Reply action(const QByteArray& path, const QHttpServerRequest& request);
    Reply stateJson(const SessionStore::Session& session);
    Reply eventsJson(const QHttpServerRequest& request);
    Reply eventFile(const QByteArray& path, const QHttpServerRequest& request);
    bool startStream(const QHttpServerRequest& request, QTcpSocket* socket,
                     const QByteArray& session);
    void send(const QHttpServerRequest& request, QTcpSocket* socket, const Reply& reply);
    void sendFrame();
    void writeFrame(QTcpSocket* socket);
    void closeIdleConnections();
    void limitRequestSize(QTcpSocket* socket);
    qint64 nowMs() const { return m_clock.elapsed(); }

    static Reply page(const QString& name, int status = 200);
    static Reply redirect(const QByteArray& to);
    static Reply text(int status, const QString& text);

    RemoteViewSource& m_source;
    const RemoteViewSettings m_settings;
    const AddressCheck m_isLocal;
    SessionStore m_sessions;
    QElapsedTimer m_clock;
    QList<Viewer> m_viewers;
    QTimer* m_frameTimer;                     // child
    QTimer* m_upkeep;                         // child
    QHash<QTcpSocket*, qint64> m_lastRequest; // by connection, steady ms
    QHash<QTcpSocket*, qint64> m_received;    // bytes since the last request handled
    QByteArray m_frame;                       // the latest picture sent to the viewers
};

} // namespace vigilux::web
