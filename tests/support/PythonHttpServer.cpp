#include "PythonHttpServer.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace vigilux::test {

PythonHttpServer::~PythonHttpServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool PythonHttpServer::start(const QString& folder) {
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-u"), QStringLiteral("-m"), QStringLiteral("http.server"),
                     QStringLiteral("0"), QStringLiteral("--bind"), QStringLiteral("127.0.0.1"),
                     QStringLiteral("--directory"), folder});
    if (!m_process.waitForStarted(5000))
        return false;
    // It announces "Serving HTTP on 127.0.0.1 port N (...)".
    static const QRegularExpression portLine(QStringLiteral("port (\\d+)"));
    QByteArray output;
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        output += m_process.readAll();
        const auto match = portLine.match(QString::fromUtf8(output));
        if (match.hasMatch()) {
            m_port = static_cast<quint16>(match.captured(1).toUInt());
            return m_port != 0;
        }
    }
    return false;
}

} // namespace vigilux::test
