#pragma once

#include "core/fcc/FccDbBuild.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TestSupport {

// One line of a ULS file: the fields joined by "|", in Latin-1, without a line end.
QByteArray UlsLine(const QStringList& fields);
// Lines of today's layout (AM 18, EN 30, HD 59 fields, the last not followed by "|").
QByteArray AmLine(int id, const QString& call, const QString& operatorClass);
QByteArray EnLine(int id, const QString& call, const QString& name, const QString& street,
                  const QString& city, const QString& state, const QString& zip, const QString& poBox = {});
QByteArray HdLine(int id, const QString& call, const QString& status = QStringLiteral("A"));
// Lines joined with CR LF, the last one ended too.
QByteArray CrLf(const QList<QByteArray>& lines);

// Writes AM.dat, EN.dat and HD.dat into the folder.
void WriteUlsFiles(const QString& folder, const QByteArray& am, const QByteArray& en, const QByteArray& hd);

// Builds the database from the ULS files of the folder and waits for the end (a minute at most).
struct CBuildOutcome
{
    CFccDbBuild::State state = CFccDbBuild::Idle;
    QString message;
    CUlsStageStats stats[3];
};
CBuildOutcome BuildFccDb(const QString& inputFolder, const QString& outputPath,
                         CFccDbBuild::CObserver observer = {});

} // namespace TestSupport
