#include "upload/FtpClient.h"

#include "core/ServerText.h"
#include "core/SocketErrorCode.h"
#include "platform/RegularFile.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <type_traits>

#ifdef Q_OS_LINUX
#include <linux/sockios.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

namespace vigilux::upload {

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

QString socketErrorText(QAbstractSocket::SocketError error) {
    return QStringLiteral("Ошибка сокета #") +
           QString::number(core::SocketErrorCode::number(error)) + QStringLiteral(" (") +
           core::SocketErrorCode::description(error) + QLatin1Char(')');
}

// Bytes handed to the socket that the peer has not yet acknowledged. On a
// slow link most of a picture may still sit there after the last chunk was
// handed over; where the system cannot tell, nothing is assumed to wait.
qint64 unsentBytes(const QTcpSocket& socket) {
#ifdef Q_OS_LINUX
    int queued = 0;
    const qintptr descriptor = socket.socketDescriptor();
    if (descriptor >= 0 && ::ioctl(static_cast<int>(descriptor), SIOCOUTQ, &queued) == 0)
        return std::max(queued, 0);
#else
    Q_UNUSED(socket);
#endif
    return 0;
}

// Ends the sending half of the connection: the system sends what it still
// holds and then the end of the file, while the descriptor stays open so the
// queue can still be watched. False where that cannot be done.
bool endSending(const QTcpSocket& socket) {
#ifdef Q_OS_LINUX
    const qintptr descriptor = socket.socketDescriptor();
    return descriptor >= 0 && ::shutdown(static_cast<int>(descriptor), SHUT_WR) == 0;
#else
    Q_UNUSED(socket);
    return false;
#endif
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
    m_startDelay.setSingleShot(true);
    connect(&m_startDelay, &QTimer::timeout, this, &FtpClient::startJob);

    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &FtpClient::blink);

    m_bound.setSingleShot(true);
    connect(&m_bound, &QTimer::timeout, this, &FtpClient::onBoundPassed);

    m_idle.setSingleShot(true);
    m_idle.setInterval(kIdleCloseMs);
    connect(&m_idle, &QTimer::timeout, this, &FtpClient::closeIdleConnection);

    m_drain.setSingleShot(true);
    connect(&m_drain, &QTimer::timeout, this, &FtpClient::onDrainPoll);
}

FtpClient::~FtpClient() {
    m_jobActive = false;
    tearDown();
    // A kept session says goodbye; the few bytes leave without waiting.
    if (hasIdleConnection()) {
        m_control->write("QUIT\r\n");
        m_control->flush();
    }
    dropControl();
}

bool FtpClient::hasIdleConnection() const {
    return !m_jobActive && m_loggedIn && !m_control.isNull() &&
           m_control->state() == QAbstractSocket::ConnectedState;
}

void FtpClient::setRandomSource(RandomSource source) {
    m_random = std::move(source);
}

