#include "support/UlsDailies.h"

#include "core/db/Database.h"
#include "core/fcc/FccSchema.h"
#include "core/fcc/UlsArchive.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>

namespace TestSupport {

QString UlsSynthPath()
{
    const QString source = QString::fromLocal8Bit(qgetenv("LOGWARDEN_SOURCE_DIR"));
    return QDir(source.isEmpty() ? QStringLiteral(".") : source)
        .absoluteFilePath(QStringLiteral("../shared/tools/uls_synth.py"));
}

bool CUlsDailySet::Make(const QString& folder, int licences, int days, double rate, const QString& asOf,
                        QString* why)
{
    m_folder = folder;
    const QString synth = UlsSynthPath();
    if (!QFile::exists(synth)) {
        if (why)
            *why = QStringLiteral("no data generator at %1").arg(synth);
        return false;
    }
    QStringList args{synth,
                     QStringLiteral("--out"),
                     folder,
                     QStringLiteral("--licences"),
                     QString::number(licences),
                     QStringLiteral("--dailies"),
                     QString::number(days),
                     QStringLiteral("--daily-rate"),
                     QString::number(rate),
                     QStringLiteral("--zip")};
    if (!asOf.isEmpty())
        args << QStringLiteral("--as-of") << asOf;
    QProcess p;
    p.start(QStringLiteral("python3"), args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (why)
            *why = QStringLiteral("uls_synth.py failed: %1")
                       .arg(QString::fromLocal8Bit(p.readAllStandardError()));
        return false;
    }
    m_asOf = asOf.isEmpty() ? QDate(2025, 6, 1) : QDate::fromString(asOf, Qt::ISODate);
    // The weekly as the operator has it: extracted from its archive.
    UlsArchive::ExtractDataFiles(folder + QStringLiteral("/l_amat.zip"), Weekly(), nullptr, 1);

    QFile manifest(folder + QStringLiteral("/daily/daily_manifest.json"));
    if (!manifest.open(QIODevice::ReadOnly))
        return false;
    QSet<QString> seen;
    for (const QJsonValue& v : QJsonDocument::fromJson(manifest.readAll()).array()) {
        const QJsonObject o = v.toObject();
        const CChange c{
            o.value(QStringLiteral("day")).toInt(), qint32(o.value(QStringLiteral("usi")).toInt()),
            o.value(QStringLiteral("call")).toString(), o.value(QStringLiteral("kind")).toString()};
        m_changes << c;
        if (!seen.contains(c.call)) {
            seen.insert(c.call);
            m_changed << c.call;
        }
    }
    return true;
}

QStringList FccRows(const QString& dbPath)
{
    CDatabase db(dbPath, CDatabase::ReadOnly);
    QStringList rows;
    for (int t = 0; t < FccSchema::kTableCount; ++t) {
        const FccSchema::CTable& table = *FccSchema::Tables()[t];
        SQLite::Statement select(db.Handle(),
                                 QStringLiteral("SELECT * FROM \"%1\" ORDER BY UniqueSystemIdentifier, rowid")
                                     .arg(QLatin1String(table.name))
                                     .toStdString());
        while (select.executeStep()) {
            QStringList fields;
            for (int i = 0; i < select.getColumnCount(); ++i) {
                const SQLite::Column c = select.getColumn(i);
                fields << (c.isNull() ? QStringLiteral("<null>") : QString::fromUtf8(c.getText()));
            }
            rows << QLatin1String(table.name) + QLatin1Char(':') + fields.join(QLatin1Char('|'));
        }
    }
    return rows;
}

void ServeFile(CHttpServer& server, const QString& route, const QString& file)
{
    const QString name =
        QStringLiteral("served-") + QString(route).replace(QLatin1Char('/'), QLatin1Char('_'));
    QFile::remove(server.Root() + QLatin1Char('/') + name);
    QFile::copy(file, server.Root() + QLatin1Char('/') + name);
    server.Route(route,
                 QJsonObject{{QStringLiteral("body_file"), name},
                             {QStringLiteral("headers"), QJsonObject{{QStringLiteral("Content-Type"),
                                                                      QStringLiteral("application/zip")}}}});
}

} // namespace TestSupport
