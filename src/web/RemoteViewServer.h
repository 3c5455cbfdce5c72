#pragma once

#include "web/RemoteViewSettings.h"

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

class QThread;

namespace vigilux::web {

class RemoteViewSource;
class WebFrontEnd;

// The remote view: a small HTTPS site for a phone on the home network (the
// live picture, status, events with their clips, and a few actions).
// HTTPS only, with the user's certificate or a self-signed one; a password
// log-in; by default only peers on the local network.
//
// Create, start and stop on the UI thread. The HTTP work runs on a thread of
// its own, so viewers never hold up a detector step; the source's actions
// arrive back on this object's thread. The source must outlive this object.
class RemoteViewServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RemoteViewServer)
public:
    using AddressCheck = bool (*)(const QHostAddress&);

    explicit RemoteViewServer(RemoteViewSource& source, QObject* parent = nullptr);
    ~RemoteViewServer() override;

    // Starts serving on `address` and settings.port (0: a free port), with
    // the self-signed pair kept in `settingsFolder` unless the settings name
    // the user's own. False, with error() set, when it is switched off, has
    // no password, lacks a certificate or cannot listen.
    bool start(const RemoteViewSettings& settings, const QString& settingsFolder,
               const QHostAddress& address = QHostAddress::Any);
    void stop();

    bool isRunning() const { return m_thread != nullptr; }
    quint16 port() const { return m_port; }
    // SHA-256 of the certificate served, "AB:CD:..."; empty before a start.
    const QString& fingerprint() const { return m_fingerprint; }
    const QString& error() const { return m_error; }

    // What to type on the phone: "https://ADDRESS:PORT" for each address of
    // this machine on the local network (no loopback, no link-local).
    static QStringList phoneAddresses(quint16 port);

    // What counts as a local peer; tests narrow it to see the refusal.
    void setAddressCheck(AddressCheck check) { m_isLocal = check; }

private:
    RemoteViewSource& m_source;
    AddressCheck m_isLocal;
    QThread* m_thread = nullptr;
    WebFrontEnd* m_frontEnd = nullptr; // lives on m_thread
    quint16 m_port = 0;
    QString m_fingerprint;
    QString m_error;
};

} // namespace vigilux::web
