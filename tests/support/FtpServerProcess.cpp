#include "FtpServerProcess.h"

#include <utility>

namespace vigilux::test {

FtpServerProcess::FtpServerProcess(QString user, QString password)
    : m_user(std::move(user))
    , m_password(std::move(password)) {}

FtpServerProcess::~FtpServerProcess() {
    stop();
}

bool FtpServerProcess::start(quint16 port) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(VIGILUX_FTP_SERVER_SCRIPT), QString::number(port),
                     m_folder.path(), m_user, m_password});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("python3 with pyftpdlib is needed");
        return false;
    }
    QByteArray line;
    while (!line.endsWith('\n') && m_process.waitForReadyRead(15000))
        line += m_process.readLine();
    if (!line.startsWith("port ")) {
        m_error = QString::fromUtf8(line);
        stop();
        return false;
    }
    m_port = static_cast<quint16>(line.mid(5).trimmed().toUInt());
    return m_port != 0;
}

void FtpServerProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    // The server ends when its standard input closes.
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

} // namespace vigilux::test
