#pragma once

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>
#include <memory>

class CDatabase;
class CLogwardenSet;

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

// The source tree, for scripts and fixtures.
QString SourceDir();
// The logwarden-cli executable built with the tests.
QString CliPath();

} // namespace TestSupport
