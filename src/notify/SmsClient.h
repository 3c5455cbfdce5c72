#pragma once

#include "core/TransferState.h"

#include <QAbstractSocket>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

namespace vigilux::notify {

// Client of the SMS gateway: sends a message, asks for the account balance
// or for the price of one message. Each operation is one HTTP/1.0 GET on a
// fresh connection to the gateway host; the answer is read until the server
// closes. Results come back as the signals balance, cost and failed; while a
// request runs the status picture blinks (stateChanged between Queued and Working),
// then shows Done or Failed.
//
// UI thread only: everything runs from timer ticks and socket signals, no
// nested event loops. Every request is bounded by timeoutMs() (connect plus
// answer); a server that never closes ends with failed.
class SmsClient final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SmsClient)

public:
    static constexpr quint16 DefaultGatewayPort = 80;
    static constexpr int StartDelayMs = 500;
    static constexpr int BlinkIntervalMs = 150;
    static constexpr int DefaultTimeoutMs = 30000;
    // An answer longer than this is not one the gateway sends.
    static constexpr qsizetype MaxResponseBytes = 1024 * 1024;
    // Pictures: none before the first request, done after an answer,
    // failed after an error (1 and 2 blink while a request runs).
    using State = core::TransferState;

    static QString defaultGatewayHost();
    // Named in the text for an unrecognised answer.
    static QString relayHostName();
    static QString userAgent();

    explicit SmsClient(QObject* parent = nullptr);
    ~SmsClient() override;

    // Ignored while another request is pending or running (mode() is not 0).
    void sendSms(const QString& number, const QString& text, const QString& key);
    // Ignored while another request is pending or running.
    void requestBalance(const QString& key);
    // Not guarded: supersedes a pending or running request.
    void requestCost(const QString& phone);

    QString requestPath() const { return m_requestPath; }
    QString response() const { return m_response; }
    // The request pending or running: 0 none, 1 send, 2 balance, 3 cost.
    qint16 mode() const { return m_mode; }
    bool blinkOn() const { return m_blinkOn; }
    // The visible status picture, 1..4.
    State state() const { return m_state; }

    QString gatewayHost() const { return m_gatewayHost; }
    void setGatewayHost(const QString& host) { m_gatewayHost = host; }
    quint16 gatewayPort() const { return m_gatewayPort; }
    void setGatewayPort(quint16 port) { m_gatewayPort = port; }
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    const QTimer& delayTimer() const { return m_delayTimer; }
    const QTimer& blinkTimer() const { return m_blinkTimer; }

    // A value as it goes into the query: the characters that would change
    // the request's meaning (& = # % + ? space and control characters) as
    // %XX, everything else (Cyrillic included) unchanged, so it still goes
    // out as Windows-1251 bytes.
    static QString queryValue(const QString& value);

    // The request text for a path, as sent (before conversion to bytes).
    static QString requestText(const QString& path, const QString& host);

    // The number shown after "Ошибка соединения #" for a socket error.
    static int errorNumber(QAbstractSocket::SocketError error);

signals:
    void balance(const QString& result);
    void cost(const QString& result);
    void failed(const QString& result);
    void stateChanged(core::TransferState state);

private:
    bool refuseLineBreaks(std::initializer_list<const QString*> values);
    void startRequest(qint16 mode, const QString& path);
    void abortRunning();
    void onDelayTick();
    void onBlinkTick();
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onError(QAbstractSocket::SocketError error);
    void onDeadline();
    void fail(int number);
    void showState(State state);

    QString m_requestPath;
    QString m_response;
    qint16 m_mode = 0;
    bool m_blinkOn = false;
    State m_state = State::None;

    QString m_gatewayHost;
    quint16 m_gatewayPort = DefaultGatewayPort;
    int m_timeoutMs = DefaultTimeoutMs;

    // True from the connect until the request has ended; socket signals
    // arriving outside that window belong to an abandoned connection.
    bool m_inFlight = false;
    qsizetype m_receivedBytes = 0;

    QTimer m_delayTimer;
    QTimer m_blinkTimer;
    QTimer m_deadline;
    QTcpSocket m_socket;
};

} // namespace vigilux::notify
