#include "LocalFtpServer.h"

namespace vigilux::bench {

LocalFtpServer::LocalFtpServer(const QString& folder) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(VIGILUX_FTP_SERVER_SCRIPT), QStringLiteral("0"), folder,
                     QStringLiteral("bob"), QStringLiteral("secret")});
    // The script's first line says "port N" once it listens.
    QByteArray line;
    while (!line.endsWith('\n') && m_process.waitForReadyRead(15000))
        line += m_process.readLine();
    if (line.startsWith("port "))
        m_port = static_cast<quint16>(line.mid(5).trimmed().toUInt());
}

LocalFtpServer::~LocalFtpServer() {
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
}

QByteArray incompressibleBytes(qint64 size, qint64 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 b = 0; b < size; ++b)
        bytes[b] = static_cast<char>(((b + seed) * 2654435761u) >> 13);
    return bytes;
}

} // namespace vigilux::bench
