#include "app/UpdateChecker.h"

#include "app/LastCheckStore.h"
#include "core/Cp1251.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/UrlOpener.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrlQuery>

#include <algorithm>
#include <random>

namespace vigilux::app {

namespace {

using platform::Dialogs;

const QString kNetworkError = QStringLiteral("Ошибка сети!");
const QString kCheckError = QStringLiteral("Ошибка проверки!");

// An address we hand to the browser: http or https with a host, nothing else.
bool isWebPage(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

// A version text we show: one line of printable text, short enough for a
// message box. Anything else is no answer of ours.
bool isShowableVersion(const QString& version) {
    if (version.isEmpty() || version.size() > UpdateChecker::MaxVersionLength)
        return false;
    return std::none_of(version.begin(), version.end(), [](QChar c) {
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
               c == QChar::ParagraphSeparator;
    });
}

int effectivePort(const QUrl& url) {
    return url.port(url.scheme().toLower() == u"https" ? 443 : 80);
}

} // namespace

bool UpdateChecker::isSameSite(const QUrl& endpoint, const QUrl& target) {
    const QString scheme = target.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return false;
    if (target.host().compare(endpoint.host(), Qt::CaseInsensitive) != 0)
        return false;
    // The same server, or the same host moving to its secure default port.
    return effectivePort(target) == effectivePort(endpoint) ||
           (scheme == u"https" && effectivePort(target) == 443 &&
            endpoint.scheme().toLower() == u"http" && effectivePort(endpoint) == 80);
}

QUrl UpdateChecker::defaultEndpoint() {
    const QByteArray fromEnv = qgetenv("VIGILUX_UPDATE_URL");
    if (!fromEnv.isEmpty())
        return QUrl(QString::fromLocal8Bit(fromEnv));
    return QUrl(QStringLiteral("http://www.vigilux.ru"));
}

QUrl UpdateChecker::endpointFor(const QStringList& arguments) {
    const QString option = QStringLiteral("--update-url");
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == option && i + 1 < arguments.size())
            return QUrl(arguments.at(i + 1));
        if (a.startsWith(option + QLatin1Char('=')))
            return QUrl(a.mid(option.size() + 1));
    }
    return defaultEndpoint();
}

UpdateChecker::UpdateChecker(LastCheckStore& store, platform::Clock& clock,
                             platform::Dialogs& dialogs, platform::UrlOpener& opener,
                             const QString& folder, const QUrl& endpoint, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(clock)
    , m_dialogs(dialogs)
    , m_opener(opener)
    , m_versionFile(QDir(folder).filePath(versionFileName()))
    , m_endpoint(endpoint)
    , m_net(new QNetworkAccessManager(this)) {
    m_delayTimer.setInterval(StartDelayMs);
    m_delayTimer.setSingleShot(true);
    connect(&m_delayTimer, &QTimer::timeout, this, &UpdateChecker::checkInBackground);

    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        if (m_reply) {
            m_failed = true;
            m_reply->abort();
        }
    });
}

UpdateChecker::~UpdateChecker() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

QUrl UpdateChecker::requestUrl(const QString& rnd) const {
    QUrl url = m_endpoint;
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path + endpointPath());
    url.setQuery(QStringLiteral("rnd=") + rnd);
    return url;
}

QString UpdateChecker::rndValue(int seconds) {
    std::minstd_rand gen(static_cast<std::minstd_rand::result_type>(seconds));
    const double value = static_cast<double>(gen() - std::minstd_rand::min()) /
                         static_cast<double>(std::minstd_rand::max() - std::minstd_rand::min() + 1);
    return QString::number(value, 'f', 7).mid(2);
}

QDate UpdateChecker::parseStoredDate(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    const QLocale locale;
    QDate d = locale.toDate(t, QLocale::ShortFormat);
    if (d.isValid()) {
        if (!locale.dateFormat(QLocale::ShortFormat).contains(QStringLiteral("yyyy")) &&
            d.year() < 2000)
            d = d.addYears(100);
        return d;
    }
    d = QDate::fromString(t, Qt::ISODate);
    if (d.isValid())
        return d;
    return QDate::fromString(t, QStringLiteral("dd.MM.yyyy"));
}

void UpdateChecker::checkInBackground() {
    m_delayTimer.stop();
    if (m_busy)
        return;
    const QDate last = parseStoredDate(m_store.readLastCheck());
    const QDate today = m_clock.now().date();
    // A date in the future also holds the check off, until seven days after it.
    if (last.isValid() && last.daysTo(today) < CheckEveryDays)
        return;
    start(Run::Automatic);
}

void UpdateChecker::checkNow() {
    if (m_busy)
        return;
    start(Run::Manual);
}

