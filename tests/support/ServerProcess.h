#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace TestSupport {

// A test server script from tests/support (http_server.py, ftp_server.py) running on 127.0.0.1. It
// prints the port it listens on; it stops when this object goes (its standard input closes).
class CServerProcess
{
public:
    CServerProcess(const QString& script, const QStringList& args);
    ~CServerProcess();
    int Port() const { return m_port; }
    QString Url(const QString& scheme, const QString& path) const;

private:
    QProcess m_process;
    int m_port = 0;
};

// A port on 127.0.0.1 that nothing listens on (bound, then released).
int ClosedPort();

} // namespace TestSupport
