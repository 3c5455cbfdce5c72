#include "web/WebFrontEnd.h"

#include "web/EventIndex.h"
#include "web/PasswordHash.h"
#include "web/RemoteViewSource.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>

#include <algorithm>
#include <set>

namespace vigilux::web {

namespace {

const QByteArray CookieName = "vgx_session";
const QByteArray Boundary = "vigiluxframe";
// Media replies are cut into pieces of at most this size: a player asks for
// the rest with the next range, and memory per request stays bounded.
constexpr qint64 MaxRangeBytes = 2 * 1024 * 1024;
// A slow viewer skips pictures rather than piling them up in memory.
constexpr qint64 MaxViewerBacklog = 1024 * 1024;

const QByteArray SecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "media-src 'self'; connect-src 'self'; form-action 'self'; base-uri 'none'; "
    "frame-ancestors 'none'";

// Pages and files anyone may fetch: the log-in page and what it needs.
const QHash<QByteArray, QString>& publicFiles() {
    static const QHash<QByteArray, QString> files{
        {"/login", QStringLiteral("login.html")},
        {"/static/app.css", QStringLiteral("app.css")},
        {"/static/login.js", QStringLiteral("login.js")},
    };
    return files;
}

// Pages and files only a session sees.
const QHash<QByteArray, QString>& sessionFiles() {
    static const QHash<QByteArray, QString> files{
        {"/now", QStringLiteral("now.html")},         {"/status", QStringLiteral("status.html")},
        {"/events", QStringLiteral("events.html")},   {"/actions", QStringLiteral("actions.html")},
        {"/static/app.js", QStringLiteral("app.js")},
    };
    return files;
}

QByteArray typeOf(const QString& name) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    static const QHash<QString, QByteArray> types{
        {QStringLiteral("html"), "text/html; charset=utf-8"},
        {QStringLiteral("css"), "text/css; charset=utf-8"},
        {QStringLiteral("js"), "text/javascript; charset=utf-8"},
        {QStringLiteral("jpg"), "image/jpeg"},
        {QStringLiteral("jpeg"), "image/jpeg"},
        {QStringLiteral("bmp"), "image/bmp"},
        {QStringLiteral("png"), "image/png"},
        {QStringLiteral("mp4"), "video/mp4"},
        {QStringLiteral("mkv"), "video/x-matroska"},
        {QStringLiteral("webm"), "video/webm"},
        {QStringLiteral("avi"), "video/x-msvideo"},
    };
    return types.value(suffix, "application/octet-stream");
}

QByteArray cookie(const QHttpServerRequest& request, const QByteArray& name) {
    for (const QByteArray& part : request.value("cookie").split(';')) {
        const QByteArray item = part.trimmed();
        if (item.startsWith(QByteArray(name + '=')))
            return item.mid(name.size() + 1);
    }
    return {};
}

QString timeText(const QDateTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

// A request sent by another site's page: the browser says so, or names an
// origin other than ours.
bool crossSite(const QHttpServerRequest& request) {
    if (request.value("sec-fetch-site") == "cross-site")
        return true;
    const QByteArray origin = request.value("origin");
    return !origin.isEmpty() && origin != "https://" + request.value("host");
}

// The first range of a Range header against a file of `size` bytes:
// [first, last], or false when it cannot be served.
bool parseRange(const QByteArray& header, qint64 size, qint64& first, qint64& last) {
    static const QRegularExpression re(QStringLiteral("^bytes=(\\d*)-(\\d*)"));
    const auto m = re.match(QString::fromLatin1(header.trimmed()));
    if (!m.hasMatch() || (m.capturedView(1).isEmpty() && m.capturedView(2).isEmpty()) || size == 0)
        return false;
    bool ok = true;
    if (m.capturedView(1).isEmpty()) { // the last N bytes
        const qint64 n = m.capturedView(2).toLongLong(&ok);
        if (!ok || n == 0)
            return false;
        first = std::max<qint64>(0, size - n);
        last = size - 1;
        return true;
    }
    first = m.capturedView(1).toLongLong(&ok);
    if (!ok || first >= size)
        return false;
    last = m.capturedView(2).isEmpty() ? size - 1 : m.capturedView(2).toLongLong(&ok);
    if (!ok || last < first)
        return false;
    last = std::min(last, size - 1);
    return true;
}

} // namespace

WebFrontEnd::WebFrontEnd(RemoteViewSource& source, const RemoteViewSettings& settings,
                         AddressCheck isLocal)
    : m_source(source)
    , m_settings(settings)
    , m_isLocal(isLocal) {
    m_clock.start();
    // A child, so it moves to the server's thread with this object.
    m_frameTimer = new QTimer(this);
    m_frameTimer->setInterval(FrameIntervalMs);
    connect(m_frameTimer, &QTimer::timeout, this, &WebFrontEnd::sendFrame);
    m_upkeep = new QTimer(this);
    m_upkeep->setInterval(IdleMs / 4);
    connect(m_upkeep, &QTimer::timeout, this, &WebFrontEnd::closeIdleConnections);
    // The HTTP server hands WebSocket upgrades over before any route, session
    // or address check; the site uses none, so each is closed at once rather
    // than left waiting in the server's queue.
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, [this] {
        while (hasPendingWebSocketConnections())
            nextPendingWebSocketConnection()->abort();
    });
}

