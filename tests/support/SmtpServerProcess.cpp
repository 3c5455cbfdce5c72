#include "SmtpServerProcess.h"

#include "NetTestHelpers.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

namespace vigilux::test {

SmtpServerProcess::~SmtpServerProcess() {
    stop();
}

bool SmtpServerProcess::start(const Options& options) {
    QStringList arguments{QStringLiteral(VIGILUX_SMTP_SERVER_SCRIPT), m_folder.path()};
    if (!options.certFile.isEmpty())
        arguments << QStringLiteral("--cert") << options.certFile << QStringLiteral("--key")
                  << options.keyFile;
    if (!options.login.isEmpty())
        arguments << QStringLiteral("--login") << options.login << QStringLiteral("--password")
                  << options.password;
    m_port = startPythonServer(m_process, arguments,
                               QStringLiteral("python3 with aiosmtpd is needed"), m_error);
    return m_port != 0;
}

void SmtpServerProcess::stop() {
    stopPythonServer(m_process);
}

QList<QJsonObject> SmtpServerProcess::messages() const {
    QList<QJsonObject> out;
    for (int n = 1;; ++n) {
        QFile file(QDir(m_folder.path()).filePath(QStringLiteral("%1.json").arg(n)));
        if (!file.open(QIODevice::ReadOnly))
            return out;
        out << QJsonDocument::fromJson(file.readAll()).object();
    }
}

bool SmtpServerProcess::makeCertificate(const QString& folder, QString& certFile,
                                        QString& keyFile) {
    certFile = QDir(folder).filePath(QStringLiteral("server.pem"));
    keyFile = QDir(folder).filePath(QStringLiteral("server.key"));
    QProcess openssl;
    openssl.setProcessChannelMode(
        QProcess::MergedChannels); // its progress dots stay out of the log
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), keyFile, QStringLiteral("-out"), certFile});
    return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit &&
           openssl.exitCode() == 0 && QFile::exists(certFile);
}

} // namespace vigilux::test
