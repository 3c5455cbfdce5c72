#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace vigilux::test {

// A real FTP server (pyftpdlib, run by /usr/bin/python3) on 127.0.0.1,
// serving a temporary folder for one user. Stops when destroyed.
class FtpServerProcess final {
public:
    FtpServerProcess(QString user = QStringLiteral("bob"),
                     QString password = QStringLiteral("secret"));
    ~FtpServerProcess();
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;

    // Starts the server on `port` (0: a free one). False, with `error()`
    // saying why, when it does not come up within 15 s.
    bool start(quint16 port = 0);
    void stop();
    // Holds the server still (SIGSTOP) and lets it go on (SIGCONT): a test
    // that needs work left undone stops the peer instead of racing it.
    void pause();
    void resume();

    quint16 port() const { return m_port; }
    QString folder() const { return m_folder.path(); }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    QString error() const { return m_error; }

private:
    QString m_user;
    QString m_password;
    QTemporaryDir m_folder;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace vigilux::test
