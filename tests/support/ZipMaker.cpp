#include "support/ZipMaker.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

namespace TestSupport {

QString Python()
{
    return QFile::exists(QStringLiteral("/usr/bin/python3")) ? QStringLiteral("/usr/bin/python3")
                                                             : QStringLiteral("python3");
}

QString MakeZip(const QJsonObject& recipe)
{
    QProcess p;
    p.start(Python(), {SourceDir() + QStringLiteral("/tests/support/zipmaker.py")});
    if (!p.waitForStarted(10000))
        qFatal("cannot start python3 for zipmaker.py");
    p.write(QJsonDocument(recipe).toJson(QJsonDocument::Compact));
    p.closeWriteChannel();
    p.waitForFinished(60000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("zipmaker.py failed: %s", p.readAllStandardError().constData());
    return recipe.value(QStringLiteral("out")).toString();
}

} // namespace TestSupport
