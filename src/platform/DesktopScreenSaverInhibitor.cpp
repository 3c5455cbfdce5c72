#include "platform/DesktopScreenSaverInhibitor.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace vigilux::platform {

#ifdef Q_OS_WIN

DesktopScreenSaverInhibitor::DesktopScreenSaverInhibitor(QObject* parent)
    : QObject(parent) {}

DesktopScreenSaverInhibitor::~DesktopScreenSaverInhibitor() {
    setInhibited(false);
}

void DesktopScreenSaverInhibitor::setInhibited(bool on) {
    if (on == m_wanted)
        return;
    m_wanted = on;
    SetThreadExecutionState(on ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED
                               : ES_CONTINUOUS);
}

bool DesktopScreenSaverInhibitor::holding() const {
    return m_wanted;
}

#else

namespace {
const QString Service = QStringLiteral("org.freedesktop.ScreenSaver");
const QString path = QStringLiteral("/org/freedesktop/ScreenSaver");
const QString Interface = QStringLiteral("org.freedesktop.ScreenSaver");
} // namespace

DesktopScreenSaverInhibitor::DesktopScreenSaverInhibitor(QObject* parent)
    : DesktopScreenSaverInhibitor(QDBusConnection::sessionBus(), parent) {}

DesktopScreenSaverInhibitor::DesktopScreenSaverInhibitor(const QDBusConnection& bus,
                                                         QObject* parent)
    : QObject(parent)
    , m_bus(bus) {}

DesktopScreenSaverInhibitor::~DesktopScreenSaverInhibitor() {
    m_wanted = false;
    if (m_pending) {
        // A grant arriving after we are gone would keep the screen awake
        // until the connection closes.
        QDBusPendingCallWatcher* pending = m_pending;
        disconnect(pending, nullptr, this, nullptr);
        pending->waitForFinished();
        takeReply(pending);
    }
    release(true);
}

void DesktopScreenSaverInhibitor::setInhibited(bool on) {
    if (on == m_wanted)
        return;
    m_wanted = on;
    // While a request is under way its reply decides (takeReply).
    if (m_pending)
        return;
    if (on)
        requestInhibit();
    else
        release(false);
}

bool DesktopScreenSaverInhibitor::holding() const {
    return m_cookie.has_value();
}

void DesktopScreenSaverInhibitor::requestInhibit() {
    if (m_cookie || !m_bus.isConnected())
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, path, Interface, QStringLiteral("Inhibit"));
    call << QStringLiteral("Vigilux") << QStringLiteral("Включена автосъемка");
    m_pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
    connect(m_pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* watcher) {
                takeReply(watcher);
                if (!m_wanted)
                    release(false);
            });
}

void DesktopScreenSaverInhibitor::takeReply(QDBusPendingCallWatcher* watcher) {
    if (!watcher || watcher != m_pending)
        return;
    m_pending = nullptr;
    watcher->deleteLater();
    const QDBusPendingReply<uint> reply = *watcher;
    // No service, or it refused: the screen keeps its usual behaviour.
    if (reply.isError())
        return;
    m_cookie = reply.value();
}

void DesktopScreenSaverInhibitor::release(bool waitForService) {
    if (!m_cookie)
        return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(Service, path, Interface, QStringLiteral("UnInhibit"));
    call << *m_cookie;
    m_cookie.reset();
    // At destruction the program may end right after: wait (bounded) so the
    // call has left before the connection closes.
    if (waitForService)
        m_bus.call(call, QDBus::Block, CallTimeoutMs);
    else
        m_bus.send(call);
}

#endif

} // namespace vigilux::platform
