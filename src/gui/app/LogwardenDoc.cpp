#include "gui/app/LogwardenDoc.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/log/LogwardenSet.h"

CLogwardenDoc::CLogwardenDoc(CSettings& settings, const CClock& clock, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock)
{
}

CLogwardenDoc::~CLogwardenDoc()
{
    m_mainSet.reset();
    m_database.reset();
}

void CLogwardenDoc::OpenLog(const QString& path)
{
    m_logPath = path;
    m_mainSet.reset();
    m_database.reset();
    auto db = std::make_unique<CDatabase>(path, CDatabase::ReadWriteCreate);
    CLogwardenSet::PrepareDatabase(*db);
    m_database = std::move(db);
    m_mainSet = std::make_unique<CLogwardenSet>(m_database.get());
}

CDatabase& CLogwardenDoc::GetDatabase()
{
    if (!m_database)
        throw CDBException(QStringLiteral("The log \"%1\" is not open.").arg(m_logPath));
    return *m_database;
}

CLogwardenSet& CLogwardenDoc::GetMainSet()
{
    if (!m_mainSet)
        throw CDBException(QStringLiteral("The log \"%1\" is not open.").arg(m_logPath));
    return *m_mainSet;
}

void CLogwardenDoc::CloseLog()
{
    if (m_mainSet)
        m_mainSet->Close();
}

void CLogwardenDoc::ReopenLog()
{
    OpenLog(m_logPath);
}

void CLogwardenDoc::SetSelectedDay(const QString& day)
{
    if (day == m_selectedDay)
        return;
    m_selectedDay = day;
    Q_EMIT selectedDayChanged(day);
}

void CLogwardenDoc::SetTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged(title);
}
