#pragma once

#include "core/Result.h"
#include "core/TransferState.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <array>
#include <functional>

class QTcpServer;
class QTcpSocket;

namespace vigilux::upload {

// One line of the login-and-store script: the reply code awaited and the
// command sent when it arrives.
struct FtpStep {
    QString code;
    QString command;
};

// Uploads one local file per upload() call to an FTP server: image mode,
// active data connection (we listen, the server connects). After "226" the
// client asks SIZE: a server that kept fewer bytes than were sent has not got
// the file (a server that does not know SIZE is taken at its "226").
//
// The logged-in control connection is kept after "226" and the next file
// to the same server and account goes on with TYPE I, PORT, STOR on it
// (TYPE I and PORT sent together); a new session is opened only when the
// connection was closed or a reply failed. A connection left idle for
// kIdleCloseMs ends with QUIT.
//
// Driven entirely by timers and socket signals on the thread that owns it
// (the UI thread); nothing blocks and nothing spins a nested event loop.
// Every wait is bounded; when a bound passes the job ends as failed, so
// isBusy() never stays true forever. finished is raised exactly once per job,
// after the job's state is cleared, so a handler of it may start the next
// upload at once.
class FtpClient final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpClient)

public:
    static constexpr int kStartDelayMs = 1000;    // upload() returns, the job starts later
    static constexpr int kBlinkMs = 200;          // status blink while a job runs
    static constexpr int kChunkSize = 2920;       // two 1460-byte TCP segments
    static constexpr int kSendWindow = 64 * 1024; // most bytes handed to the socket at once
    static constexpr quint16 kDefaultControlPort = 21;
    static constexpr int kMaxListenAttempts = 32; // fresh random ports tried when one is taken
    static constexpr int kMaxReplyBytes = 64 * 1024;
    static constexpr int kIdleCloseMs = 10000; // an unused logged-in connection ends then
    static constexpr int kDrainPollMs = 100;   // longest pause between looks at queued data

    // Upper bounds of the waits, in milliseconds.
    struct Bounds {
        int connectMs = 15000; // control connection established
        int replyMs = 30000;   // each reply after a command (and the greeting); also the
                               // longest the socket may go without sending queued data
        int dataMs = 30000;    // server opens the data connection after "150"
        int chunkMs = 60000;   // the socket takes no data of the file
    };

    // Queued and Working alternate while a job runs; None before the first
    // upload().
    using State = core::TransferState;

    // Why the last job failed, so a queue can tell a refused login or a
    // refused file from a server it could not reach.
    enum class Failure { None, Login, File, Server };

    // When the job of an upload() call starts.
    enum class Start { Deferred, Promptly };

    // Returns a number in [0, 1); draws the listening port.
    using RandomSource = std::function<double()>;

    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override;

    // Returns at once: stores the arguments, shows Queued and starts the
    // start delay; the job begins when it fires (Start::Promptly: on the next
    // turn of the event loop, for a queue that has more files waiting). A
    // call while a job runs abandons that job without a result (callers check
    // isBusy() first).
    void upload(const QString& site, const QString& username, const QString& password,
                const QString& localfile, const QString& remotefile, Start start = Start::Deferred);
    bool isBusy() const { return m_busy; }
    // username "." site "/" remotefile, from the last upload().
    QString address() const;
    // Hands the next chunk of the local file to the data connection. The
    // component paces itself with it; callers have no reason to call it.
    void sendNextChunk();

    State state() const { return m_state; }
    bool blinkOn() const { return m_blinkOn; }
    const std::array<FtpStep, 6>& steps() const { return m_steps; }
    qint16 stepIndex() const { return m_stepIndex; }
    qint32 chunkSize() const { return m_chunkSize; }
    bool lastChunk() const { return m_lastChunk; }
    // Port of the data listener of the current or last job; 0 before.
    quint16 listenPort() const { return m_listenPort; }
    Failure lastFailure() const { return m_failure; }
    // A logged-in control connection waits for the next file.
    bool hasIdleConnection() const;

    // Seams, for tests and for callers that know better than the defaults.
    void setControlPort(quint16 port) { m_controlPort = port; }
    void setRandomSource(RandomSource source);
    void setBounds(const Bounds& bounds) { m_bounds = bounds; }
    const Bounds& bounds() const { return m_bounds; }
    void setStartDelayMs(int ms);
    void setIdleCloseMs(int ms) { m_idle.setInterval(ms); }

    // The PORT command for a listener at address:port, e.g.
    // "PORT 10,0,0,7,5,1" for 10.0.0.7 and port 1281.
    static QString portCommand(const QHostAddress& address, quint16 port);
    // Port from two draws in [0, 1): high byte 5..16, low byte 1..254,
    // so the port lies in 1281..4350.
    static quint16 drawPort(double first, double second);