WebFrontEnd::~WebFrontEnd() {
    // The connections die with the listening sockets, after this object's
    // members: they must no longer reach m_lastRequest then.
    for (QTcpServer* server : servers())
        for (QTcpSocket* socket : server->findChildren<QTcpSocket*>())
            socket->disconnect(this);
}

quint16 WebFrontEnd::start(const QHostAddress& address, quint16 port,
                           const QSslCertificate& certificate, const QSslKey& key) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificate);
    tls.setPrivateKey(key);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    // Our own TLS listener rather than sslSetup() and listen(): it shows
    // each connection before the HTTP server connects its reader, so the
    // request size guard is the first to hear of arriving bytes.
    auto* server = new QSslServer(this);
    server->setSslConfiguration(tls);
    connect(server, &QSslServer::startedEncryptionHandshake, this,
            [this](QSslSocket* socket) { limitRequestSize(socket); });
    if (!server->listen(address, port)) {
        delete server;
        return 0;
    }
    bind(server);
    m_upkeep->start();
    return server->serverPort();
}

void WebFrontEnd::limitRequestSize(QTcpSocket* socket) {
    // Connected before the HTTP server's reader, so this runs first on each
    // arrival and sees the bytes that reader is about to take.
    connect(socket, &QIODevice::readyRead, this, [this, socket] {
        qint64& received = m_received[socket];
        received += socket->bytesAvailable();
        if (received > MaxRequestBytes)
            socket->abort(); // drops what is buffered, unread
    });
    connect(socket, &QObject::destroyed, this, [this, socket] { m_received.remove(socket); });
}

void WebFrontEnd::closeIdleConnections() {
    const qint64 now = nowMs();
    for (QTcpServer* server : servers()) {
        // The HTTP server parents each connection to the listening socket.
        for (QTcpSocket* socket : server->findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly)) {
            const bool viewer =
                std::any_of(m_viewers.cbegin(), m_viewers.cend(),
                            [socket](const Viewer& v) { return v.socket == socket; });
            auto it = m_lastRequest.find(socket);
            if (it == m_lastRequest.end()) {
                m_lastRequest.insert(socket, now);
                connect(socket, &QObject::destroyed, this,
                        [this, socket] { m_lastRequest.remove(socket); });
            } else if (!viewer && now - *it > IdleMs) {
                socket->abort();
            }
        }
    }
}

void WebFrontEnd::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    send(request, socket, text(404, QStringLiteral("Не найдено")));
}

bool WebFrontEnd::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    if (m_lastRequest.contains(socket))
        m_lastRequest[socket] = nowMs();
    m_received.remove(socket);
    bool streaming = false;
    const Reply reply = route(request, socket, streaming);
    if (!streaming)
        send(request, socket, reply);
    return true;
}

