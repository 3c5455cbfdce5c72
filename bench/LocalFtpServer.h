#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace vigilux::bench {

// The test suite's pyftpdlib server on a free loopback port, serving one
// folder to the account bob/secret; stopped when this object goes.
class LocalFtpServer final {
public:
    explicit LocalFtpServer(const QString& folder);
    ~LocalFtpServer();
    LocalFtpServer(const LocalFtpServer&) = delete;
    LocalFtpServer& operator=(const LocalFtpServer&) = delete;

    // The control port; 0 when the server did not start.
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

// `size` bytes that do not compress, different for every `seed`.
QByteArray incompressibleBytes(qint64 size, qint64 seed = 0);

} // namespace vigilux::bench
