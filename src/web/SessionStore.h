#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>

namespace vigilux::web {

// Who is logged in to the remote view, and who is waiting after wrong
// passwords. A session is a random 256-bit token (the cookie) with its own
// token against cross-site requests; it ends 12 hours after the log-in or at
// log-out. Five wrong passwords in a row from one address make it wait a
// minute, each further one twice as long as the last (at most a day); a right
// one forgets the count. Times are steady milliseconds handed in by the
// caller, so tests drive them. One thread (the server's).
class SessionStore final {
public:
    static constexpr qint64 LifetimeMs = 12LL * 3600 * 1000;
    static constexpr int FreeTries = 5;
    static constexpr qint64 FirstWaitMs = 60 * 1000;
    static constexpr qint64 LongestWaitMs = 24LL * 3600 * 1000;
    static constexpr int MaxSessions = 32;

    struct Session {
        QByteArray csrf;
        qint64 expiresMs = 0;
    };

    // A new session; returns its cookie token. The oldest session goes when
    // there are already MaxSessions.
    QByteArray open(qint64 nowMs);
    // The live session of `token`, or nullptr (an expired one is dropped).
    const Session* find(const QByteArray& token, qint64 nowMs);
    void close(const QByteArray& token);

    // How long `address` must still wait before it may try a password; 0
    // when it may now.
    qint64 waitMs(const QHostAddress& address, qint64 nowMs) const;
    void passwordFailed(const QHostAddress& address, qint64 nowMs);
    void passwordAccepted(const QHostAddress& address);

private:
    struct Tries {
        int failures = 0;
        qint64 blockedUntilMs = 0;
        qint64 lastMs = 0;
    };

    QHash<QByteArray, Session> m_sessions;
    QHash<QHostAddress, Tries> m_tries;
};

// Equality of two secrets in time that does not depend on where they differ.
bool sameSecret(const QByteArray& a, const QByteArray& b);

} // namespace vigilux::web
