#include "notify/MailClient.h"

#include "notify/AttachmentType.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <curl/curl.h>

#include <string>
#include <vector>

namespace vigilux::notify {

namespace {

const QString Prefix = QStringLiteral("E-mail: ");

// Everything the worker needs, copied out of Qt types before it starts so
// the worker touches nothing the UI thread owns.
struct Job {
    std::string url;
    bool requireTls = false;
    std::string login;
    std::string password;
    std::string envelopeFrom;
    std::vector<std::string> envelopeTo;
    std::vector<std::string> headers;
    std::string text;
    std::vector<std::pair<std::string, std::string>> files; // path, type
    QByteArray authorities;                                 // PEM; empty: curl's own
    long connectMs = 0;
    long totalMs = 0;
};

struct Outcome {
    CURLcode code = CURLE_OK;
    long smtpCode = 0;
    std::string detail;
};

// RAII holders for the curl handles, so every early return releases them.
struct Easy {
    CURL* handle = curl_easy_init();
    ~Easy() {
        if (handle)
            curl_easy_cleanup(handle);
    }
};
struct List {
    curl_slist* head = nullptr;
    void add(const std::string& line) {
        if (curl_slist* grown = curl_slist_append(head, line.c_str()))
            head = grown;
    }
    ~List() { curl_slist_free_all(head); }
};
struct Mime {
    curl_mime* handle = nullptr;
    ~Mime() { curl_mime_free(handle); }
};

int onProgress(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<std::atomic_bool*>(cancel)->load() ? 1 : 0;
}

Outcome run(const Job& job, std::atomic_bool& cancel) {
    Outcome outcome;
    Easy easy;
    if (!easy.handle) {
        outcome.code = CURLE_FAILED_INIT;
        return outcome;
    }
    CURL* c = easy.handle;
    char errors[CURL_ERROR_SIZE] = {};
    List recipients;
    for (const std::string& to : job.envelopeTo)
        recipients.add(to);
    List headers;
    for (const std::string& h : job.headers)
        headers.add(h);

    Mime mime;
    mime.handle = curl_mime_init(c);
    curl_mimepart* textPart = curl_mime_addpart(mime.handle);
    curl_mime_data(textPart, job.text.c_str(), CURL_ZERO_TERMINATED);
    curl_mime_type(textPart, "text/plain; charset=utf-8");
    curl_mime_encoder(textPart, "quoted-printable");
    for (const auto& [path, type] : job.files) {
        curl_mimepart* part = curl_mime_addpart(mime.handle);
        curl_mime_filedata(part, path.c_str());
        curl_mime_type(part, type.c_str());
        curl_mime_encoder(part, "base64");
    }

    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errors);
    curl_easy_setopt(c, CURLOPT_URL, job.url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, job.connectMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, job.totalMs);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (job.requireTls)
        curl_easy_setopt(c, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    curl_blob blob{};
    if (!job.authorities.isEmpty()) {
        blob.data = const_cast<char*>(job.authorities.constData());
        blob.len = static_cast<size_t>(job.authorities.size());
        blob.flags = CURL_BLOB_NOCOPY;
        curl_easy_setopt(c, CURLOPT_CAINFO_BLOB, &blob);
    }
    if (!job.login.empty()) {
        curl_easy_setopt(c, CURLOPT_USERNAME, job.login.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, job.password.c_str());
    }
    curl_easy_setopt(c, CURLOPT_MAIL_FROM, job.envelopeFrom.c_str());
    curl_easy_setopt(c, CURLOPT_MAIL_RCPT, recipients.head);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.head);
    curl_easy_setopt(c, CURLOPT_MIMEPOST, mime.handle);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &cancel);

    outcome.code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &outcome.smtpCode);
    outcome.detail = errors;
    return outcome;
}

