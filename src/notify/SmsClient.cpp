#include "notify/SmsClient.h"

#include "core/Cp1251.h"
#include "core/SocketErrorCode.h"

namespace vigilux::notify {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

QString SmsClient::defaultGatewayHost() {
    return QStringLiteral("sms.vigilux.ru");
}

QString SmsClient::relayHostName() {
    return QStringLiteral("relay.vigilux.ru");
}

QString SmsClient::userAgent() {
    return QStringLiteral("Vigilux (Vigilux webcam watcher; http://www.vigilux.ru)");
}

SmsClient::SmsClient(QObject* parent)
    : QObject(parent)
    , m_gatewayHost(defaultGatewayHost()) {
    m_delayTimer.setInterval(StartDelayMs);
    m_delayTimer.setSingleShot(true);
    m_blinkTimer.setInterval(BlinkIntervalMs);
    m_deadline.setSingleShot(true);

    connect(&m_delayTimer, &QTimer::timeout, this, &SmsClient::onDelayTick);
    connect(&m_blinkTimer, &QTimer::timeout, this, &SmsClient::onBlinkTick);
    connect(&m_deadline, &QTimer::timeout, this, &SmsClient::onDeadline);
    connect(&m_socket, &QTcpSocket::connected, this, &SmsClient::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &SmsClient::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &SmsClient::onDisconnected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &SmsClient::onError);
}

SmsClient::~SmsClient() {
    // No signals from the socket while the object is half destroyed.
    m_inFlight = false;
    m_socket.disconnect(this);
    m_socket.abort();
}

bool SmsClient::refuseLineBreaks(std::initializer_list<const QString*> values) {
    for (const QString* v : values) {
        if (v->contains(QLatin1Char('\r')) || v->contains(QLatin1Char('\n'))) {
            // A line break would end the request line and let the value
            // write header lines of its own.
            showState(State::Failed);
            emit failed(QStringLiteral("Запрос не отправлен: перевод строки в параметрах запроса"));
            return true;
        }
    }
    return false;
}

void SmsClient::sendSms(const QString& number, const QString& text, const QString& key) {
    if (m_mode != 0)
        return;
    if (refuseLineBreaks({&number, &text, &key}))
        return;
    startRequest(1, QStringLiteral("/sms/send?api_id=") + queryValue(key) + QStringLiteral("&to=") +
                        queryValue(number) + QStringLiteral("&text=") + queryValue(text) +
                        QStringLiteral("&test=1"));
}

void SmsClient::requestBalance(const QString& key) {
    if (m_mode != 0)
        return;
    if (refuseLineBreaks({&key}))
        return;
    startRequest(2, QStringLiteral("/my/balance?api_id=") + queryValue(key));
}

void SmsClient::requestCost(const QString& phone) {
    if (refuseLineBreaks({&phone}))
        return;
    // Taking over the mode and path of a request already on the wire
    // would read its answer as a cost; drop that connection instead.
    abortRunning();
    startRequest(3, QStringLiteral("/cost.php?tel=") + queryValue(phone));
}

QString SmsClient::queryValue(const QString& value) {
    static const QString special = QStringLiteral("&=#%+? ");
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7F || special.contains(c))
            out += QStringLiteral("%%1").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            out += c;
    }
    return out;
}

void SmsClient::startRequest(qint16 mode, const QString& path) {
    m_mode = mode;
    m_requestPath = path;
    m_delayTimer.start();
}

void SmsClient::abortRunning() {
    if (!m_inFlight)
        return;
    m_inFlight = false;
    m_deadline.stop();
    m_socket.abort();
}

QString SmsClient::requestText(const QString& path, const QString& host) {
    return QStringLiteral("GET ") + path + QStringLiteral(" HTTP/1.0") + kCrLf +
           QStringLiteral("User-Agent: ") + userAgent() + kCrLf +
           QStringLiteral("Accept: text/html") + kCrLf +
           QStringLiteral("Accept-Encoding: identity") + kCrLf +
           QStringLiteral("Accept-Language: ru-RU,ru") + kCrLf + QStringLiteral("Host: ") + host +
           kCrLf + QStringLiteral("Connection: Close") + kCrLf + kCrLf;
}

void SmsClient::onDelayTick() {
    m_delayTimer.stop();
    m_blinkTimer.start();
    abortRunning();
    m_response.clear();
    m_receivedBytes = 0;
    m_inFlight = true;
    m_deadline.start(m_timeoutMs);
    m_socket.connectToHost(m_gatewayHost, m_gatewayPort);
}

void SmsClient::onConnected() {
    if (!m_inFlight)
        return;
    m_response.clear();
    m_socket.write(core::Cp1251::encode(requestText(m_requestPath, m_gatewayHost)));
}

void SmsClient::onReadyRead() {
    if (!m_inFlight) {
        m_socket.readAll();
        return;
    }
    const QByteArray chunk = m_socket.readAll();
    m_receivedBytes += chunk.size();
    if (m_receivedBytes > MaxResponseBytes) {
        m_inFlight = false;
        m_deadline.stop();
        m_socket.abort();
        m_blinkTimer.stop();
        m_mode = 0;
        showState(State::Failed);
        emit failed(QStringLiteral("Неизвестный ответ от ") + relayHostName());
        return;
    }
    m_response += core::Cp1251::decode(chunk);
}

void SmsClient::onDisconnected() {
    if (!m_inFlight)
        return;
    // Bytes that came with the close.
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    if (!m_inFlight)
        return;
    m_inFlight = false;
    m_deadline.stop();
    m_socket.close();
    m_blinkTimer.stop();

    const qsizetype headerEnd = m_response.indexOf(QStringLiteral("\r\n\r\n"));
    if (headerEnd < 0 || !m_response.contains(QStringLiteral("OK"))) {
        // The mode is cleared before the signal so that a handler may start
        // the next request.
        m_mode = 0;
        showState(State::Failed);
        emit failed(QStringLiteral("Неизвестный ответ от ") + relayHostName());
        return;
    }
    m_response = m_response.mid(headerEnd + 4);
    const qint16 mode = m_mode;
    m_mode = 0;
    showState(State::Done);
    if (mode == 3)
        emit cost(m_response);
    else if (mode == 2)
        emit balance(m_response);
}

void SmsClient::onError(QAbstractSocket::SocketError error) {
    // The server closing the connection is the normal end of an answer;
    // disconnected() follows.
    if (!m_inFlight || error == QAbstractSocket::RemoteHostClosedError)
        return;
    fail(errorNumber(error));
}

void SmsClient::onDeadline() {
    if (!m_inFlight)
        return;
    fail(errorNumber(QAbstractSocket::SocketTimeoutError));
}

void SmsClient::fail(int number) {
    m_inFlight = false;
    m_deadline.stop();
    m_mode = 0;
    m_socket.abort();
    m_blinkTimer.stop();
    showState(State::Failed);
    emit failed(QStringLiteral("Ошибка соединения #") + QString::number(number));
}

void SmsClient::onBlinkTick() {
    const bool wasOn = m_blinkOn;
    m_blinkOn = !m_blinkOn;
    showState(wasOn ? State::Queued : State::Working);
}

void SmsClient::showState(State state) {
    m_state = state;
    emit stateChanged(state);
}

int SmsClient::errorNumber(QAbstractSocket::SocketError error) {
    return core::SocketErrorCode::number(error);
}

} // namespace vigilux::notify