WebFrontEnd::Reply WebFrontEnd::route(const QHttpServerRequest& request, QTcpSocket* socket,
                                      bool& streaming) {
    if (m_settings.localOnly && !m_isLocal(request.remoteAddress()))
        return page(QStringLiteral("refused.html"), 403);

    // The address exactly as sent: "%2F" stays three characters and never
    // matches a route, and no part of it ever becomes a file path.
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toLatin1();
    const bool get = request.method() == QHttpServerRequest::Method::Get;
    const bool post = request.method() == QHttpServerRequest::Method::Post;
    if (!get && !post)
        return text(405, QStringLiteral("Метод не поддерживается"));

    if (get && publicFiles().contains(path))
        return page(publicFiles().value(path));
    if (post && path == "/login")
        return crossSite(request) ? text(403, QStringLiteral("Запрос с чужого сайта"))
                                  : login(request);

    const QByteArray token = cookie(request, CookieName);
    const SessionStore::Session* session =
        token.isEmpty() ? nullptr : m_sessions.find(token, nowMs());
    if (!session) {
        const bool isPage =
            path == "/" || (sessionFiles().contains(path) && !path.startsWith("/static/"));
        if (get && isPage)
            return redirect("/login");
        return text(401, QStringLiteral("Нужно войти"));
    }

    if (post) {
        if (crossSite(request) || !sameSecret(request.value("x-csrf-token"), session->csrf))
            return text(403, QStringLiteral("Запрос с чужого сайта"));
        if (path == "/logout") {
            m_sessions.close(token);
            Reply r = text(200, QStringLiteral("ok"));
            r.headers.append(
                {"Set-Cookie", QByteArray(CookieName + "=; Path=/; Max-Age=0; HttpOnly; "
                                                       "Secure; SameSite=Strict")});
            return r;
        }
        return action(path, request);
    }
    if (path == "/")
        return redirect("/now");
    if (sessionFiles().contains(path))
        return page(sessionFiles().value(path));
    if (path == "/api/state")
        return stateJson(*session);
    if (path == "/api/events")
        return eventsJson(request);
    if (path == "/live.mjpg") {
        streaming = startStream(request, socket, token);
        Reply busy = text(503, QStringLiteral("Сейчас смотрят %1 зрителя, больше нельзя. "
                                              "Попробуйте позже.")
                                   .arg(MaxViewers));
        busy.headers.append(std::pair<QByteArray, QByteArray>("Retry-After", "15"));
        return busy;
    }
    if (path.startsWith("/event/"))
        return eventFile(path, request);
    return text(404, QStringLiteral("Не найдено"));
}

WebFrontEnd::Reply WebFrontEnd::login(const QHttpServerRequest& request) {
    const QHostAddress peer = request.remoteAddress();
    if (const qint64 wait = m_sessions.waitMs(peer, nowMs()); wait > 0)
        return redirect("/login?e=wait&s=" + QByteArray::number((wait + 999) / 1000));
    // A form sends spaces as '+'; QUrlQuery would keep them.
    QByteArray body = request.body();
    body.replace('+', "%20");
    const QString password = QUrlQuery(QString::fromLatin1(body))
                                 .queryItemValue(QStringLiteral("password"), QUrl::FullyDecoded);
    if (!PasswordHash::matches(m_settings.passwordHash, password)) {
        m_sessions.passwordFailed(peer, nowMs());
        return redirect("/login?e=wrong");
    }
    m_sessions.passwordAccepted(peer);
    const QByteArray token = m_sessions.open(nowMs());
    Reply r = redirect("/now");
    r.headers.append({"Set-Cookie", QByteArray(CookieName + '=' + token + "; Path=/; Max-Age=" +
                                               QByteArray::number(SessionStore::LifetimeMs / 1000) +
                                               "; HttpOnly; Secure; SameSite=Strict")});
    return r;
}

WebFrontEnd::Reply WebFrontEnd::action(const QByteArray& path, const QHttpServerRequest& request) {
    const QUrlQuery form(QString::fromLatin1(request.body()));
    const QString value = form.queryItemValue(QStringLiteral("value"));
    if (path == "/api/watch" && (value == QLatin1String("on") || value == QLatin1String("off"))) {
        emit watchRequested(value == QLatin1String("on"));
        return text(200, QStringLiteral("ok"));
    }
    if (path == "/api/mute") {
        static const QHash<QString, MuteChoice> choices{
            {QStringLiteral("15m"), MuteChoice::Minutes15},
            {QStringLiteral("1h"), MuteChoice::Hour1},
            {QStringLiteral("forever"), MuteChoice::UntilUnmuted},
            {QStringLiteral("off"), MuteChoice::Unmute},
        };
        if (choices.contains(value)) {
            emit muteRequested(static_cast<int>(choices.value(value)));
            return text(200, QStringLiteral("ok"));
        }
    }
    if (path == "/api/snapshot") {
        emit snapshotRequested();
        return text(200, QStringLiteral("ok"));
    }
    return text(404, QStringLiteral("Нет такого действия"));
}

