#include "support/UlsFiles.h"

#include "core/jobs/MThreadedJobQ.h"

#include <QFile>
#include <QtTest>

namespace TestSupport {

QByteArray UlsLine(const QStringList& fields)
{
    return fields.join(QLatin1Char('|')).toLatin1();
}

QByteArray AmLine(int id, const QString& call, const QString& operatorClass)
{
    QStringList f(18);
    f[0] = QStringLiteral("AM");
    f[1] = QString::number(id);
    f[4] = call;
    f[5] = operatorClass;
    f[6] = QStringLiteral("D");
    f[7] = QStringLiteral("1");
    return UlsLine(f);
}

QByteArray EnLine(int id, const QString& call, const QString& name, const QString& street,
                  const QString& city, const QString& state, const QString& zip, const QString& poBox)
{
    QStringList f(30);
    f[0] = QStringLiteral("EN");
    f[1] = QString::number(id);
    f[4] = call;
    f[5] = QStringLiteral("L");
    f[7] = name;
    f[15] = street;
    f[16] = city;
    f[17] = state;
    f[18] = zip;
    f[19] = poBox;
    f[21] = QStringLiteral("000");
    f[23] = QStringLiteral("I");
    return UlsLine(f);
}

QByteArray HdLine(int id, const QString& call, const QString& status)
{
    QStringList f(59);
    f[0] = QStringLiteral("HD");
    f[1] = QString::number(id);
    f[4] = call;
    f[5] = status;
    f[6] = QStringLiteral("HA");
    f[7] = QStringLiteral("01/23/2023");
    f[8] = QStringLiteral("01/23/2033");
    return UlsLine(f);
}

QByteArray CrLf(const QList<QByteArray>& lines)
{
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

void WriteUlsFiles(const QString& folder, const QByteArray& am, const QByteArray& en, const QByteArray& hd)
{
    WriteFile(folder + QStringLiteral("/AM.dat"), am);
    WriteFile(folder + QStringLiteral("/EN.dat"), en);
    WriteFile(folder + QStringLiteral("/HD.dat"), hd);
}

CBuildOutcome BuildFccDb(const QString& inputFolder, const QString& outputPath,
                         CFccDbBuild::CObserver observer)
{
    CMThreadedJobQ queue;
    CFccDbBuild build(queue, std::move(observer));
    build.Start(inputFolder, outputPath);
    CBuildOutcome outcome;
    if (!build.Wait(std::chrono::minutes(1)))
        qFatal("the FCC database build did not end");
    outcome.state = build.GetState();
    outcome.message = build.GetMessage();
    for (int i = 0; i < 3; ++i)
        outcome.stats[i] = build.GetStats(i);
    return outcome;
}

} // namespace TestSupport
