#include "FtpServerProcess.h"

#include "NetTestHelpers.h"

#include <utility>

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
    stopPythonServer(m_process);
}

} // namespace vigilux::test
