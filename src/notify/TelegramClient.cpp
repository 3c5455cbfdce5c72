#include "notify/TelegramClient.h"

#include "notify/AttachmentType.h"

#include <QFile>
#include <QFileInfo>
#include <QHttpMultiPart>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrl>

namespace vigilux::notify {

namespace {

QUrl methodUrl(const TelegramClient::Target& target, const QString& method) {
    QString base = target.apiBase.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return QUrl(base + QStringLiteral("/bot") + target.token.trimmed() + QLatin1Char('/') + method);
}

QHttpPart textPart(const QByteArray& name, const QString& value) {
    QHttpPart part;
    const QByteArray disposition = QByteArray("form-data; name=\"") + name + '"';
    part.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
    part.setBody(value.toUtf8());
    return part;
}

// A file name for the form's header: quotes, backslashes and line breaks
// would end the header value early.
QByteArray headerFileName(const QString& path) {
    QByteArray name = QFileInfo(path).fileName().toUtf8();
    for (char& c : name) {
        if (c == '"' || c == '\\' || c == '\r' || c == '\n')
            c = '_';
    }
    return name;
}

QString networkErrorText(QNetworkReply::NetworkError error) {
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("сервер отказал в соединении");
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("сервер не найден");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("сервер закрыл соединение");
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
        return QStringLiteral("истекло время ожидания ответа");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("не удалось установить защищенное соединение");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        return QStringLiteral("сеть недоступна");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("ошибка прокси-сервера");
    default:
        return QStringLiteral("ошибка сети (код %1)").arg(static_cast<int>(error));
    }
}

const QString Prefix = QStringLiteral("Telegram: ");

} // namespace

QString TelegramClient::defaultApiBase() {
    return QStringLiteral("https://api.telegram.org");
}

TelegramClient::TelegramClient(QObject* parent)
    : QObject(parent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &TelegramClient::onDeadline);
}

TelegramClient::~TelegramClient() {
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        delete m_reply.data();
    }
}

QString TelegramClient::checkTarget(const Target& target) {
    static const QRegularExpression tokenForm(QStringLiteral("^[0-9]{1,20}:[A-Za-z0-9_-]{1,200}$"));
    if (target.token.trimmed().isEmpty())
        return QStringLiteral("не указан токен бота");
    if (!tokenForm.match(target.token.trimmed()).hasMatch())
        return QStringLiteral("токен бота имеет неверный вид");
    const QString chat = target.chatId.trimmed();
    if (chat.isEmpty())
        return QStringLiteral("не указан чат");
    static const QRegularExpression chatForm(
        QStringLiteral("^(-?[0-9]{1,20}|@[A-Za-z0-9_]{1,64})$"));
    if (!chatForm.match(chat).hasMatch())
        return QStringLiteral("чат указан неверно (нужен номер или @имя канала)");
    const QUrl url = methodUrl(target, QStringLiteral("getMe"));
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("https") && url.scheme() != QLatin1String("http")))
        return QStringLiteral("неверный адрес сервера Bot API");
    return {};
}

bool TelegramClient::begin(const Target& target) {
    if (m_busy)
        return false;
    m_busy = true;
    m_timedOut = false;
    m_tooLong = false;
    m_token = target.token.trimmed();
    const QString problem = checkTarget(target);
    if (!problem.isEmpty()) {
        finishLater(NotifyResult::failure(Prefix + problem));
        return false;
    }
    return true;
}