void UpdateChecker::report(const QString& text) {
    if (m_run == Run::Automatic)
        emit statusText(text);
    else
        emit aboutCaption(text);
}

void UpdateChecker::start(Run run) {
    m_busy = true;
    m_run = run;
    if (run == Run::Automatic) {
        emit statusText(QStringLiteral("Подождите, идет проверка обновления..."));
        emit repaintMain();
        // Before the download, so that a failed check counts too.
        m_store.writeLastCheck(m_clock.now().date());
    } else {
        emit aboutCaption(QStringLiteral("Проверка обновления..."));
        emit repaintAbout();
    }

    const QString rnd = rndValue(m_clock.now().time().second());
    removeVersionFile();

    m_body.clear();
    m_failed = false;
    QNetworkRequest request(requestUrl(rnd));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setMaximumRedirectsAllowed(5);
    // Redirects are followed only within the update site: an answer from
    // elsewhere is not ours to show.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    m_reply = m_net->get(request);
    connect(m_reply, &QNetworkReply::redirected, this, [this](const QUrl& target) {
        if (!m_reply)
            return;
        if (isSameSite(m_endpoint, target)) {
            emit m_reply->redirectAllowed();
        } else {
            m_failed = true;
            m_reply->abort();
        }
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateChecker::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateChecker::onFinished);
    m_deadline.start(m_timeoutMs);
}

void UpdateChecker::onReadyRead() {
    if (!m_reply || m_failed)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > MaxResponseBytes) {
        // Not a version file; do not keep reading it.
        m_failed = true;
        m_reply->abort();
    }
}

void UpdateChecker::onFinished() {
    m_deadline.stop();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    reply->deleteLater();
    if (!m_failed) {
        m_body += reply->readAll();
        if (m_body.size() > MaxResponseBytes)
            m_failed = true;
    }
    const bool ok = !m_failed && reply->error() == QNetworkReply::NoError;
    bool written = false;
    if (ok) {
        QFile file(m_versionFile);
        written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  file.write(m_body) == m_body.size();
        file.close();
    }
    m_body.clear();
    evaluate(written);
}

void UpdateChecker::evaluate(bool downloaded) {
    const bool automatic = m_run == Run::Automatic;
    QFile file(m_versionFile);
    if (!downloaded || !file.exists()) {
        report(kNetworkError);
        if (automatic)
            removeVersionFile();
        end();
        return;
    }
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly))
        bytes = file.read(MaxResponseBytes + 1);
    file.close();

    const QStringList lines = core::Cp1251::decode(bytes).split(QStringLiteral("\r\n"));
    if (lines.first() != marker()) {
        report(kCheckError);
        if (automatic)
            removeVersionFile();
        end();
        return;
    }
    // The marker without a version is no answer either, nor a version that
    // would spill over several lines or off the screen.
    if (lines.size() < 2 || !isShowableVersion(lines.at(1))) {
        report(kCheckError);
    } else if (lines.at(1) == builtInVersion()) {
        report(QStringLiteral("Ваша версия самая новая"));
    } else {
        report(QStringLiteral("Найдена версия ") + lines.at(1));
        offerNewVersion(lines.at(1), lines.size() >= 3 ? lines.at(2) : QString());
    }
    removeVersionFile();
    end();
}

void UpdateChecker::offerNewVersion(const QString& version, const QString& page) {
    const auto answer =
        m_dialogs.message(Dialogs::Icon::Question, QStringLiteral("Новая версия"),
                          QStringLiteral("Найдена более новая версия: ") + version +
                              QStringLiteral("\n\nОткрыть страницу скачивания программы?"),
                          Dialogs::Buttons::YesNo);
    if (answer != Dialogs::Answer::Yes)
        return;
    // The address comes from the network: only a web page goes to the
    // system's opener, never a file, a program or another scheme.
    const QUrl url(page, QUrl::StrictMode);
    if (!isWebPage(url)) {
        m_dialogs.message(Dialogs::Icon::Error, QStringLiteral("Ошибка"),
                          QStringLiteral("Сервер обновлений не указал верный адрес страницы "
                                         "скачивания."));
        return;
    }
    if (!m_opener.open(url)) {
        m_dialogs.message(Dialogs::Icon::Error, QStringLiteral("Ошибка"),
                          QStringLiteral("Не удалось открыть страницу скачивания: ") +
                              url.toString());
    }
}

void UpdateChecker::removeVersionFile() const {
    if (QFile::exists(m_versionFile))
        QFile::remove(m_versionFile);
}

void UpdateChecker::end() {
    m_busy = false;
    emit finished();
}

} // namespace vigilux::app
