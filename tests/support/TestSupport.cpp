#include "support/TestSupport.h"

#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/detail/LogwardenSet.h"

#include <QFile>
#include <QProcess>
#include <QtTest>

#include <signal.h>

namespace TestSupport {

CScratch::CScratch()
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
}

int AddCheckin(CDatabase& db, const CCheckin& c)
{
    CLogwardenSet set(&db);
    // An ID filter that matches nothing keeps the open cheap on a large log.
    set.SetFilter(LogFilter::Id(-1));
    set.Open();
    set.AddNew();
    set.m_CallSign = c.call;
    set.m_Name = c.name;
    set.m_Street = c.street;
    set.m_Location = c.location;
    set.m_Comment = c.comment;
    set.m_Date = CDateTime(c.when);
    set.m_Acknowledged = c.ack;
    set.m_HasTraffic = c.traffic;
    set.m_HasComments = c.comments;
    set.m_Class = c.cls;
    set.m_YourGrid = c.grid;
    set.m_eMailAddr = c.email;
    set.Update();
    return static_cast<int>(set.GetLastInsertedKey());
}

CCliRun RunCli(const QStringList& args, const QList<QPair<QString, QString>>& environment)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : environment) {
        if (value.isNull())
            env.remove(name);
        else
            env.insert(name, value);
    }
    p.setProcessEnvironment(env);
    p.start(CliPath(), args);
    if (!p.waitForFinished(120000))
        qFatal("logwarden-cli did not finish");
    CCliRun run;
    run.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.rawOut = p.readAllStandardOutput();
    run.out = QString::fromUtf8(run.rawOut);
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString SourceDir()
{
    const QString dir = QString::fromLocal8Bit(qgetenv("LOGWARDEN_SOURCE_DIR"));
    return dir.isEmpty() ? QStringLiteral(".") : dir;
}

QString CliPath()
{
    return QString::fromLocal8Bit(qgetenv("LOGWARDEN_CLI"));
}

void Signal(const QProcess& process, int sig)
{
    if (const qint64 pid = process.processId(); pid > 0)
        ::kill(pid_t(pid), sig);
}

} // namespace TestSupport
