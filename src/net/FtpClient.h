#pragma once

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

namespace vigilux::net {

// One line of the login-and-store script: the reply code awaited and the
// command sent when it arrives.
struct FtpStep {
    QString code;
    QString command;
};

// Uploads one local file per Upload() call to an FTP server: image mode,
// active data connection (we listen, the server connects), no QUIT.
//
// Driven entirely by timers and socket signals on the thread that owns it
// (the UI thread); nothing blocks and nothing spins a nested event loop.
// Every wait is bounded; when a bound passes the job ends as failed, so
// IsBizy() never stays true forever. Res is raised exactly once per job,
// after the job's state is cleared, so a Res handler may start the next
// upload at once.
class FtpClient final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FtpClient)

public:
    static constexpr int kStartDelayMs = 1000; // T: Upload returns, the job starts later
    static constexpr int kBlinkMs = 200;       // TT: status blink while a job runs
    static constexpr int kChunkSize = 2920;    // two 1460-byte TCP segments
    static constexpr quint16 kDefaultControlPort = 21;
    static constexpr int kMaxListenAttempts = 32; // fresh random ports tried when one is taken
    static constexpr int kMaxReplyBytes = 64 * 1024;

    // Upper bounds of the waits, in milliseconds.
    struct Bounds {
        int connectMs = 15000; // control connection established
        int replyMs = 30000;   // each reply after a command (and the greeting)
        int dataMs = 30000;    // server opens the data connection after "150"
        int chunkMs = 60000;   // one chunk handed to the operating system
    };

    // Status pictures: 1 queued, 2 busy (1 and 2 alternate while a job
    // runs), 3 done, 4 failed; 0 before the first Upload.
    enum State { None = 0, Queued = 1, Working = 2, Done = 3, Failed = 4 };

    // Returns a number in [0, 1); draws the listening port.
    using RandomSource = std::function<double()>;

    explicit FtpClient(QObject* parent = nullptr);
    ~FtpClient() override;

    // Returns at once: stores the arguments, shows state 1 and starts T; the
    // job begins when T fires. A call while a job runs abandons that job
    // without a result (callers check IsBizy() first).
    void Upload(const QString& site, const QString& username, const QString& password,
                const QString& localfile, const QString& remotefile);
    bool IsBizy() const { return m_Busy; }
    // username "." site "/" remotefile, from the last Upload.
    QString Adress() const;
    // Hands the next chunk of the local file to the data connection. The
    // component paces itself with it; callers have no reason to call it.
    void SendNextData();

    int Status() const { return m_state; }
    bool BlinkOn() const { return m_BlinkOn; }
    const std::array<FtpStep, 6>& Steps() const { return m_Steps; }
    qint16 StepIndex() const { return m_StepIndex; }
    qint32 ChunkSize() const { return m_ChunkSize; }
    bool LastChunk() const { return m_LastChunk; }
    // Port of the data listener of the current or last job; 0 before.
    quint16 ListenPort() const { return m_listenPort; }

    // Seams, for tests and for callers that know better than the defaults.
    void setControlPort(quint16 port) { m_controlPort = port; }
    void setRandomSource(RandomSource source);
    void setBounds(const Bounds& bounds) { m_bounds = bounds; }
    const Bounds& bounds() const { return m_bounds; }
    void setStartDelayMs(int ms);

    // The PORT command for a listener at address:port, e.g.
    // "PORT 10,0,0,7,5,1" for 10.0.0.7 and port 1281.
    static QString portCommand(const QHostAddress& address, quint16 port);
    // Port from two draws in [0, 1): high byte 5..16, low byte 1..254,
    // so the port lies in 1281..4350.
    static quint16 drawPort(double first, double second);

signals:
    void Res(const QString& Res);
    // The status picture to show, 1..4; raised on every change.
    void StatusChanged(int state);

private:
    enum class Wait { Nothing, Connect, Reply, DataConnection, Chunk };

    void startJob();
    bool listenOnRandomPort();
    void onControlConnected();
    void onControlReadyRead();
    bool takeReply(QByteArray& reply);
    void handleReply(const QByteArray& reply);
    void sendCommand(const QString& command);
    void onDataConnection();
    void onDataBytesWritten();
    void startTransferIfReady();
    void endDataTransfer();
    void onSocketError(int number, const QString& description);
    void onBoundPassed();
    void arm(Wait wait);
    void blink();
    void setState(int state);
    void finish(bool ok, const QString& message);
    void tearDown();

    // Job state; the five strings are the arguments of the last Upload.
    bool m_BlinkOn = false;
    std::array<FtpStep, 6> m_Steps;
    qint16 m_StepIndex = 0;
    qint32 m_ChunkSize = kChunkSize;
    bool m_LastChunk = false;
    bool m_Busy = false;
    QString m_site;
    QString m_username;
    QString m_password;
    QString m_localfile;
    QString m_remotefile;

    QTimer m_T;
    QTimer m_TT;
    QTimer m_bound; // the one wait in progress
    Wait m_waiting = Wait::Nothing;
    Bounds m_bounds;
    RandomSource m_random;
    quint16 m_controlPort = kDefaultControlPort;
    int m_state = None;

    // One job's resources; a new job starts from fresh sockets so no event
    // of an old connection can reach it.
    bool m_jobActive = false;
    QPointer<QTcpSocket> m_control;
    QPointer<QTcpServer> m_listener;
    QPointer<QTcpSocket> m_data;
    QFile m_file;
    QByteArray m_inbox;               // control bytes not yet forming a whole reply
    bool m_transferAnnounced = false; // "150"/"125" seen
    bool m_sending = false;           // first chunk handed out
    bool m_dataDone = false;          // data connection closed after the last chunk
    quint16 m_listenPort = 0;
};

} // namespace vigilux::net