void TelegramClient::sendMessage(const Target& target, const QString& text) {
    if (m_busy || !begin(target))
        return;
    QJsonObject body;
    body.insert(QStringLiteral("chat_id"), target.chatId.trimmed());
    body.insert(QStringLiteral("text"), text);
    QNetworkRequest request;
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    start(target, QStringLiteral("sendMessage"), request, nullptr,
          QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void TelegramClient::sendPhoto(const Target& target, const QString& caption, const QString& path) {
    const QByteArray type = AttachmentType::of(path);
    if (type == "image/jpeg" || type == "image/png")
        sendFile(target, QStringLiteral("sendPhoto"), QStringLiteral("photo"), caption, path,
                 MaxPhotoBytes);
    else
        sendFile(target, QStringLiteral("sendDocument"), QStringLiteral("document"), caption, path,
                 MaxUploadBytes);
}

void TelegramClient::sendVideo(const Target& target, const QString& caption, const QString& path) {
    sendFile(target, QStringLiteral("sendVideo"), QStringLiteral("video"), caption, path,
             MaxUploadBytes);
}

void TelegramClient::sendFile(const Target& target, const QString& method, const QString& field,
                              const QString& caption, const QString& path, qint64 limit) {
    if (m_busy || !begin(target))
        return;
    auto* file = new QFile(path);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        finishLater(NotifyResult::failure(Prefix + QStringLiteral("не удалось открыть файл ") +
                                              QFileInfo(path).fileName(),
                                          true));
        return;
    }
    if (file->size() > limit) {
        delete file;
        finishLater(NotifyResult::failure(Prefix + QStringLiteral("файл %1 больше %2 МБ")
                                                       .arg(QFileInfo(path).fileName())
                                                       .arg(limit / (1024 * 1024)),
                                          true));
        return;
    }
    auto* form = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    form->append(textPart("chat_id", target.chatId.trimmed()));
    if (!caption.isEmpty())
        form->append(textPart("caption", caption));
    QHttpPart filePart;
    const QByteArray disposition = QByteArray("form-data; name=\"") + field.toLatin1() +
                                   "\"; filename=\"" + headerFileName(path) + '"';
    filePart.setHeader(QNetworkRequest::ContentDispositionHeader, disposition);
    filePart.setHeader(QNetworkRequest::ContentTypeHeader, AttachmentType::of(path));
    filePart.setBodyDevice(file);
    file->setParent(form);
    form->append(filePart);
    start(target, method, QNetworkRequest(), form, {});
}

void TelegramClient::start(const Target& target, const QString& method, QNetworkRequest request,
                           QHttpMultiPart* form, const QByteArray& body) {
    request.setUrl(methodUrl(target, method));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_bounds.idleMs);
    QNetworkReply* reply = form ? m_network.post(request, form) : m_network.post(request, body);
    if (form)
        form->setParent(reply);
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply == m_reply && reply->bytesAvailable() > MaxAnswerBytes) {
            m_tooLong = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, &TelegramClient::onFinished);
    m_deadline.start(m_bounds.totalMs);
}

void TelegramClient::onDeadline() {
    if (!m_reply)
        return;
    m_timedOut = true;
    m_reply->abort();
}

void TelegramClient::onFinished() {
    QNetworkReply* reply = m_reply.data();
    if (!reply || sender() != reply)
        return;
    m_deadline.stop();
    m_reply.clear();
    reply->deleteLater();
    NotifyResult result;
    if (m_timedOut)
        result = NotifyResult::failure(Prefix + QStringLiteral("истекло время ожидания ответа"));
    else if (m_tooLong)
        result = NotifyResult::failure(Prefix + QStringLiteral("слишком длинный ответ сервера"));
    else
        result = readAnswer(*reply);
    finish(result);
}

NotifyResult TelegramClient::readAnswer(QNetworkReply& reply) const {
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!status.isValid())
        return NotifyResult::failure(Prefix + networkErrorText(reply.error()));

    const int code = status.toInt();
    const QJsonObject answer = QJsonDocument::fromJson(reply.readAll()).object();
    if (code == 200 && answer.value(QStringLiteral("ok")).toBool())
        return NotifyResult::success();

    const int apiCode = answer.value(QStringLiteral("error_code")).toInt(code);
    QString text = Prefix + QStringLiteral("ошибка %1").arg(apiCode);
    // The API's own description says what was wrong (in English); cut it so
    // a misbehaving server cannot flood the status line.
    const QString description = answer.value(QStringLiteral("description")).toString().left(200);
    if (!description.isEmpty())
        text += QStringLiteral(" (") + description + QLatin1Char(')');
    else if (answer.isEmpty())
        text += QStringLiteral(" (ответ не от Bot API)");
    NotifyResult result = NotifyResult::failure(text);
    if (apiCode == 429) {
        const qint64 seconds = answer.value(QStringLiteral("parameters"))
                                   .toObject()
                                   .value(QStringLiteral("retry_after"))
                                   .toInteger(0);
        // Bounded by a day: past that the queue gives the message up anyway.
        if (seconds > 0)
            result.retryAfterMs = std::min<qint64>(seconds, 24 * 60 * 60) * 1000;
    }
    return result;
}

void TelegramClient::finishLater(const NotifyResult& result) {
    QTimer::singleShot(0, this, [this, result] { finish(result); });
}

void TelegramClient::finish(NotifyResult result) {
    m_busy = false;
    // A server standing in for the API might echo the request path.
    if (!m_token.isEmpty())
        result.error.replace(m_token, QStringLiteral("***"));
    m_token.clear();
    emit finished(result);
}

} // namespace vigilux::notify
