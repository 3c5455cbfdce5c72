#pragma once

#include "notify/NotifyResult.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>

namespace vigilux::notify {

// Sends one e-mail at a time through an SMTP server with libcurl (its SMTP
// and MIME support): plain, STARTTLS or TLS from the first byte, optional
// login, a text part and file attachments. The server's certificate is
// always checked, against the system's authorities plus an optional extra
// CA file (for a server with a certificate of its own making).
//
// The transfer runs on a worker thread so the UI thread never waits on the
// network; it is bounded in total (`totalMs`), and `finished` is raised on
// the thread that owns this object, after the call that started it has
// returned. Destroying the object cancels a transfer in progress and waits
// for the worker, which notices within about a second.
class MailClient final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MailClient)

public:
    enum class Security { None, StartTls, Tls };

    struct Server {
        QString host;
        int port = 0; // 0: the usual port of the security mode
        Security security = Security::StartTls;
        QString login; // empty: no authentication
        QString password;
        QString caFile; // extra certificate authority, PEM
    };

    struct Message {
        QString from;
        QStringList to;
        QString subject;
        QString text;
        QStringList attachments;
    };

    struct Bounds {
        int connectMs = 20000;
        int totalMs = 300000;
    };

    explicit MailClient(QObject* parent = nullptr);
    ~MailClient() override;

    bool isBusy() const { return m_busy; }
    void setBounds(const Bounds& bounds) { m_bounds = bounds; }

    // Starts sending; a call while busy is ignored.
    void send(const Server& server, const Message& message);

    // "a@b.c, d@e.f; g@h.i" as a list; empty items dropped.
    static QStringList splitAddresses(const QString& list);
    // Why the server settings or the message cannot be sent, or "".
    static QString check(const Server& server, const Message& message);
    static int defaultPort(Security security);

signals:
    void finished(const vigilux::notify::NotifyResult& result);

private:
    void finishLater(NotifyResult result);
    void complete(const NotifyResult& result);
    void join();

    Bounds m_bounds;
    bool m_busy = false;
    std::shared_ptr<std::atomic_bool> m_cancel;
    std::thread m_worker;
};

} // namespace vigilux::notify