void FtpClient::setStartDelayMs(int ms) {
    m_startDelayMs = std::max(0, ms);
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

QString FtpClient::address() const {
    return m_username + QLatin1Char('.') + m_site + QLatin1Char('/') + m_remotefile;
}

void FtpClient::upload(const QString& site, const QString& username, const QString& password,
                       const QString& localfile, const QString& remotefile, Start start) {
    if (m_jobActive) {
        // Abandoned without a result: the caller chose to replace it.
        m_jobActive = false;
        tearDown();
        dropControl();
        m_blinkTimer.stop();
    }
    m_busy = true;
    setState(State::Queued);
    m_site = site;
    m_username = username;
    m_password = password;
    m_localfile = localfile;
    m_remotefile = remotefile;
    // Promptly still goes through the event loop, so a finished handler that
    // starts the next file has returned before the job begins.
    m_startDelay.start(start == Start::Promptly ? 0 : m_startDelayMs);
}

void FtpClient::startJob() {
    m_startDelay.stop();
    m_busy = true;
    m_jobActive = true;
    m_failure = Failure::None;
    setState(State::Working);
    m_blinkTimer.start();

    m_steps = {{
        {QStringLiteral("220"), QStringLiteral("USER ") + m_username},
        {QStringLiteral("331"), QStringLiteral("PASS ") + m_password},
        {QStringLiteral("230"), QStringLiteral("TYPE I")},
        {QStringLiteral("200"), QString()}, // PORT, once the local address is known
        {QStringLiteral("200"), QStringLiteral("STOR ") + m_remotefile},
        {QString(), QString()},
    }};
    m_chunkSize = kChunkSize;
    m_stepIndex = 0;
    m_lastChunk = false;
    m_transferAnnounced = false;
    m_sending = false;
    m_dataDone = false;
    m_sizeAsked = false;

    // A line break would end the command early and smuggle in another one.
    if (hasLineBreak(m_username)) {
        fail(Failure::Login,
             QStringLiteral("Недопустимый символ перевода строки в имени пользователя"));
        return;
    }
    if (hasLineBreak(m_password)) {
        fail(Failure::Login, QStringLiteral("Недопустимый символ перевода строки в пароле"));
        return;
    }
    if (hasLineBreak(m_remotefile)) {
        fail(Failure::File,
             QStringLiteral("Недопустимый символ перевода строки в имени файла на сервере"));
        return;
    }

    const QString key = m_site + QLatin1Char('\n') + QString::number(m_controlPort) +
                        QLatin1Char('\n') + m_username + QLatin1Char('\n') + m_password;
    const bool kept =
        m_loggedIn && !m_control.isNull() && m_control->state() == QAbstractSocket::ConnectedState;
    if (kept && key == m_sessionKey) {
        reuseSession();
        return;
    }
    if (kept) {
        // Another server or account: the old session ends politely.
        closeIdleConnection();
    }
    dropControl();
    m_sessionKey = key;
    startSession();
}

void FtpClient::startSession() {
    m_reusing = false;
    m_portAhead = false;
    m_inbox.clear();
    m_stepIndex = 0;
    m_control = new QTcpSocket(this);
    connect(m_control, &QTcpSocket::connected, this, &FtpClient::onControlConnected);
    connect(m_control, &QTcpSocket::readyRead, this, &FtpClient::onControlReadyRead);
    connect(m_control, &QTcpSocket::errorOccurred, this, &FtpClient::onControlError);
    arm(Wait::Connect);
    // PORT carries an IPv4 address only, so the control connection is IPv4 too.
    m_control->connectToHost(m_site, m_controlPort, QIODevice::ReadWrite,
                             QAbstractSocket::IPv4Protocol);
}

// The next file on the kept connection: TYPE I, then PORT and STOR as in a
// fresh session. Should the server have dropped the connection meanwhile,
// the first reply tells, and the job starts over on a new session.
bool FtpClient::reuseSession() {
    m_idle.stop();
    m_reusing = true;
    m_reuseAnswered = false;
    if (!listenOnRandomPort(m_control->localAddress()))
        return false;
    m_steps[3].command = portCommand(m_control->localAddress(), m_listenPort);
    if (!openLocalFile())
        return false;
    // TYPE I and PORT leave together; the replies still come one by one and
    // are checked in order. A round trip less for every file of a queue.
    m_stepIndex = 3;
    m_portAhead = true;
    m_control->write(m_steps[2].command.toUtf8() + "\r\n");
    sendCommand(m_steps[3].command);
    arm(Wait::Reply);
    return true;
}

bool FtpClient::openLocalFile() {
    // Never a FIFO or a device: opening one would block the UI thread.
    QString why;
    if (platform::RegularFile::openForReading(m_file, m_localfile,
                                              platform::RegularFile::Links::Follow, &why)) {
        // Asked once: a size query per chunk costs a system call each.
        m_fileLeft = m_file.size();
        m_fileSize = m_fileLeft;
        return true;
    }
    fail(Failure::File, QStringLiteral("Не удалось открыть файл ") + m_localfile +
                            QStringLiteral(" (") + why + QLatin1Char(')'));
    return false;
}

// The listener takes connections on the control connection's own local
// address only, so no other network of this machine sees the port.
bool FtpClient::listenOnRandomPort(const QHostAddress& address) {
    m_listener = new QTcpServer(this);
    for (int attempt = 0; attempt < kMaxListenAttempts; ++attempt) {
        const double first = m_random();
        const double second = m_random();
        m_listenPort = drawPort(first, second);
        if (m_listener->listen(address, m_listenPort)) {
            connect(m_listener, &QTcpServer::newConnection, this, &FtpClient::onDataConnection);
            return true;
        }
        if (m_listener->serverError() != QAbstractSocket::AddressInUseError)
            break;
    }
    fail(Failure::Server, socketErrorText(m_listener->serverError()));
    return false;
}

void FtpClient::onControlConnected() {
    if (!m_jobActive)
        return;
    // Commands are whole lines written at once; nothing gains from waiting.
    m_control->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!listenOnRandomPort(m_control->localAddress()))
        return;
    m_steps[3].command = portCommand(m_control->localAddress(), m_listenPort);
    if (!openLocalFile())
        return;
    arm(Wait::Reply); // the greeting
}