WebFrontEnd::Reply WebFrontEnd::stateJson(const SessionStore::Session& session) {
    const RemoteViewState s = m_source.state();
    const bool muted =
        s.mutedForever || (s.mutedUntil.isValid() && s.mutedUntil > QDateTime::currentDateTime());
    const QJsonObject o{
        {QStringLiteral("watching"), s.watching},
        {QStringLiteral("level"), s.detectorLevel},
        {QStringLiteral("threshold"), s.detectorThreshold},
        {QStringLiteral("muted"), muted},
        {QStringLiteral("mutedForever"), s.mutedForever},
        {QStringLiteral("mutedUntil"),
         muted && !s.mutedForever ? timeText(s.mutedUntil) : QString()},
        {QStringLiteral("watchingSince"), s.watching ? timeText(s.watchingSince) : QString()},
        {QStringLiteral("eventsToday"), s.eventsToday},
        {QStringLiteral("lastEvent"), timeText(s.lastEvent)},
        {QStringLiteral("picturesWaiting"), s.picturesWaiting},
        {QStringLiteral("messagesWaiting"), s.messagesWaiting},
        {QStringLiteral("cameraHealth"), s.cameraHealth},
        {QStringLiteral("viewers"), static_cast<int>(m_viewers.size())},
        {QStringLiteral("csrf"), QString::fromLatin1(session.csrf)},
    };
    return Reply{200, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact), {}};
}

WebFrontEnd::Reply WebFrontEnd::eventsJson(const QHttpServerRequest& request) {
    const QList<EventEntry> all = EventIndex::read(m_source.eventLogPath());
    std::set<QDate, std::greater<>> days;
    for (const EventEntry& e : all)
        if (e.start.isValid())
            days.insert(e.start.date());
    QDate day =
        QDate::fromString(request.query().queryItemValue(QStringLiteral("day")), Qt::ISODate);
    if (!day.isValid())
        day = days.empty() ? QDate::currentDate() : *days.begin();
    QJsonArray dayList;
    for (const QDate& d : days)
        dayList.append(d.toString(Qt::ISODate));
    QJsonArray events;
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->start.date() != day)
            continue;
        events.append(QJsonObject{
            {QStringLiteral("number"), it->number},
            {QStringLiteral("start"), it->start.toString(QStringLiteral("HH:mm:ss"))},
            {QStringLiteral("duration"), it->durationSeconds},
            {QStringLiteral("peak"), it->peakPercent},
            {QStringLiteral("picture"), !it->firstFile.isEmpty()},
            {QStringLiteral("clips"), static_cast<int>(it->clips.size())},
        });
    }
    const QJsonObject o{{QStringLiteral("day"), day.toString(Qt::ISODate)},
                        {QStringLiteral("days"), dayList},
                        {QStringLiteral("events"), events}};
    return Reply{200, "application/json", QJsonDocument(o).toJson(QJsonDocument::Compact), {}};
}

WebFrontEnd::Reply WebFrontEnd::eventFile(const QByteArray& path,
                                          const QHttpServerRequest& request) {
    static const QRegularExpression re(
        QStringLiteral("^/event/([0-9]{1,9})/(?:picture|clip/([0-9]{1,2}))$"));
    const auto m = re.match(QString::fromLatin1(path));
    if (!m.hasMatch())
        return text(404, QStringLiteral("Не найдено"));
    const auto event = EventIndex::find(m_source.eventLogPath(), m.captured(1).toInt());
    if (!event)
        return text(404, QStringLiteral("Нет такого события"));
    QString name = event->firstFile;
    if (m.capturedLength(2) > 0) {
        const int clip = m.captured(2).toInt();
        name = clip < event->clips.size() ? event->clips[clip] : QString();
    }
    const QString file = EventIndex::resolveInside(m_source.saveFolder(), name);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
        return text(404, QStringLiteral("Файла нет"));

    Reply r{200, typeOf(file), {}, {{"Accept-Ranges", "bytes"}}, "private, max-age=3600"};
    const qint64 size = f.size();
    qint64 first = 0;
    qint64 last = size - 1;
    const QByteArray range = request.value("range");
    if (!range.isEmpty()) {
        if (!parseRange(range, size, first, last)) {
            Reply bad = text(416, QStringLiteral("Неверный диапазон"));
            bad.headers.append(
                {"Content-Range", QByteArray("bytes */" + QByteArray::number(size))});
            return bad;
        }
        r.status = 206;
    } else if (size > MaxRangeBytes) {
        r.status = 206; // a whole clip in one reply would sit in memory
    }
    last = std::min(last, first + MaxRangeBytes - 1);
    if (r.status == 206)
        r.headers.append({"Content-Range",
                          QByteArray("bytes " + QByteArray::number(first) + '-' +
                                     QByteArray::number(last) + '/' + QByteArray::number(size))});
    if (size > 0 &&
        (!f.seek(first) || (r.body = f.read(last - first + 1)).size() != last - first + 1))
        return text(500, QStringLiteral("Не удалось прочитать файл"));
    return r;
}

