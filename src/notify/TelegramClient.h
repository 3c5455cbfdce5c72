#pragma once

#include "notify/NotifyResult.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkReply;

namespace vigilux::notify {

// Sends messages, pictures and videos to one chat through a Telegram bot
// (the Bot API over HTTPS: sendMessage, sendPhoto, sendVideo as multipart
// forms). One request at a time; every request ends with exactly one
// `finished`, always after the call that started it has returned.
//
// UI thread only, driven by QNetworkAccessManager's signals; no nested event
// loops. Every request is bounded (no progress for `idleMs`, or `totalMs` in
// all). The token is part of the request path, so no text this class makes
// (errors included) is ever built from anything that holds the address.
class TelegramClient final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TelegramClient)

public:
    // The Bot API refuses larger uploads from bots.
    static constexpr qint64 MaxPhotoBytes = 10LL * 1024 * 1024;
    static constexpr qint64 MaxUploadBytes = 50LL * 1024 * 1024;
    // An answer longer than this is not one the Bot API sends.
    static constexpr qint64 MaxAnswerBytes = 1024 * 1024;

    struct Bounds {
        int idleMs = 30000;
        int totalMs = 180000;
    };

    // Where to send: the API's base address (a local Bot API server or a
    // test may stand in for the public one), the bot's token, the chat.
    struct Target {
        QString apiBase;
        QString token;
        QString chatId;
    };

    explicit TelegramClient(QObject* parent = nullptr);
    ~TelegramClient() override;

    static QString defaultApiBase();

    bool isBusy() const { return m_busy; }
    void setBounds(const Bounds& bounds) { m_bounds = bounds; }

    void sendMessage(const Target& target, const QString& text);
    // JPEG and PNG pictures go as photos; any other picture (BMP) as a
    // document, which the API takes byte for byte.
    void sendPhoto(const Target& target, const QString& caption, const QString& path);
    void sendVideo(const Target& target, const QString& caption, const QString& path);

    // Why a target cannot be used, or "" when it can.
    static QString checkTarget(const Target& target);

signals:
    void finished(const vigilux::notify::NotifyResult& result);

private:
    void sendFile(const Target& target, const QString& method, const QString& field,
                  const QString& caption, const QString& path, qint64 limit);
    bool begin(const Target& target);
    void start(const Target& target, const QString& method, QNetworkRequest request,
               class QHttpMultiPart* form, const QByteArray& body);
    void onFinished();
    void onDeadline();
    void finish(NotifyResult result);
    void finishLater(const NotifyResult& result);
    NotifyResult readAnswer(QNetworkReply& reply) const;

    QNetworkAccessManager m_network;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    Bounds m_bounds;
    QString m_token; // of the request in progress, to keep it out of texts
    bool m_busy = false;
    bool m_timedOut = false;
    bool m_tooLong = false;
};

} // namespace vigilux::notify
