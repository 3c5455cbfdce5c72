#include "FtpServerProcess.h"

#include "NetTestHelpers.h"

#include <utility>

#include <signal.h>

namespace vigilux::test {

FtpServerProcess::FtpServerProcess(QString user, QString password)
    : m_user(std::move(user))
    , m_password(std::move(password)) {}

FtpServerProcess::~FtpServerProcess() {
    stop();
}

bool FtpServerProcess::start(quint16 port) {
    m_port = startPythonServer(m_process,
                               {QStringLiteral(VIGILUX_FTP_SERVER_SCRIPT), QString::number(port),
                                m_folder.path(), m_user, m_password},
                               QStringLiteral("python3 with pyftpdlib is needed"), m_error);
    return m_port != 0;
}

void FtpServerProcess::stop() {
    resume(); // a stopped server would not end on SIGTERM
    stopPythonServer(m_process);
}

void FtpServerProcess::pause() {
    if (m_process.processId() > 0)
        ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
}

void FtpServerProcess::resume() {
    if (m_process.processId() > 0)
        ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
}

} // namespace vigilux::test
