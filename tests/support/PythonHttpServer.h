#pragma once

#include <QProcess>
#include <QString>

namespace vigilux::test {

// A real HTTP server: Python's http.server serving a folder on a free
// loopback port, for the duration of the object.
class PythonHttpServer final {
public:
    PythonHttpServer() = default;
    ~PythonHttpServer();
    PythonHttpServer(const PythonHttpServer&) = delete;
    PythonHttpServer& operator=(const PythonHttpServer&) = delete;

    // Starts serving `folder`; false when the server did not come up within
    // ten seconds.
    bool start(const QString& folder);
    quint16 port() const { return m_port; }

private:
    QProcess m_process;
    quint16 m_port = 0;
};

} // namespace vigilux::test