QString curlText(CURLcode code) {
    switch (code) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return QStringLiteral("сервер не найден");
    case CURLE_COULDNT_CONNECT:
        return QStringLiteral("не удалось подключиться к серверу");
    case CURLE_OPERATION_TIMEDOUT:
        return QStringLiteral("истекло время ожидания");
    case CURLE_LOGIN_DENIED:
        return QStringLiteral("сервер не принял логин или пароль");
    case CURLE_USE_SSL_FAILED:
        return QStringLiteral("сервер не поддерживает STARTTLS");
    case CURLE_PEER_FAILED_VERIFICATION:
        return QStringLiteral("сертификат сервера не прошел проверку");
    case CURLE_SSL_CONNECT_ERROR:
        return QStringLiteral("не удалось установить защищенное соединение");
    case CURLE_SSL_CACERT_BADFILE:
        return QStringLiteral("не удалось прочитать сертификаты");
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
        return QStringLiteral("соединение прервано");
    case CURLE_READ_ERROR:
        return QStringLiteral("не удалось прочитать вложение");
    case CURLE_ABORTED_BY_CALLBACK:
        return QStringLiteral("отправка прервана");
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
        return QStringLiteral("неожиданный ответ сервера");
    default:
        return QStringLiteral("ошибка отправки (код %1)").arg(static_cast<int>(code));
    }
}

// A header value in RFC 2047 words when it is not plain ASCII; each word
// carries whole characters and stays within the 75-character limit.
std::string encodedHeader(const QString& value) {
    bool ascii = true;
    for (QChar ch : value)
        ascii = ascii && ch.unicode() >= 0x20 && ch.unicode() < 0x7F;
    if (ascii)
        return value.toStdString();
    std::string out;
    QByteArray chunk;
    const auto flush = [&] {
        if (chunk.isEmpty())
            return;
        if (!out.empty())
            out += ' ';
        out += "=?UTF-8?B?" + chunk.toBase64().toStdString() + "?=";
        chunk.clear();
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        qsizetype length = value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        const QByteArray bytes = value.mid(i, length).toUtf8();
        if (chunk.size() + bytes.size() > 45)
            flush();
        chunk += bytes;
        i += length - 1;
    }
    flush();
    return out;
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool plausibleAddress(const QString& address) {
    static const QRegularExpression form(QStringLiteral("^[^\\s<>,;\"@]+@[^\\s<>,;\"@]+$"));
    return form.match(address).hasMatch();
}

QByteArray readAuthorities(const QString& extraFile, QString& problem) {
    QFile extra(extraFile);
    if (!extra.open(QIODevice::ReadOnly) || extra.size() > 4 * 1024 * 1024) {
        problem = QStringLiteral("не удалось прочитать файл сертификата ") +
                  QFileInfo(extraFile).fileName();
        return {};
    }
    const QByteArray own = extra.readAll();
    if (!own.contains("-----BEGIN CERTIFICATE-----")) {
        problem = QStringLiteral("в файле ") + QFileInfo(extraFile).fileName() +
                  QStringLiteral(" нет сертификата (нужен формат PEM)");
        return {};
    }
    // The extra authority is added to the system's, not put in their place.
    QByteArray all;
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    QFile system(info && info->cainfo ? QString::fromLocal8Bit(info->cainfo)
                                      : QStringLiteral("/etc/ssl/certs/ca-certificates.crt"));
    if (system.open(QIODevice::ReadOnly))
        all = system.readAll() + '\n';
    return all + own;
}

} // namespace

