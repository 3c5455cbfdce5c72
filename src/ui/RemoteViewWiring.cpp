#include "ui/RemoteViewWiring.h"

#include "app/QuietTime.h"
#include "core/AppContext.h"
#include "events/EventLog.h"
#include "events/EventTracker.h"
#include "notify/Notifications.h"
#include "platform/Clock.h"
#include "ui/CaptureControl.h"
#include "ui/ProgramOptionsWindow.h"
#include "ui/RemoteAccessPage.h"
#include "upload/UploadQueue.h"
#include "video/CameraHealthMonitor.h"
#include "video/CaptureDevice.h"
#include "web/EventIndex.h"
#include "web/RemoteViewServer.h"

#include <QDir>
#include <QFile>
#include <QSslCertificate>

#include <utility>

namespace vigilux::ui {

namespace {

bool sameSettings(const web::RemoteViewSettings& a, const web::RemoteViewSettings& b) {
    return a.enabled == b.enabled && a.port == b.port && a.passwordHash == b.passwordHash &&
           a.localOnly == b.localOnly && a.certificatePath == b.certificatePath &&
           a.keyPath == b.keyPath;
}

QString logPathIn(const QString& saveFolder) {
    return QDir(saveFolder).filePath(events::EventLog::FileName);
}

} // namespace

RemoteViewWiring::RemoteViewWiring(AppContext& context, Parts parts, QObject* parent)
    : QObject(parent)
    , m_context(context)
    , m_parts(std::move(parts)) {
    m_clock.start();
    m_frameTimer.setInterval(FrameIntervalMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &RemoteViewWiring::pullFrame);
    m_stateTimer.setInterval(StateIntervalMs);
    connect(&m_stateTimer, &QTimer::timeout, this, &RemoteViewWiring::publishNow);
}

RemoteViewWiring::~RemoteViewWiring() {
    // The server calls this object's getters until it has stopped.
    stop();
}

void RemoteViewWiring::follow(events::EventTracker& tracker) {
    connect(&tracker, &events::EventTracker::eventStarted, this, [this] {
        const QDateTime now = m_context.clock.now();
        if (now.date() != m_countDay) {
            m_countDay = now.date();
            m_eventsToday = 0;
        }
        ++m_eventsToday;
        m_lastEvent = now;
    });
}

web::RemoteViewSettings RemoteViewWiring::wanted() const {
    const core::Settings& s = m_context.settings;
    web::RemoteViewSettings r;
    r.enabled = s.remoteOn;
    // 0 (a free port) only ever comes from a test; the file's range is 1 to 65535.
    r.port = static_cast<quint16>(std::clamp(s.remotePort, 0, 65535));
    r.passwordHash = s.remotePasswordHash.toLatin1();
    r.localOnly = s.remoteLocalOnly;
    r.certificatePath = s.remoteCertificate;
    r.keyPath = s.remoteKey;
    return r;
}

void RemoteViewWiring::apply() {
    const web::RemoteViewSettings want = wanted();
    if (!want.enabled) {
        m_error.clear();
        if (isRunning()) {
            stop();
            if (m_parts.status)
                m_parts.status(QStringLiteral("Удалённый доступ выключен"));
        }
        return;
    }
    // The save folder may have changed in the same window.
    const QString saves = m_context.settings.savePath;
    publishPaths(saves, logPathIn(saves));
    if (isRunning() && sameSettings(want, m_running))
        return;
    stop();
    countEventsInLog();
    publishNow();
    web::RemoteViewSource& source = *this;
    auto server = std::make_unique<web::RemoteViewServer>(source);
    if (!server->start(want, m_context.settingsFolder, m_address)) {
        m_error = server->error();
        if (m_parts.status)
            m_parts.status(QStringLiteral("Удалённый доступ не запущен: ") + m_error);
        return;
    }
    m_error.clear();
    m_server = std::move(server);
    m_running = want;
    m_stateTimer.start();
    if (m_parts.status) {
        const QStringList addresses = phoneAddresses();
        m_parts.status(
            QStringLiteral("Удалённый доступ: ") +
            (addresses.isEmpty() ? QStringLiteral("порт %1").arg(port()) : addresses.first()));
    }
}

void RemoteViewWiring::stop() {
    m_stateTimer.stop();
    m_frameTimer.stop();
    m_server.reset(); // waits for the server's thread to end
    m_pulling = false;
    m_lastAskedMs = -1;
}

bool RemoteViewWiring::isRunning() const {
    return m_server && m_server->isRunning();
}

quint16 RemoteViewWiring::port() const {
    return isRunning() ? m_server->port() : static_cast<quint16>(m_context.settings.remotePort);
}

QString RemoteViewWiring::fingerprint() const {
    if (isRunning())
        return m_server->fingerprint();
    const core::Settings& s = m_context.settings;
    const QString path =
        s.remoteCertificate.isEmpty()
            ? QDir(m_context.settingsFolder).filePath(QStringLiteral("remote-view.crt"))
            : s.remoteCertificate;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A certificate is a few kilobytes; a larger file is not one.
    const QSslCertificate certificate(file.read(1024 * 1024), QSsl::Pem);
    if (certificate.isNull())
        return {};
    return QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex(':').toUpper());
}

