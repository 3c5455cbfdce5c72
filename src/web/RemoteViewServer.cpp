#include "web/RemoteViewServer.h"

#include "web/LocalAddress.h"
#include "web/RemoteViewSource.h"
#include "web/ServerCertificate.h"
#include "web/WebFrontEnd.h"

#include <QNetworkInterface>
#include <QThread>

// Resources of a static library must be registered by name, outside any
// namespace.
static void initWebResources() {
    Q_INIT_RESOURCE(web);
}

namespace vigilux::web {

RemoteViewServer::RemoteViewServer(RemoteViewSource& source, QObject* parent)
    : QObject(parent)
    , m_source(source)
    , m_isLocal(&isLocalAddress) {
    initWebResources();
}

RemoteViewServer::~RemoteViewServer() {
    stop();
}

bool RemoteViewServer::start(const RemoteViewSettings& settings, const QString& settingsFolder,
                             const QHostAddress& address) {
    stop();
    m_error.clear();
    if (!settings.enabled) {
        m_error = QStringLiteral("Удалённый доступ выключен");
        return false;
    }
    if (settings.passwordHash.isEmpty()) {
        m_error = QStringLiteral("Не задан пароль удалённого доступа");
        return false;
    }
    ServerCertificate certificate;
    if (!certificate.load(settingsFolder, settings.certificatePath, settings.keyPath)) {
        m_error = certificate.error();
        return false;
    }
    m_fingerprint = certificate.fingerprint();

    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("remote-view"));
    m_frontEnd = new WebFrontEnd(m_source, settings, m_isLocal);
    m_frontEnd->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_frontEnd, &QObject::deleteLater);
    // Actions cross back to this thread, where the program's state lives.
    connect(m_frontEnd, &WebFrontEnd::watchRequested, this,
            [this](bool on) { m_source.setWatching(on); });
    connect(m_frontEnd, &WebFrontEnd::muteRequested, this,
            [this](int choice) { m_source.mute(static_cast<MuteChoice>(choice)); });
    connect(m_frontEnd, &WebFrontEnd::snapshotRequested, this, [this] { m_source.takeSnapshot(); });
    m_thread->start();

    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_frontEnd,
        [&] {
            port = m_frontEnd->start(address, settings.port, certificate.certificate(),
                                     certificate.key());
        },
        Qt::BlockingQueuedConnection);
    if (port == 0) {
        m_error = QStringLiteral("Не удалось открыть порт %1").arg(settings.port);
        stop();
        return false;
    }
    m_port = port;
    return true;
}

QStringList RemoteViewServer::phoneAddresses(quint16 port) {
    QStringList urls;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.isLoopback() || address.isLinkLocal() || !isLocalAddress(address))
            continue;
        const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                                 ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                                 : address.toString();
        urls << QStringLiteral("https://%1:%2").arg(host).arg(port);
    }
    return urls;
}

void RemoteViewServer::stop() {
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_frontEnd = nullptr; // deleted on its thread as it finished
    m_port = 0;
}

} // namespace vigilux::web