void FtpClient::onControlReadyRead() {
    if (!m_jobActive) {
        // A kept connection that speaks unasked is being closed by the
        // server ("421 timeout"): the next file gets a new session.
        if (!m_control.isNull() && m_control->bytesAvailable() > 0)
            dropControl();
        return;
    }
    m_inbox += m_control->readAll();
    QByteArray reply;
    while (m_jobActive && takeReply(reply))
        handleReply(reply);
    if (m_jobActive && m_inbox.size() > kMaxReplyBytes)
        fail(Failure::Server, QStringLiteral("Ответ сервера: ") +
                                  core::ServerText::printable(
                                      QString::fromUtf8(withoutLineBreak(m_inbox.left(200)))));
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

    if (m_reusing && !m_reuseAnswered) {
        if (m_stepIndex == 3 && code != m_steps[3].code) {
            // The kept connection is no longer good for anything ("421",
            // or an answer that belonged to something else): start over.
            tearDown();
            dropControl();
            startSession();
            return;
        }
        m_reuseAnswered = true;
    }

    // The reply to TYPE I when PORT went with it: PORT's reply is next.
    if (m_portAhead && m_stepIndex == 3 && code == m_steps[3].code) {
        m_portAhead = false;
        m_stepIndex = 4;
        arm(Wait::Reply);
        return;
    }

    // A server that needs no password answers USER with "230" at once.
    if (m_stepIndex == 1 && code == QLatin1String("230"))
        m_stepIndex = 2;

    if (m_stepIndex < 5 && code == m_steps[m_stepIndex].code) {
        const QString command = m_steps[m_stepIndex].command;
        ++m_stepIndex;
        sendCommand(command);
        arm(Wait::Reply);
        return;
    }
    // "150" and "125" both announce the transfer (the latter when the
    // server already holds the data connection).
    if ((code == QLatin1String("150") || code == QLatin1String("125")) && m_stepIndex == 5 &&
        !m_transferAnnounced) {
        m_transferAnnounced = true;
        if (m_data.isNull())
            arm(Wait::DataConnection);
        startTransferIfReady();
        return;
    }
    if (m_sizeAsked) {
        checkStoredSize(code, reply);
        return;
    }
    // Only after every byte went out: a "226" before that would report a
    // truncated file as uploaded. Even then a server may have kept less than
    // it read (a full disk, a crash of its writer): it is asked.
    if (code == QLatin1String("226") && m_dataDone) {
        m_sizeAsked = true;
        sendCommand(QStringLiteral("SIZE ") + m_remotefile);
        arm(Wait::Reply);
        return;
    }
    Failure kind = Failure::Server;
    if (m_stepIndex <= 2 && code == QLatin1String("530"))
        kind = Failure::Login; // USER or PASS refused
    else if (m_stepIndex == 5 && !m_transferAnnounced && !code.startsWith(QLatin1String("421")) &&
             (code.startsWith(QLatin1Char('4')) || code.startsWith(QLatin1Char('5'))))
        kind = Failure::File; // STOR refused for this file
    fail(kind, QStringLiteral("Ответ сервера: ") +
                   core::ServerText::printable(QString::fromUtf8(withoutLineBreak(reply))));
}

void FtpClient::checkStoredSize(const QString& code, const QByteArray& reply) {
    bool known = false;
    qint64 stored = -1;
    if (code == QLatin1String("213"))
        stored = reply.mid(4).trimmed().toLongLong(&known);
    // A server without SIZE (or one that answers it with nonsense) cannot
    // tell; its "226" stands as it always did.
    const bool cannotTell = code == QLatin1String("500") || code == QLatin1String("501") ||
                            code == QLatin1String("502") || code == QLatin1String("504") ||
                            (code == QLatin1String("213") && !known);
    if (cannotTell || stored == m_fileSize) {
        // The session stays for the next file; the idle bound ends it.
        m_loggedIn = true;
        finish(true, QString());
        return;
    }
    if (known) {
        fail(Failure::File, QStringLiteral("Сервер сохранил не весь файл (байт: %1 из %2)")
                                .arg(stored)
                                .arg(m_fileSize));
        return;
    }
    fail(Failure::File,
         QStringLiteral("Ответ сервера на SIZE: ") +
             core::ServerText::printable(QString::fromUtf8(withoutLineBreak(reply))));
}

void FtpClient::sendCommand(const QString& command) {
    m_control->write(command.toUtf8() + "\r\n");
    // Out now rather than on the next turn of the event loop: each file
    // waits for three replies, and the turns add up over a queue.
    m_control->flush();
}

