#pragma once

#include "platform/ScreenSaverInhibitor.h"

#include <QObject>
#include <QtGlobal>

#ifndef Q_OS_WIN
#include <QDBusConnection>
#include <optional>
class QDBusPendingCallWatcher;
#endif

namespace vigilux::platform {

// On Linux desktops: org.freedesktop.ScreenSaver Inhibit/UnInhibit on the
// session bus. The request is asynchronous, so a slow or absent service never
// holds up the window. The desktop also drops the inhibition when our bus
// connection closes, but we give it back explicitly at destruction.
// On Windows: the thread execution state.
class DesktopScreenSaverInhibitor final : public QObject, public ScreenSaverInhibitor {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopScreenSaverInhibitor)
public:
    explicit DesktopScreenSaverInhibitor(QObject* parent = nullptr);
#ifndef Q_OS_WIN
    // Talks to the service on `bus` instead of the session bus.
    explicit DesktopScreenSaverInhibitor(const QDBusConnection& bus, QObject* parent = nullptr);
#endif
    ~DesktopScreenSaverInhibitor() override;

    void setInhibited(bool on) override;

    // The desktop has granted the inhibition and it is still held.
    bool holding() const;

    // How long one call to the service may take before it counts as failed.
    static constexpr int CallTimeoutMs = 2000;

private:
    bool m_wanted = false;
#ifndef Q_OS_WIN
    void requestInhibit();
    void takeReply(QDBusPendingCallWatcher* watcher);
    void release(bool waitForService);

    QDBusConnection m_bus;
    QDBusPendingCallWatcher* m_pending = nullptr; // the Inhibit call awaiting its reply
    std::optional<uint> m_cookie;                 // the service's handle while held
#endif
};

} // namespace vigilux::platform
