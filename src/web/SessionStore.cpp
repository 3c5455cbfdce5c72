#include "web/SessionStore.h"

#include "web/PasswordHash.h"

#include <algorithm>

namespace vigilux::web {

namespace {

// An address mapped into IPv6 counts as the IPv4 one, so both forms share
// one count.
QHostAddress plain(const QHostAddress& address) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : address;
}

} // namespace

QByteArray SessionStore::open(qint64 nowMs) {
    for (auto it = m_sessions.begin(); it != m_sessions.end();)
        it = it->expiresMs <= nowMs ? m_sessions.erase(it) : std::next(it);
    if (m_sessions.size() >= MaxSessions) {
        auto oldest = std::min_element(
            m_sessions.begin(), m_sessions.end(),
            [](const Session& a, const Session& b) { return a.expiresMs < b.expiresMs; });
        m_sessions.erase(oldest);
    }
    const QByteArray token = randomToken(32);
    m_sessions.insert(token, Session{randomToken(32), nowMs + LifetimeMs});
    return token;
}

const SessionStore::Session* SessionStore::find(const QByteArray& token, qint64 nowMs) {
    const auto it = m_sessions.find(token);
    if (it == m_sessions.end())
        return nullptr;
    if (it->expiresMs <= nowMs) {
        m_sessions.erase(it);
        return nullptr;
    }
    return &*it;
}

void SessionStore::close(const QByteArray& token) {
    m_sessions.remove(token);
}

qint64 SessionStore::waitMs(const QHostAddress& address, qint64 nowMs) const {
    const auto it = m_tries.constFind(plain(address));
    return it == m_tries.cend() ? 0 : std::max<qint64>(0, it->blockedUntilMs - nowMs);
}

void SessionStore::passwordFailed(const QHostAddress& address, qint64 nowMs) {
    // Forget addresses that stopped trying a day ago, so the table stays small.
    for (auto it = m_tries.begin(); it != m_tries.end();)
        it = nowMs - it->lastMs > LongestWaitMs && it->blockedUntilMs <= nowMs ? m_tries.erase(it)
                                                                               : std::next(it);
    Tries& tries = m_tries[plain(address)];
    tries.lastMs = nowMs;
    ++tries.failures;
    if (tries.failures < FreeTries)
        return;
    const int doublings = std::min(tries.failures - FreeTries, 20);
    tries.blockedUntilMs = nowMs + std::min(FirstWaitMs << doublings, LongestWaitMs);
}

void SessionStore::passwordAccepted(const QHostAddress& address) {
    m_tries.remove(plain(address));
}

bool sameSecret(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size() || a.isEmpty())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace vigilux::web
