#pragma once

#include <QDate>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace vigilux::platform {
class Clock;
class Dialogs;
class UrlOpener;
} // namespace vigilux::platform

namespace vigilux::app {

class LastCheckStore;

// Asks our update endpoint which version is offered and offers to open the
// download page when it differs from ours. checkInBackground is the
// automatic run (once per start through delayTimer(), at most every seven
// days); checkNow is the About window's button. They share the request, the
// response rules and the question; they differ in where texts go
// (statusText vs. aboutCaption) and in the seven-day rule.
//
// The download is asynchronous: a run starts the request and returns, and
// the remaining steps run when the reply ends, so the window stays live and
// no nested event loop is needed. It is bounded in time (timeoutMs()) and in
// size (MaxResponseBytes). One run at a time: a check asked for while one
// runs is ignored. UI thread only.
class UpdateChecker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)

public:
    enum class Run { Automatic, Manual };

    static constexpr int StartDelayMs = 1000;
    static constexpr int DefaultTimeoutMs = 15000;
    static constexpr qint64 MaxResponseBytes = 64 * 1024;
    static constexpr int CheckEveryDays = 7;
    // Longest version text accepted from the answer.
    static constexpr int MaxVersionLength = 64;

    static QString builtInVersion() { return QStringLiteral("2.0 beta"); }
    static QString versionFileName() { return QStringLiteral("version.tmp"); }
    static QString marker() { return QStringLiteral("#version info"); }
    static QString endpointPath() { return QStringLiteral("/version/vigilux.php"); }

    // Our endpoint, or the base URL in the environment variable
    // VIGILUX_UPDATE_URL when it is set (scheme, host, optional port).
    static QUrl defaultEndpoint();
    // The base URL given on the command line as "--update-url URL" or
    // "--update-url=URL", else defaultEndpoint().
    static QUrl endpointFor(const QStringList& arguments);

    // `folder` holds versionFile(): a folder the program may write (where its
    // settings went), not necessarily its own. endpoint is the base URL that
    // the request path is appended to.
    UpdateChecker(LastCheckStore& store, platform::Clock& clock, platform::Dialogs& dialogs,
                  platform::UrlOpener& opener, const QString& folder,
                  const QUrl& endpoint = defaultEndpoint(), QObject* parent = nullptr);
    ~UpdateChecker() override;

    // One-shot, 1000 ms; armed by the end of the splash, ticks checkInBackground.
    QTimer& delayTimer() { return m_delayTimer; }

    void checkInBackground();
    void checkNow();

    bool isBusy() const { return m_busy; }
    QString versionFile() const { return m_versionFile; }
    QUrl endpoint() const { return m_endpoint; }
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    // The request address for a given "rnd" value.
    QUrl requestUrl(const QString& rnd) const;

    // Whether a redirect from the endpoint to `target` stays on the update
    // site: same host, http or https, same port (or http's default to https's).
    static bool isSameSite(const QUrl& endpoint, const QUrl& target);

    // The cache-defeating "rnd" value: a minimal-standard linear
    // congruential generator (std::minstd_rand) seeded with the seconds of
    // the time, its next number scaled to [0, 1), written with seven
    // decimals, without the leading "0.". Seven digits; only needs to vary.
    static QString rndValue(int seconds);

    // LastCheck as a date: the user's short date format (two-digit years
    // taken in this century), the ISO form, or dd.MM.yyyy. Invalid when
    // none fits.
    static QDate parseStoredDate(const QString& text);

signals:
    // The automatic run's texts, for the main window's status line.
    void statusText(const QString& text);
    void repaintMain();
    // The manual run's texts, for the caption of the About window's update
    // button.
    void aboutCaption(const QString& text);
    void repaintAbout();
    // Any run has ended, whatever its result (after the question, if any).
    void finished();

private:
    void start(Run run);
    void onReadyRead();
    void onFinished();
    void evaluate(bool downloaded);
    void report(const QString& text);
    void offerNewVersion(const QString& version, const QString& page);
    void removeVersionFile() const;
    void end();

    LastCheckStore& m_store;
    platform::Clock& m_clock;
    platform::Dialogs& m_dialogs;
    platform::UrlOpener& m_opener;
    const QString m_versionFile;
    const QUrl m_endpoint;
    int m_timeoutMs = DefaultTimeoutMs;

    QTimer m_delayTimer;
    QTimer m_deadline;
    QNetworkAccessManager* m_net = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_failed = false;
    bool m_busy = false;
    Run m_run = Run::Automatic;
};

} // namespace vigilux::app
