#include "support/ServerProcess.h"

#include "support/TestSupport.h"
#include "support/ZipMaker.h"

#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace TestSupport {

CServerProcess::CServerProcess(const QString& script, const QStringList& args)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(Python(), QStringList{SourceDir() + QStringLiteral("/tests/support/") + script} + args);
    if (!m_process.waitForStarted(10000))
        qFatal("cannot start %s", qPrintable(script));
    QByteArray line;
    while (!line.endsWith('\n')) {
        if (!m_process.waitForReadyRead(20000))
            qFatal("%s did not report its port", qPrintable(script));
        line += m_process.readLine();
    }
    if (!line.startsWith("PORT "))
        qFatal("%s said: %s", qPrintable(script), line.constData());
    m_port = line.mid(5).trimmed().toInt();
}

CServerProcess::~CServerProcess()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString CServerProcess::Url(const QString& scheme, const QString& path) const
{
    return QStringLiteral("%1://127.0.0.1:%2%3").arg(scheme).arg(m_port).arg(path);
}

int ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        qFatal("cannot find a free port");
    ::close(fd);
    return ntohs(addr.sin_port);
}

} // namespace TestSupport
