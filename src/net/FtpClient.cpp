#include "net/FtpClient.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <type_traits>

namespace vigilux::net {

namespace {

QString seconds(int ms) {
    return QString::number(ms / 1000.0);
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

QByteArray withoutLineBreak(QByteArray reply) {
    while (reply.endsWith('\n') || reply.endsWith('\r'))
        reply.chop(1);
    return reply;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Closes a socket of a finished job and drops it later: it may be the very
// object whose signal is being handled right now.
template <typename Socket>
void discard(QPointer<Socket>& socket, QObject* receiver) {
    if (socket.isNull())
        return;
    QObject::disconnect(socket, nullptr, receiver, nullptr);
    if constexpr (std::is_same_v<Socket, QTcpServer>)
        socket->close();
    else
        socket->abort();
    socket->deleteLater();
    socket.clear();
}

} // namespace

FtpClient::FtpClient(QObject* parent)
    : QObject(parent)
    , m_random([] { return QRandomGenerator::global()->generateDouble(); }) {
    m_T.setSingleShot(true);
    m_T.setInterval(kStartDelayMs);
    connect(&m_T, &QTimer::timeout, this, &FtpClient::startJob);

    m_TT.setInterval(kBlinkMs);
    connect(&m_TT, &QTimer::timeout, this, &FtpClient::blink);

    m_bound.setSingleShot(true);
    connect(&m_bound, &QTimer::timeout, this, &FtpClient::onBoundPassed);
}

FtpClient::~FtpClient() {
    m_jobActive = false;
    tearDown();
}

void FtpClient::setRandomSource(RandomSource source) {
    m_random = std::move(source);
}

void FtpClient::setStartDelayMs(int ms) {
    m_T.setInterval(std::max(0, ms));
}

QString FtpClient::portCommand(const QHostAddress& address, quint16 port) {
    const quint32 ip = address.toIPv4Address();
    return QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
        .arg((ip >> 24) & 0xFF)
        .arg((ip >> 16) & 0xFF)
        .arg((ip >> 8) & 0xFF)
        .arg(ip & 0xFF)
        .arg(port >> 8)
        .arg(port & 0xFF);
}

quint16 FtpClient::drawPort(double first, double second) {
    const int p1 = std::clamp(static_cast<int>(first * 12), 0, 11) + 5;
    const int p2 = std::clamp(static_cast<int>(second * 254), 0, 253) + 1;
    return static_cast<quint16>(p1 * 256 + p2);
}

QString FtpClient::Adress() const {
    return m_username + QLatin1Char('.') + m_site + QLatin1Char('/') + m_remotefile;
}

void FtpClient::Upload(const QString& site, const QString& username, const QString& password,
                 const QString& localfile, const QString& remotefile) {
    if (m_jobActive) {
        // Abandoned without a result: the caller chose to replace it.
        m_jobActive = false;
        tearDown();
        m_TT.stop();
    }
    m_Busy = true;
    setState(Queued);
    m_site = site;
    m_username = username;
    m_password = password;
    m_localfile = localfile;
    m_remotefile = remotefile;
    m_T.start();
}

void FtpClient::startJob() {
    m_T.stop();
    m_Busy = true;
    m_jobActive = true;
    setState(Working);
    m_TT.start();

    m_Steps = {{
        {QStringLiteral("220"), QStringLiteral("USER ") + m_username},
        {QStringLiteral("331"), QStringLiteral("PASS ") + m_password},
        {QStringLiteral("230"), QStringLiteral("TYPE I")},
        {QStringLiteral("200"), QString()}, // PORT, once the local address is known
        {QStringLiteral("200"), QStringLiteral("STOR ") + m_remotefile},
        {QString(), QString()},
    }};
    m_ChunkSize = kChunkSize;
    m_StepIndex = 0;
    m_LastChunk = false;
    m_inbox.clear();
    m_transferAnnounced = false;
    m_sending = false;
    m_dataDone = false;

    // A line break would end the command early and smuggle in another one.
    if (hasLineBreak(m_username)) {
        finish(false, QStringLiteral("Недопустимый символ перевода строки в имени пользователя"));
        return;
    }
    if (hasLineBreak(m_password)) {
        finish(false, QStringLiteral("Недопустимый символ перевода строки в пароле"));
        return;
    }
    if (hasLineBreak(m_remotefile)) {
        finish(false,
               QStringLiteral("Недопустимый символ перевода строки в имени файла на сервере"));
        return;
    }

    // The listener comes first so it is ready whenever the server is; the
    // PORT text needs the control connection's local address and is filled
    // in once that connection is up, long before entry 3 is sent.
    if (!listenOnRandomPort())
        return;

    m_control = new QTcpSocket(this);
    connect(m_control, &QTcpSocket::connected, this, &FtpClient::onControlConnected);
    connect(m_control, &QTcpSocket::readyRead, this, &FtpClient::onControlReadyRead);
    connect(m_control, &QTcpSocket::errorOccurred, this,
            [this, socket = m_control.data()](QAbstractSocket::SocketError error) {
                onSocketError(static_cast<int>(error), socket->errorString());
            });
    arm(Wait::Connect);
    // PORT carries an IPv4 address only, so the control connection is IPv4 too.
    m_control->connectToHost(m_site, m_controlPort, QIODevice::ReadWrite,
                             QAbstractSocket::IPv4Protocol);
}

bool FtpClient::listenOnRandomPort() {
    m_listener = new QTcpServer(this);
    for (int attempt = 0; attempt < kMaxListenAttempts; ++attempt) {
        const double first = m_random();
        const double second = m_random();
        m_listenPort = drawPort(first, second);
        if (m_listener->listen(QHostAddress::AnyIPv4, m_listenPort)) {
            connect(m_listener, &QTcpServer::newConnection, this, &FtpClient::onDataConnection);
            return true;
        }
        if (m_listener->serverError() != QAbstractSocket::AddressInUseError)
            break;
    }
    finish(false, QStringLiteral("Ошибка сокета #") +
                      QString::number(static_cast<int>(m_listener->serverError())) +
                      QStringLiteral(" (") + m_listener->errorString() + QLatin1Char(')'));
    return false;
}

void FtpClient::onControlConnected() {
    m_Steps[3].command = portCommand(m_control->localAddress(), m_listenPort);
    m_file.setFileName(m_localfile);
    if (!m_file.open(QIODevice::ReadOnly)) {
        finish(false, QStringLiteral("Не удалось открыть файл ") + m_localfile +
                          QStringLiteral(" (") + m_file.errorString() + QLatin1Char(')'));
        return;
    }
    arm(Wait::Reply); // the greeting
}

void FtpClient::onControlReadyRead() {
    if (!m_jobActive)
        return;
    m_inbox += m_control->readAll();
    QByteArray reply;
    while (m_jobActive && takeReply(reply))
        handleReply(reply);
    if (m_jobActive && m_inbox.size() > kMaxReplyBytes)
        finish(false, QStringLiteral("Ответ сервера: ") +
                          QString::fromUtf8(withoutLineBreak(m_inbox.left(200))));
}

// Takes one whole reply (every line, with its line breaks) off the front of
// the inbox. A reply "ddd-..." runs until a line that starts with "ddd ".
bool FtpClient::takeReply(QByteArray& reply) {
    const qsizetype firstEnd = m_inbox.indexOf('\n');
    if (firstEnd < 0)
        return false;
    qsizetype end = firstEnd + 1;
    const bool multiLine = m_inbox.size() >= 4 && isDigit(m_inbox[0]) && isDigit(m_inbox[1]) &&
                           isDigit(m_inbox[2]) && m_inbox[3] == '-' && firstEnd > 3;
    if (multiLine) {
        const QByteArray code = m_inbox.left(3);
        for (;;) {
            const qsizetype lineEnd = m_inbox.indexOf('\n', end);
            if (lineEnd < 0)
                return false;
            const QByteArray line = m_inbox.mid(end, lineEnd + 1 - end);
            end = lineEnd + 1;
            if (line.startsWith(code) &&
                (line.size() == 3 || line[3] == ' ' || line[3] == '\r' || line[3] == '\n'))
                break;
        }
    }
    reply = m_inbox.left(end);
    m_inbox.remove(0, end);
    return true;
}

void FtpClient::handleReply(const QByteArray& reply) {
    const QString code = QString::fromLatin1(reply.left(3));

    // A server that needs no password answers USER with "230" at once.
    if (m_StepIndex == 1 && code == QLatin1String("230"))
        m_StepIndex = 2;

    if (m_StepIndex < 5 && code == m_Steps[m_StepIndex].code) {
        const QString command = m_Steps[m_StepIndex].command;
        ++m_StepIndex;
        sendCommand(command);
        arm(Wait::Reply);
        return;
    }
    // "150" and "125" both announce the transfer (the latter when the
    // server already holds the data connection).
    if ((code == QLatin1String("150") || code == QLatin1String("125")) && m_StepIndex == 5 &&
        !m_transferAnnounced) {
        m_transferAnnounced = true;
        if (m_data.isNull())
            arm(Wait::DataConnection);
        startTransferIfReady();
        return;
    }
    // Only after every byte went out: a "226" before that would report a
    // truncated file as uploaded.
    if (code == QLatin1String("226") && m_dataDone) {
        m_control->disconnectFromHost();
        finish(true, QString());
        return;
    }
    finish(false, QStringLiteral("Ответ сервера: ") + QString::fromUtf8(withoutLineBreak(reply)));
}

void FtpClient::sendCommand(const QString& command) {
    m_control->write(command.toUtf8() + "\r\n");
}

void FtpClient::onDataConnection() {
    if (!m_jobActive || m_listener.isNull())
        return;
    QTcpSocket* socket = m_listener->nextPendingConnection();
    if (socket == nullptr)
        return;
    // One data connection per job: stop listening once it is here.
    socket->setParent(this);
    discard(m_listener, this);
    m_data = socket;
    connect(socket, &QTcpSocket::bytesWritten, this, &FtpClient::onDataBytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError error) {
                onSocketError(static_cast<int>(error), socket->errorString());
            });
    startTransferIfReady();
}

void FtpClient::startTransferIfReady() {
    if (!m_transferAnnounced || m_data.isNull() || m_sending)
        return;
    m_sending = true;
    SendNextData();
}

void FtpClient::SendNextData() {
    if (!m_jobActive || m_data.isNull() || !m_file.isOpen())
        return;
    const qint64 remaining = std::max<qint64>(0, m_file.size() - m_file.pos());
    const qint64 size = std::min<qint64>(remaining, m_ChunkSize);
    const QByteArray chunk = m_file.read(size);
    if (chunk.size() != size) {
        finish(false, QStringLiteral("Ошибка чтения файла ") + m_localfile + QStringLiteral(" (") +
                          m_file.errorString() + QLatin1Char(')'));
        return;
    }
    // Marking the chunk that empties the file as the last one spares a
    // trailing empty chunk, which the socket would never confirm.
    if (size == remaining) {
        m_file.close();
        m_LastChunk = true;
    }
    if (chunk.isEmpty()) {
        endDataTransfer();
        return;
    }
    arm(Wait::Chunk);
    m_data->write(chunk);
}

void FtpClient::onDataBytesWritten() {
    if (!m_jobActive || m_data.isNull() || m_data->bytesToWrite() > 0)
        return;
    if (m_LastChunk)
        endDataTransfer();
    else
        SendNextData();
}

// Closing the data connection tells the server the file is complete; it
// then answers "226".
void FtpClient::endDataTransfer() {
    m_LastChunk = false;
    m_dataDone = true;
    QObject::disconnect(m_data, nullptr, this, nullptr);
    m_data->disconnectFromHost();
    arm(Wait::Reply);
}

void FtpClient::onSocketError(int number, const QString& description) {
    if (!m_jobActive)
        return;
    finish(false, QStringLiteral("Ошибка сокета #") + QString::number(number) +
                      QStringLiteral(" (") + description + QLatin1Char(')'));
}

void FtpClient::onBoundPassed() {
    if (!m_jobActive)
        return;
    switch (m_waiting) {
    case Wait::Connect:
        finish(false, QStringLiteral("Нет подключения к серверу за ") +
                          seconds(m_bounds.connectMs) + QStringLiteral(" с"));
        break;
    case Wait::Reply:
        finish(false, QStringLiteral("Сервер не ответил за ") + seconds(m_bounds.replyMs) +
                          QStringLiteral(" с"));
        break;
    case Wait::DataConnection:
        finish(false, QStringLiteral("Сервер не открыл соединение для данных за ") +
                          seconds(m_bounds.dataMs) + QStringLiteral(" с"));
        break;
    case Wait::Chunk:
        finish(false, QStringLiteral("Передача данных не завершилась за ") +
                          seconds(m_bounds.chunkMs) + QStringLiteral(" с"));
        break;
    case Wait::Nothing:
        break;
    }
}

void FtpClient::arm(Wait wait) {
    m_waiting = wait;
    switch (wait) {
    case Wait::Connect:
        m_bound.start(m_bounds.connectMs);
        break;
    case Wait::Reply:
        m_bound.start(m_bounds.replyMs);
        break;
    case Wait::DataConnection:
        m_bound.start(m_bounds.dataMs);
        break;
    case Wait::Chunk:
        m_bound.start(m_bounds.chunkMs);
        break;
    case Wait::Nothing:
        m_bound.stop();
        break;
    }
}

void FtpClient::blink() {
    const bool wasOn = m_BlinkOn;
    m_BlinkOn = !m_BlinkOn;
    setState(wasOn ? Queued : Working);
}

void FtpClient::setState(int state) {
    if (state == m_state)
        return;
    m_state = state;
    emit StatusChanged(state);
}

void FtpClient::finish(bool ok, const QString& message) {
    if (!m_jobActive)
        return;
    m_jobActive = false;
    tearDown();
    setState(ok ? Done : Failed);
    m_TT.stop();
    m_Busy = false;
    // Last, so that a handler sees the component idle and may start the
    // next upload from inside Res.
    emit Res(ok ? QStringLiteral("ok") : message);
}

void FtpClient::tearDown() {
    arm(Wait::Nothing);
    if (m_file.isOpen())
        m_file.close();
    m_LastChunk = false;
    discard(m_data, this);
    discard(m_listener, this);
    discard(m_control, this);
}

} // namespace vigilux::net
