#pragma once

#include "support/HttpServer.h"
#include "support/TestSupport.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

namespace TestSupport {

// A weekly archive and the daily files after it, of one population, made by the shared generator
// (uls_synth.py --dailies): the weekly extracted into weekly/ (with its counts file), the dailies in
// daily/, and final/ the weekly with every day applied.
class CUlsDailySet
{
public:
    // False (and *why) when the generator is not there or fails.
    bool Make(const QString& folder, int licences, int days, double rate, const QString& asOf = {},
              QString* why = nullptr);

    QString Weekly() const { return m_folder + QStringLiteral("/weekly"); }
    QString Final() const { return m_folder + QStringLiteral("/final"); }
    QString DailyZip(const QString& fileName) const
    {
        return m_folder + QStringLiteral("/daily/") + fileName;
    }
    QDate WeeklyDate() const { return m_asOf; }

    // The call signs the days changed (new, renewed, cancelled, expired, moved, renamed), each once.
    QStringList ChangedCalls() const { return m_changed; }
    // The changes of one day: identifier, call sign, kind.
    struct CChange
    {
        int day;
        qint32 id;
        QString call;
        QString kind;
    };
    QList<CChange> Changes() const { return m_changes; }

private:
    QString m_folder;
    QDate m_asOf;
    QStringList m_changed;
    QList<CChange> m_changes;
};

// The path of the generator: ../shared/tools/uls_synth.py beside the source tree.
QString UlsSynthPath();

// The rows of the FCC tables, each table's rows sorted (EN by identifier, then as they came), as text: two
// databases that hold the same licences give the same list.
QStringList FccRows(const QString& dbPath);

// Makes the server answer the route ("/daily/l_am_mon.zip") with a copy of the file, as a ZIP archive.
void ServeFile(CHttpServer& server, const QString& route, const QString& file);

} // namespace TestSupport