void FtpClient::onDataConnection() {
    if (!m_jobActive || m_listener.isNull())
        return;
    QTcpSocket* socket = m_listener->nextPendingConnection();
    if (socket == nullptr)
        return;
    // Only the server may deliver the data connection; anyone else who
    // found the port is turned away and the wait for the server goes on.
    if (m_control.isNull() || !socket->peerAddress().isEqual(m_control->peerAddress(),
                                                             QHostAddress::ConvertV4MappedToIPv4)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    // One data connection per job: stop listening once it is here.
    socket->setParent(this);
    discard(m_listener, this);
    m_data = socket;
    // The file's last bytes leave at once instead of waiting for an ack.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::bytesWritten, this, &FtpClient::onDataBytesWritten);
    connect(socket, &QTcpSocket::errorOccurred, this, &FtpClient::onSocketError);
    startTransferIfReady();
}

void FtpClient::startTransferIfReady() {
    if (!m_transferAnnounced || m_data.isNull() || m_sending)
        return;
    m_sending = true;
    fillSendWindow();
}

// Chunks are read one at a time, but up to kSendWindow bytes of them may
// wait in the socket at once: a fast link is not held to one chunk per turn
// of the event loop, and memory stays bounded all the same. What the system
// takes at once is handed over at once; only the rest waits for the socket's
// next bytesWritten.
void FtpClient::fillSendWindow() {
    m_filling = true;
    while (m_jobActive && !m_data.isNull()) {
        while (m_jobActive && !m_data.isNull() && m_file.isOpen() && !m_lastChunk &&
               m_data->bytesToWrite() < kSendWindow)
            sendNextChunk();
        if (!m_jobActive || m_data.isNull() || m_waiting == Wait::Drain || m_dataDone)
            break; // failed, or an empty file is already being closed
        m_data->flush();
        if (m_data.isNull() || m_data->bytesToWrite() > 0)
            break;
        if (m_lastChunk) {
            startDrain();
            break;
        }
        if (!m_file.isOpen())
            break;
    }
    m_filling = false;
}

void FtpClient::sendNextChunk() {
    if (!m_jobActive || m_data.isNull() || !m_file.isOpen())
        return;
    const qint64 remaining = m_fileLeft;
    const qint64 size = std::min<qint64>(remaining, m_chunkSize);
    const QByteArray chunk = m_file.read(size);
    m_fileLeft -= size;
    if (chunk.size() != size) {
        fail(Failure::File, QStringLiteral("Ошибка чтения файла ") + m_localfile +
                                QStringLiteral(" (") + m_file.errorString() + QLatin1Char(')'));
        return;
    }
    // Marking the chunk that empties the file as the last one spares a
    // trailing empty chunk, which the socket would never confirm.
    if (size == remaining) {
        m_file.close();
        m_lastChunk = true;
    }
    if (chunk.isEmpty()) {
        if (m_data->bytesToWrite() == 0)
            startDrain();
        return; // otherwise once the socket has taken the rest
    }
    arm(Wait::Chunk);
    m_data->write(chunk);
}

void FtpClient::onDataBytesWritten() {
    if (!m_jobActive || m_data.isNull() || m_waiting == Wait::Drain)
        return;
    arm(Wait::Chunk); // the socket took some: the bound starts again
    if (m_filling)
        return; // from inside fillSendWindow's flush, which goes on by itself
    if (!m_lastChunk) {
        fillSendWindow();
        return;
    }
    if (m_data->bytesToWrite() == 0)
        startDrain();
}

// The last chunk has been handed over, but on a slow link much of the file
// may still be queued in the socket. The wait goes on as long as that queue
// shrinks, however long the whole takes; only a standstill of replyMs ends it.
void FtpClient::startDrain() {
    m_lastChunk = false;
    m_unsent = unsentBytes(*m_data);
    if (m_unsent == 0) {
        endDataTransfer();
        return;
    }
    // The server may learn at once that the file is complete; its "226"
    // then counts even while the last acknowledgements are still on the way.
    if (endSending(*m_data)) {
        m_dataDone = true;
        QObject::disconnect(m_data, nullptr, this, nullptr);
    }
    arm(Wait::Drain);
    // On a fast link the rest leaves within a millisecond or two: look
    // again soon, then less and less often.
    m_drain.start(1);
}

void FtpClient::onDrainPoll() {
    if (!m_jobActive || m_data.isNull())
        return;
    const qint64 unsent = unsentBytes(*m_data);
    if (unsent == 0) {
        endDataTransfer();
        return;
    }
    if (unsent < m_unsent) {
        m_unsent = unsent;
        arm(Wait::Drain);
    }
    m_drain.start(std::min(kDrainPollMs, m_drain.interval() * 2));
}

// Closing the data connection tells the server the file is complete; it
// then answers "226".
void FtpClient::endDataTransfer() {
    m_lastChunk = false;
    m_dataDone = true;
    QObject::disconnect(m_data, nullptr, this, nullptr);
    m_data->disconnectFromHost();
    arm(Wait::Reply);
}

void FtpClient::onControlError(QAbstractSocket::SocketError error) {
    if (!m_jobActive) {
        dropControl(); // a kept connection went away: the next file opens a new one
        return;
    }
    if (m_reusing && !m_reuseAnswered) {
        tearDown();
        dropControl();
        startSession();
        return;
    }
    onSocketError(error);
}

void FtpClient::onSocketError(QAbstractSocket::SocketError error) {
    if (!m_jobActive)
        return;
    fail(Failure::Server, socketErrorText(error));
}

void FtpClient::onBoundPassed() {
    if (!m_jobActive)
        return;
    switch (m_waiting) {
    case Wait::Connect:
        fail(Failure::Server, QStringLiteral("Нет подключения к серверу за ") +
                                  seconds(m_bounds.connectMs) + QStringLiteral(" с"));
        break;
    case Wait::Reply:
        if (m_reusing && !m_reuseAnswered) {
            // A kept connection that went silent: try once on a new one.
            tearDown();
            dropControl();
            startSession();
            break;
        }
        fail(Failure::Server, QStringLiteral("Сервер не ответил за ") + seconds(m_bounds.replyMs) +
                                  QStringLiteral(" с"));
        break;
    case Wait::DataConnection:
        fail(Failure::Server, QStringLiteral("Сервер не открыл соединение для данных за ") +
                                  seconds(m_bounds.dataMs) + QStringLiteral(" с"));
        break;
    case Wait::Chunk:
        fail(Failure::Server, QStringLiteral("Передача данных не завершилась за ") +
                                  seconds(m_bounds.chunkMs) + QStringLiteral(" с"));
        break;
    case Wait::Drain:
        fail(Failure::Server, QStringLiteral("Сервер не принимал данные ") +
                                  seconds(m_bounds.replyMs) + QStringLiteral(" с"));
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
    case Wait::Drain:
        m_bound.start(m_bounds.replyMs);
        break;
    case Wait::Nothing:
        m_bound.stop();
        break;
    }
}

void FtpClient::blink() {
    const bool wasOn = m_blinkOn;
    m_blinkOn = !m_blinkOn;
    setState(wasOn ? State::Queued : State::Working);
}

void FtpClient::setState(State state) {
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void FtpClient::fail(Failure kind, const QString& message) {
    if (!m_jobActive)
        return;
    m_failure = kind;
    // A failed reply leaves the session in an unknown step: never reuse it.
    dropControl();
    finish(false, message);
}

void FtpClient::finish(bool ok, const QString& message) {
    if (!m_jobActive)
        return;
    m_jobActive = false;
    tearDown();
    if (ok && !m_control.isNull())
        m_idle.start();
    else
        dropControl();
    setState(ok ? State::Done : State::Failed);
    m_blinkTimer.stop();
    m_busy = false;
    // Last, so that a handler sees the component idle and may start the
    // next upload from inside finished.
    emit finished(ok ? core::Status() : core::Status::failure(message));
}

// Ends the job's own resources; the control connection is the session's
// and outlives a successful job.
void FtpClient::tearDown() {
    arm(Wait::Nothing);
    m_drain.stop();
    if (m_file.isOpen())
        m_file.close();
    m_lastChunk = false;
    discard(m_data, this);
    discard(m_listener, this);
}

void FtpClient::dropControl() {
    m_idle.stop();
    m_loggedIn = false;
    m_reusing = false;
    m_inbox.clear();
    discard(m_control, this);
}

// QUIT, then the socket closes once the command has left; it is dropped by
// itself, within a bound, whatever the server does.
void FtpClient::closeIdleConnection() {
    m_idle.stop();
    if (!m_loggedIn || m_control.isNull() ||
        m_control->state() != QAbstractSocket::ConnectedState) {
        dropControl();
        return;
    }
    QTcpSocket* socket = m_control.data();
    QObject::disconnect(socket, nullptr, this, nullptr);
    m_control.clear();
    m_loggedIn = false;
    m_inbox.clear();
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(m_bounds.replyMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->write("QUIT\r\n");
    socket->disconnectFromHost();
}

} // namespace vigilux::upload
