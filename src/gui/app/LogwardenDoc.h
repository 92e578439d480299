#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <memory>

class CCheckinForm;
class CCheckinStore;
class CClock;
class CDatabase;
class CFccDatabase;
class CSecretStore;
class CSettings;

// The one document: the log's writer (the store, which owns the one connection that may write), a
// connection of the window's that SQLite opens read-only for everything else the window reads, the
// check-in form's state (which holds the selected day), the FCC licence database the look-ups read, and
// the passwords' store the program hands it.
class CLogwardenDoc : public QObject
{
    Q_OBJECT
public:
    CLogwardenDoc(CSettings& settings, const CClock& clock, CSecretStore& secrets, QObject* parent = nullptr);
    ~CLogwardenDoc() override;

    // Opens (creating when missing) the log file; raises CDBException when it cannot, for example when
    // the file is not a database.
    void OpenLog(const QString& path);
    bool IsLogOpen() const { return m_database != nullptr; }
    // The log for reading: counts, history, export, the pre-net and blast lists. Opened read-only, so that
    // a write through it fails; every change goes through Store(). It sees each committed change at once.
    CDatabase& LogReader();
    CCheckinStore& Store();
    CCheckinForm& Form();
    const QString& GetLogPath() const { return m_logPath; }

    // The day the window shows; today until the log is open.
    QDate SelectedDay() const;

    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title);

    CSettings& Settings() { return m_settings; }
    const CClock& Clock() const { return m_clock; }
    CSecretStore& Secrets() { return m_secrets; }
    CFccDatabase& FccDatabase() { return *m_fcc; }

Q_SIGNALS:
    void titleChanged(const QString& title);

private:
    CSettings& m_settings;
    const CClock& m_clock;
    CSecretStore& m_secrets;
    QString m_logPath;
    std::unique_ptr<CDatabase> m_database;
    std::unique_ptr<CDatabase> m_reader;
    std::unique_ptr<CCheckinStore> m_store;
    std::unique_ptr<CCheckinForm> m_form;
    std::unique_ptr<CFccDatabase> m_fcc;
    QString m_title;
};