bool WebFrontEnd::startStream(const QHttpServerRequest& request, QTcpSocket* socket,
                              const QByteArray& session) {
    m_viewers.removeIf([](const Viewer& v) { return v.socket.isNull(); });
    if (m_viewers.size() >= MaxViewers)
        return false;
    {
        QHttpServerResponder responder = makeResponder(request, socket);
        responder.writeStatusLine(QHttpServerResponder::StatusCode::Ok);
        responder.writeHeader("Content-Type", "multipart/x-mixed-replace; boundary=" + Boundary);
        responder.writeHeader("Cache-Control", "no-store");
        responder.writeHeader("Content-Security-Policy", SecurityPolicy);
        responder.writeHeader("X-Content-Type-Options", "nosniff");
        responder.writeHeader("Connection", "close");
        responder.writeBody(QByteArray());
    }
    m_viewers.append(Viewer{socket, session});
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        m_viewers.removeIf([socket](const Viewer& v) { return v.socket == socket || !v.socket; });
        if (m_viewers.isEmpty())
            m_frameTimer->stop();
    });
    if (!m_frameTimer->isActive()) {
        m_frame = m_source.latestJpeg();
        m_frameTimer->start();
    }
    writeFrame(socket);
    return true;
}

void WebFrontEnd::sendFrame() {
    const qint64 now = nowMs();
    m_viewers.removeIf([&](const Viewer& v) {
        if (v.socket.isNull())
            return true;
        if (!m_sessions.find(v.session, now)) { // logged out or expired
            v.socket->disconnectFromHost();
            return true;
        }
        return false;
    });
    if (m_viewers.isEmpty()) {
        m_frameTimer->stop();
        return;
    }
    const QByteArray frame = m_source.latestJpeg();
    if (frame.isEmpty() || frame == m_frame)
        return;
    m_frame = frame;
    for (const Viewer& v : std::as_const(m_viewers))
        writeFrame(v.socket);
}

void WebFrontEnd::writeFrame(QTcpSocket* socket) {
    if (m_frame.isEmpty() || !socket || socket->bytesToWrite() > MaxViewerBacklog)
        return;
    socket->write("--" + Boundary + "\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                  QByteArray::number(m_frame.size()) + "\r\n\r\n");
    socket->write(m_frame);
    socket->write("\r\n");
}

void WebFrontEnd::send(const QHttpServerRequest& request, QTcpSocket* socket, const Reply& reply) {
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(reply.status));
    if (!reply.type.isEmpty())
        responder.writeHeader("Content-Type", reply.type);
    responder.writeHeader("Content-Length", QByteArray::number(reply.body.size()));
    responder.writeHeader("Cache-Control", reply.cache);
    responder.writeHeader("Content-Security-Policy", SecurityPolicy);
    responder.writeHeader("X-Frame-Options", "DENY");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    // "same-origin", not "no-referrer": with the latter a form names its
    // origin "null", and the log-in would look cross-site.
    responder.writeHeader("Referrer-Policy", "same-origin");
    for (const auto& [name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeBody(reply.body);
}

WebFrontEnd::Reply WebFrontEnd::page(const QString& name, int status) {
    QFile file(QStringLiteral(":/web/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return text(500, QStringLiteral("Нет файла страницы"));
    return Reply{status, typeOf(name), file.readAll(), {}};
}

WebFrontEnd::Reply WebFrontEnd::redirect(const QByteArray& to) {
    return Reply{303, {}, {}, {{"Location", to}}};
}

WebFrontEnd::Reply WebFrontEnd::text(int status, const QString& text) {
    return Reply{status, "text/plain; charset=utf-8", text.toUtf8(), {}};
}

} // namespace vigilux::web