MailClient::MailClient(QObject* parent)
    : QObject(parent) {
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

MailClient::~MailClient() {
    if (m_cancel)
        m_cancel->store(true);
    join();
    curl_global_cleanup();
}

void MailClient::join() {
    if (m_worker.joinable())
        m_worker.join();
}

int MailClient::defaultPort(Security security) {
    switch (security) {
    case Security::None:
        return 25;
    case Security::StartTls:
        return 587;
    case Security::Tls:
        return 465;
    }
    return 25;
}

QStringList MailClient::splitAddresses(const QString& list) {
    static const QRegularExpression separators(QStringLiteral("[,;\\s]+"));
    return list.split(separators, Qt::SkipEmptyParts);
}

QString MailClient::check(const Server& server, const Message& message) {
    static const QRegularExpression hostForm(QStringLiteral("^[A-Za-z0-9.:_-]+$"));
    const QString host = server.host.trimmed();
    if (host.isEmpty())
        return QStringLiteral("не указан сервер SMTP");
    if (!hostForm.match(host).hasMatch())
        return QStringLiteral("адрес сервера SMTP указан неверно");
    if (server.port < 0 || server.port > 65535)
        return QStringLiteral("неверный порт сервера SMTP");
    if (!plausibleAddress(message.from.trimmed()))
        return QStringLiteral("адрес отправителя указан неверно");
    if (message.to.isEmpty())
        return QStringLiteral("не указаны получатели");
    for (const QString& to : message.to) {
        if (!plausibleAddress(to))
            return QStringLiteral("неверный адрес получателя: ") + to.left(100);
    }
    // A line break would let a value write header lines or SMTP commands of
    // its own.
    if (hasLineBreak(message.subject) || hasLineBreak(server.login) ||
        hasLineBreak(server.password))
        return QStringLiteral("перевод строки в теме, логине или пароле");
    return {};
}

void MailClient::send(const Server& server, const Message& message) {
    if (m_busy)
        return;
    m_busy = true;
    join();

    if (const QString problem = check(server, message); !problem.isEmpty()) {
        finishLater(NotifyResult::failure(Prefix + problem));
        return;
    }
    Job job;
    for (const QString& path : message.attachments) {
        if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
            finishLater(NotifyResult::failure(
                Prefix + QStringLiteral("нет файла ") + QFileInfo(path).fileName(), true));
            return;
        }
        job.files.emplace_back(QFile::encodeName(path).toStdString(),
                               AttachmentType::of(path).toStdString());
    }
    if (!server.caFile.trimmed().isEmpty()) {
        QString problem;
        job.authorities = readAuthorities(server.caFile.trimmed(), problem);
        if (!problem.isEmpty()) {
            finishLater(NotifyResult::failure(Prefix + problem));
            return;
        }
    }

    QString host = server.host.trimmed();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']');
    const int port = server.port > 0 ? server.port : defaultPort(server.security);
    job.url = (server.security == Security::Tls ? "smtps://" : "smtp://") + host.toStdString() +
              ':' + std::to_string(port);
    job.requireTls = server.security == Security::StartTls;
    job.login = server.login.toStdString();
    job.password = server.password.toStdString();
    const QString from = message.from.trimmed();
    job.envelopeFrom = '<' + from.toStdString() + '>';
    for (const QString& to : message.to)
        job.envelopeTo.push_back('<' + to.toStdString() + '>');
    job.headers.push_back("From: " + from.toStdString());
    job.headers.push_back("To: " + message.to.join(QStringLiteral(", ")).toStdString());
    job.headers.push_back("Subject: " + encodedHeader(message.subject));
    job.headers.push_back("Date: " +
                          QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString());
    const QString domain = from.section(QLatin1Char('@'), 1);
    job.headers.push_back("Message-ID: <" +
                          QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() + '@' +
                          domain.toStdString() + '>');
    job.text = message.text.toStdString();
    job.connectMs = m_bounds.connectMs;
    job.totalMs = m_bounds.totalMs;

    const QString password = server.password;
    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_worker = std::thread([this, job = std::move(job), cancel = m_cancel, password] {
        const Outcome outcome = run(job, *cancel);
        // Delivered through the event loop of this object's thread; if the
        // object goes first, its destructor has waited for us and the posted
        // call is dropped with it.
        QMetaObject::invokeMethod(
            this,
            [this, outcome, password] {
                join();
                if (outcome.code == CURLE_OK) {
                    complete(NotifyResult::success());
                    return;
                }
                QString text = Prefix + curlText(outcome.code);
                if (outcome.smtpCode >= 400)
                    text += QStringLiteral(" (ответ сервера %1)").arg(outcome.smtpCode);
                QString detail = QString::fromLocal8Bit(outcome.detail.c_str()).trimmed();
                if (!password.isEmpty())
                    detail.replace(password, QStringLiteral("***"));
                if (!detail.isEmpty())
                    text += QStringLiteral(": ") + detail.left(200);
                complete(NotifyResult::failure(text));
            },
            Qt::QueuedConnection);
    });
}

void MailClient::finishLater(NotifyResult result) {
    QMetaObject::invokeMethod(
        this, [this, result] { complete(result); }, Qt::QueuedConnection);
}

void MailClient::complete(const NotifyResult& result) {
    m_busy = false;
    emit finished(result);
}

} // namespace vigilux::notify
