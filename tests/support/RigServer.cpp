#include "support/RigServer.h"

#include "support/ServerProcess.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <signal.h>

namespace TestSupport {

bool CRigServer::Available()
{
    return !QStandardPaths::findExecutable(QStringLiteral("rigctld")).isEmpty() &&
           !QStandardPaths::findExecutable(QStringLiteral("rigctl")).isEmpty();
}

CRigServer::CRigServer(const QString& pttType) : m_pttType(pttType)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A free port may be taken by someone else before rigctld binds it: try a few.
    for (int attempt = 0; attempt < 5; ++attempt)
        if (StartOn(ClosedPort()))
            return;
}

CRigServer::~CRigServer()
{
    Kill();
}

QString CRigServer::Address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

bool CRigServer::Start()
{
    return StartOn(m_port);
}

bool CRigServer::StartOn(int port)
{
    Kill();
    m_port = port;
    m_error.clear();
    m_process.start(QStringLiteral("rigctld"),
                    {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-P"), m_pttType,
                     QStringLiteral("-T"), QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                     QString::number(port)});
    if (!m_process.waitForStarted(10000)) {
        m_error = QStringLiteral("rigctld does not start: %1").arg(m_process.errorString());
        return false;
    }
    // Ready once it takes a connection.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (m_process.state() != QProcess::Running) {
            m_error = QStringLiteral("rigctld ended at once (port %1 taken?)").arg(port);
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
        if (probe.waitForConnected(500))
            return true;
        QThread::msleep(50);
    }
    m_error = QStringLiteral("rigctld does not listen on port %1").arg(port);
    return false;
}

void CRigServer::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill(); // SIGKILL ends a frozen process as well
    m_process.waitForFinished(10000);
    m_paused = false;
}

void CRigServer::Pause()
{
    if (m_process.state() == QProcess::Running && !m_paused) {
        Signal(m_process, SIGSTOP);
        m_paused = true;
    }
}

void CRigServer::Resume()
{
    if (m_paused) {
        Signal(m_process, SIGCONT);
        m_paused = false;
    }
}

QString CRigServer::Rigctl(const QStringList& args) const
{
    QProcess rigctl;
    rigctl.start(QStringLiteral("rigctl"),
                 QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"), Address()} +
                     args);
    if (!rigctl.waitForFinished(20000)) {
        rigctl.kill();
        rigctl.waitForFinished();
        return QStringLiteral("<rigctl did not finish>");
    }
    return QString::fromLocal8Bit(rigctl.readAllStandardOutput()).trimmed();
}

} // namespace TestSupport