signals:
    // Once per job: done, or why not.
    void finished(const core::Status& result);
    // The status picture to show; raised on every change.
    void stateChanged(core::TransferState state);

private:
    enum class Wait { Nothing, Connect, Reply, DataConnection, Chunk, Drain };

    void startJob();
    void startSession();
    bool reuseSession();
    bool listenOnRandomPort(const QHostAddress& address);
    bool openLocalFile();
    void onControlConnected();
    void onControlReadyRead();
    bool takeReply(QByteArray& reply);
    void handleReply(const QByteArray& reply);
    void checkStoredSize(const QString& code, const QByteArray& reply);
    void sendCommand(const QString& command);
    void onDataConnection();
    void onDataBytesWritten();
    void startTransferIfReady();
    void fillSendWindow();
    void startDrain();
    void onDrainPoll();
    void endDataTransfer();
    void onControlError(QAbstractSocket::SocketError error);
    void onSocketError(QAbstractSocket::SocketError error);
    void closeIdleConnection();
    void dropControl();
    void onBoundPassed();
    void arm(Wait wait);
    void blink();
    void setState(State state);
    void fail(Failure kind, const QString& message);
    void finish(bool ok, const QString& message);
    void tearDown();

    // Job state; the five strings are the arguments of the last upload().
    bool m_blinkOn = false;
    std::array<FtpStep, 6> m_steps;
    qint16 m_stepIndex = 0;
    qint32 m_chunkSize = kChunkSize;
    bool m_lastChunk = false;
    bool m_busy = false;
    QString m_site;
    QString m_username;
    QString m_password;
    QString m_localfile;
    QString m_remotefile;

    QTimer m_startDelay;
    int m_startDelayMs = kStartDelayMs;
    QTimer m_blinkTimer;
    QTimer m_bound; // the one wait in progress
    QTimer m_idle;  // closes a logged-in connection nobody uses
    QTimer m_drain; // polls the data still queued in the socket
    Wait m_waiting = Wait::Nothing;
    Bounds m_bounds;
    RandomSource m_random;
    quint16 m_controlPort = kDefaultControlPort;
    State m_state = State::None;

    // One job's resources; a new job starts from fresh sockets so no event
    // of an old connection can reach it.
    bool m_jobActive = false;
    QPointer<QTcpSocket> m_control;
    QPointer<QTcpServer> m_listener;
    QPointer<QTcpSocket> m_data;
    QFile m_file;
    qint64 m_fileLeft = 0;            // bytes of m_file not yet read
    qint64 m_fileSize = 0;            // bytes of m_file when the job opened it
    bool m_sizeAsked = false;         // "226" seen, SIZE sent to check what the server kept
    QByteArray m_inbox;               // control bytes not yet forming a whole reply
    bool m_transferAnnounced = false; // "150"/"125" seen
    bool m_sending = false;           // first chunk handed out
    bool m_dataDone = false;          // data connection closed after the last chunk
    bool m_filling = false;           // inside fillSendWindow
    quint16 m_listenPort = 0;
    qint64 m_unsent = 0; // bytes the socket still held at the last poll
    Failure m_failure = Failure::None;

    // The logged-in connection kept between jobs, and whom it belongs to.
    bool m_loggedIn = false;
    QString m_sessionKey;
    bool m_reusing = false;       // this job runs on a kept connection
    bool m_reuseAnswered = false; // ...which has answered this job once
    bool m_portAhead = false;     // PORT went out with TYPE I, before its reply
};

} // namespace vigilux::upload
