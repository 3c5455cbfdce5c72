#include "net/SmsClient.h"

#include "net/SocketErrorCode.h"
#include "platform/Cp1251.h"

namespace vigilux::net {

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
    m_T.setInterval(TInterval);
    m_T.setSingleShot(true);
    m_TT.setInterval(TTInterval);
    m_deadline.setSingleShot(true);

    connect(&m_T, &QTimer::timeout, this, &SmsClient::onT);
    connect(&m_TT, &QTimer::timeout, this, &SmsClient::onTT);
    connect(&m_deadline, &QTimer::timeout, this, &SmsClient::onDeadline);
    connect(&m_WS, &QTcpSocket::connected, this, &SmsClient::onConnected);
    connect(&m_WS, &QTcpSocket::readyRead, this, &SmsClient::onReadyRead);
    connect(&m_WS, &QTcpSocket::disconnected, this, &SmsClient::onDisconnected);
    connect(&m_WS, &QTcpSocket::errorOccurred, this, &SmsClient::onError);
}

SmsClient::~SmsClient() {
    // No signals from the socket while the object is half destroyed.
    m_inFlight = false;
    m_WS.disconnect(this);
    m_WS.abort();
}

bool SmsClient::refuseLineBreaks(std::initializer_list<const QString*> values) {
    for (const QString* v : values) {
        if (v->contains(QLatin1Char('\r')) || v->contains(QLatin1Char('\n'))) {
            // A line break would end the request line and let the value
            // write header lines of its own.
            emit Err(QStringLiteral("Запрос не отправлен: перевод строки в параметрах запроса"));
            return true;
        }
    }
    return false;
}

void SmsClient::SendSMS(const QString& Number, const QString& Text, const QString& ID) {
    if (m_Mode != 0)
        return;
    if (refuseLineBreaks({&Number, &Text, &ID}))
        return;
    startRequest(1, QStringLiteral("/sms/send?api_id=") + ID + QStringLiteral("&to=") + Number +
                        QStringLiteral("&text=") + Text + QStringLiteral("&test=1"));
}

void SmsClient::GetBalance(const QString& ID) {
    if (m_Mode != 0)
        return;
    if (refuseLineBreaks({&ID}))
        return;
    startRequest(2, QStringLiteral("/my/balance?api_id=") + ID);
}

void SmsClient::GetCost(const QString& Tel) {
    if (refuseLineBreaks({&Tel}))
        return;
    // Taking over Mode and RequestPath of a request already on the wire
    // would read its answer as a cost; drop that connection instead.
    abortRunning();
    startRequest(3, QStringLiteral("/cost.php?tel=") + Tel);
}

void SmsClient::startRequest(qint16 mode, const QString& path) {
    m_Mode = mode;
    m_RequestPath = path;
    m_T.start();
}

void SmsClient::abortRunning() {
    if (!m_inFlight)
        return;
    m_inFlight = false;
    m_deadline.stop();
    m_WS.abort();
}

QString SmsClient::requestText(const QString& path, const QString& host) {
    return QStringLiteral("GET ") + path + QStringLiteral(" HTTP/1.0") + kCrLf +
           QStringLiteral("User-Agent: ") + userAgent() + kCrLf +
           QStringLiteral("Accept: text/html") + kCrLf +
           QStringLiteral("Accept-Encoding: identity") + kCrLf +
           QStringLiteral("Accept-Language: ru-RU,ru") + kCrLf + QStringLiteral("Host: ") + host +
           kCrLf + QStringLiteral("Connection: Close") + kCrLf + kCrLf;
}

void SmsClient::onT() {
    m_T.stop();
    m_TT.start();
    abortRunning();
    m_Response.clear();
    m_receivedBytes = 0;
    m_inFlight = true;
    m_deadline.start(m_timeoutMs);
    m_WS.connectToHost(m_gatewayHost, m_gatewayPort);
}

void SmsClient::onConnected() {
    if (!m_inFlight)
        return;
    m_Response.clear();
    m_WS.write(platform::Cp1251::encode(requestText(m_RequestPath, m_gatewayHost)));
}

void SmsClient::onReadyRead() {
    if (!m_inFlight) {
        m_WS.readAll();
        return;
    }
    const QByteArray chunk = m_WS.readAll();
    m_receivedBytes += chunk.size();
    if (m_receivedBytes > MaxResponseBytes) {
        m_inFlight = false;
        m_deadline.stop();
        m_WS.abort();
        m_TT.stop();
        m_Mode = 0;
        emit Err(QStringLiteral("Неизвестный ответ от ") + relayHostName());
        return;
    }
    m_Response += platform::Cp1251::decode(chunk);
}

void SmsClient::onDisconnected() {
    if (!m_inFlight)
        return;
    // Bytes that came with the close.
    if (m_WS.bytesAvailable() > 0)
        onReadyRead();
    if (!m_inFlight)
        return;
    m_inFlight = false;
    m_deadline.stop();
    m_WS.close();
    m_TT.stop();

    const qsizetype headerEnd = m_Response.indexOf(QStringLiteral("\r\n\r\n"));
    if (headerEnd < 0 || !m_Response.contains(QStringLiteral("OK"))) {
        // Mode is cleared before the event so that a handler may start the
        // next request.
        m_Mode = 0;
        emit Err(QStringLiteral("Неизвестный ответ от ") + relayHostName());
        return;
    }
    m_Response = m_Response.mid(headerEnd + 4);
    const qint16 mode = m_Mode;
    m_Mode = 0;
    showState(4);
    if (mode == 3)
        emit Cost(m_Response);
    else if (mode == 2)
        emit Balance(m_Response);
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
    m_Mode = 0;
    m_WS.abort();
    m_TT.stop();
    showState(4);
    emit Err(QStringLiteral("Ошибка соединения #") + QString::number(number));
}

void SmsClient::onTT() {
    const bool wasOn = m_BlinkOn;
    m_BlinkOn = !m_BlinkOn;
    showState(wasOn ? 1 : 2);
}

void SmsClient::showState(int state) {
    m_State = state;
    emit StateChanged(state);
}

int SmsClient::errorNumber(QAbstractSocket::SocketError error) {
    return SocketErrorCode::number(error);
}

} // namespace vigilux::net
