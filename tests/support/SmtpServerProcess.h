#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace vigilux::test {

// A real SMTP server (aiosmtpd, run by /usr/bin/python3) on 127.0.0.1 that
// keeps every message it accepts as a JSON file: envelope, decoded subject,
// text and attachments. Stops when destroyed.
class SmtpServerProcess final {
public:
    struct Options {
        QString certFile; // with a certificate: STARTTLS offered and required
        QString keyFile;
        QString login; // with a login: authentication required
        QString password;
    };

    SmtpServerProcess() = default;
    ~SmtpServerProcess();
    SmtpServerProcess(const SmtpServerProcess&) = delete;
    SmtpServerProcess& operator=(const SmtpServerProcess&) = delete;

    // False, with error() saying why, when it does not come up within 15 s.
    bool start(const Options& options = {});
    void stop();

    quint16 port() const { return m_port; }
    QString error() const { return m_error; }
    // The messages accepted so far, in order: keys "from", "to" (list),
    // "subject", "header_to", "text", "attachments" (list of "name", "type",
    // "data" in base64).
    QList<QJsonObject> messages() const;

    // A self-signed certificate for 127.0.0.1 made with openssl in `folder`;
    // false when openssl failed.
    static bool makeCertificate(const QString& folder, QString& certFile, QString& keyFile);

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace vigilux::test
