#pragma once

#include <QObject>
#include <QString>
#include <memory>

class CClock;
class CDatabase;
class CLogwardenSet;
class CSettings;

// The one document: the log's database connection, the main record set and the selected day.
class CLogwardenDoc : public QObject
{
    Q_OBJECT
public:
    CLogwardenDoc(CSettings& settings, const CClock& clock, QObject* parent = nullptr);
    ~CLogwardenDoc() override;

    // Opens (creating when missing) the log file; raises CDBException when it cannot, for example when
    // the file is not a database. The main set is constructed but not opened.
    void OpenLog(const QString& path);
    bool IsLogOpen() const { return m_database != nullptr; }
    CDatabase& GetDatabase();
    CLogwardenSet& GetMainSet();
    // Releases the main set and the connection (emptying the log); ReopenLog connects again.
    void CloseLog();
    void ReopenLog();
    const QString& GetLogPath() const { return m_logPath; }

    // "%Y %m %d", empty until the day tree or the calendar sets it.
    const QString& GetSelectedDay() const { return m_selectedDay; }
    void SetSelectedDay(const QString& day);

    const QString& GetTitle() const { return m_title; }
    void SetTitle(const QString& title);

    CSettings& Settings() { return m_settings; }
    const CClock& Clock() const { return m_clock; }

Q_SIGNALS:
    void titleChanged(const QString& title);
    void selectedDayChanged(const QString& day);

private:
    CSettings& m_settings;
    const CClock& m_clock;
    QString m_logPath;
    std::unique_ptr<CDatabase> m_database;
    std::unique_ptr<CLogwardenSet> m_mainSet;
    QString m_selectedDay;
    QString m_title;
};