QStringList RemoteViewWiring::phoneAddresses() const {
    QStringList addresses;
    for (const QString& url : web::RemoteViewServer::phoneAddresses(port()))
        addresses << url + QLatin1Char('/');
    return addresses;
}

void RemoteViewWiring::addPageTo(ProgramOptionsWindow& window) {
    window.addPage(new RemoteAccessPage(m_context, *this));
}

QByteArray RemoteViewWiring::latestJpeg() {
    m_lastAskedMs = m_clock.elapsed();
    // The first request after a quiet time wakes the frame timer up.
    if (!m_pulling.exchange(true))
        QMetaObject::invokeMethod(this, &RemoteViewWiring::startPulling, Qt::QueuedConnection);
    return PublishedRemoteViewSource::latestJpeg();
}

void RemoteViewWiring::startPulling() {
    if (!isRunning()) {
        m_pulling = false;
        return;
    }
    pullFrame();
    if (m_pulling)
        m_frameTimer.start();
}

void RemoteViewWiring::pullFrame() {
    if (m_clock.elapsed() - m_lastAskedMs > InterestMs) {
        // Nobody looks any more: no copies until someone does, and the next
        // viewer is never shown this old picture as live. A request racing
        // this store finds m_pulling false and wakes the timer again.
        m_frameTimer.stop();
        publishFrame(QImage());
        m_pulling = false;
        return;
    }
    const video::CaptureDevice* device = m_parts.capture.device();
    if (!device || device->deliveredFrames() == m_lastDelivered)
        return;
    m_lastDelivered = device->deliveredFrames();
    const QImage frame = device->currentFrame(QImage::Format_RGB888);
    if (!frame.isNull())
        publishFrame(frame);
}

void RemoteViewWiring::publishNow() {
    web::RemoteViewState s;
    s.watching = m_context.watching;
    if (s.watching && !m_watchingSince.isValid())
        m_watchingSince = m_context.clock.now();
    else if (!s.watching)
        m_watchingSince = QDateTime();
    s.watchingSince = m_watchingSince;
    s.detectorLevel = m_parts.level ? m_parts.level() : 0;
    s.detectorThreshold = m_context.settings.detectorValues[core::SimilarityValue];
    const app::ActionMute& mute = m_parts.quiet.state();
    s.mutedForever = mute.isIndefinite();
    s.mutedUntil = mute.isMuted() && !s.mutedForever ? mute.until() : QDateTime();
    const QDate today = m_context.clock.now().date();
    s.eventsToday = m_countDay == today ? m_eventsToday : 0;
    s.lastEvent = m_lastEvent;
    s.picturesWaiting = m_parts.uploads.waitingCount();
    const notify::NotifyQueue* messages = m_parts.notifications.queue();
    s.messagesWaiting = messages ? static_cast<int>(messages->pendingCount()) : 0;
    CaptureControl& capture = m_parts.capture;
    const video::CameraHealth& health = capture.health().health();
    using Alert = video::CameraHealth::Alert;
    if (!capture.running())
        s.cameraHealth = capture.recovering() ? QStringLiteral("камера пропала, переподключение")
                                              : QStringLiteral("камера не подключена");
    else if (health.lost() || health.frozen() || health.covered())
        s.cameraHealth = video::CameraHealth::text(health.lost()     ? Alert::Lost
                                                   : health.frozen() ? Alert::Frozen
                                                                     : Alert::Covered);
    else
        s.cameraHealth = QStringLiteral("камера работает");
    publishState(s);
}

void RemoteViewWiring::countEventsInLog() {
    // The log holds the events that have ended; those starting from now on
    // are counted as they start.
    const QDate today = m_context.clock.now().date();
    m_countDay = today;
    m_eventsToday = 0;
    const QList<web::EventEntry> logged =
        web::EventIndex::read(logPathIn(m_context.settings.savePath));
    for (const web::EventEntry& e : logged)
        if (e.start.date() == today)
            ++m_eventsToday;
    if (!logged.isEmpty() && logged.last().start > m_lastEvent)
        m_lastEvent = logged.last().start;
}

void RemoteViewWiring::setWatching(bool on) {
    if (on != m_context.watching && m_parts.toggleWatching)
        m_parts.toggleWatching();
    publishNow();
}

void RemoteViewWiring::mute(web::MuteChoice choice) {
    app::QuietTime& quiet = m_parts.quiet;
    switch (choice) {
    case web::MuteChoice::Minutes15:
        quiet.mute(app::ActionMute::Span::Minutes15);
        break;
    case web::MuteChoice::Hour1:
        quiet.mute(app::ActionMute::Span::Hour);
        break;
    case web::MuteChoice::UntilUnmuted:
        quiet.mute(app::ActionMute::Span::UntilUnmuted);
        break;
    case web::MuteChoice::Unmute:
        quiet.unmute();
        break;
    }
    publishNow();
}

void RemoteViewWiring::takeSnapshot() {
    // Unlike the greyed button, this saves while watching too: watching is
    // when the user is away and asks for a picture.
    m_parts.capture.saveFrame();
    publishNow();
}

} // namespace vigilux::ui
