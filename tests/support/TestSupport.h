#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class CDatabase;
class CLogwardenSet;

class QProcess;

namespace TestSupport {

// A fresh temporary folder for one test; removed with the object.
class CScratch
{
public:
    CScratch();
    QString Path() const { return m_dir.path(); }
    QString File(const QString& name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
};

// Adds one check-in directly (the way the form would after F5) and returns its ID.
struct CCheckin
{
    QString call;
    QDateTime when;
    QString name = {};
    QString comment = {};
    bool ack = false;
    bool traffic = false;
    bool comments = false;
    QString location = {};
    QString street = {};
    QString cls = {};
    QString grid = {};
    QString email = {};
};
int AddCheckin(CDatabase& db, const CCheckin& c);

// One run of logwarden-cli: its exit code (-1 when it crashed) and what it wrote.
struct CCliRun
{
    int exitCode = -1;
    QString out;
    QString err;
    QByteArray rawOut;
};
// Runs logwarden-cli with the arguments, adding the variables to the test's own environment (a null
// value removes the variable).
CCliRun RunCli(const QStringList& args, const QList<QPair<QString, QString>>& environment = {});

// The file's bytes, or "<missing>" when it cannot be read.
QByteArray ReadFile(const QString& path);
// Writes the file whole; a file that cannot be written ends the test run.
void WriteFile(const QString& path, const QByteArray& content);

// The source tree, for scripts and fixtures.
QString SourceDir();
// The logwarden-cli executable built with the tests.
QString CliPath();
// Sends a signal to a started program; nothing once it has ended (kill() of pid 0 would hit the whole
// process group: the test run itself).
void Signal(const QProcess& process, int sig);

} // namespace TestSupport
