#include "gui/app/LogwardenDoc.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/db/Database.h"
#include "core/fcc/FccLookup.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogSchema.h"

CLogwardenDoc::CLogwardenDoc(CSettings& settings, const CClock& clock, CSecretStore& secrets, QObject* parent)
    : QObject(parent), m_settings(settings), m_clock(clock), m_secrets(secrets),
      m_fcc(std::make_unique<CFccDatabase>())
{
}

CLogwardenDoc::~CLogwardenDoc()
{
    m_form.reset();
    m_store.reset();
    m_reader.reset();
    m_database.reset();
}

void CLogwardenDoc::OpenLog(const QString& path)
{
    m_logPath = path;
    m_form.reset();
    m_store.reset();
    m_reader.reset();
    m_database.reset();
    auto db = std::make_unique<CDatabase>(path, CDatabase::ReadWriteCreate);
    LogSchema::Prepare(*db);
    // After the schema exists: a read-only connection cannot create it.
    m_reader = std::make_unique<CDatabase>(path, CDatabase::ReadOnly);
    m_database = std::move(db);
    m_store = std::make_unique<CCheckinStore>(*m_database);
    m_form = std::make_unique<CCheckinForm>(*m_store, m_clock);
    // F5 never fails because another program holds the log: the check-in waits for it.
    m_form->SetWaitForLog(true);
}

CDatabase& CLogwardenDoc::LogReader()
{
    if (!m_reader)
        throw CDBException(QStringLiteral("The log \"%1\" is not open.").arg(m_logPath));
    return *m_reader;
}

CCheckinStore& CLogwardenDoc::Store()
{
    if (!m_store)
        throw CDBException(QStringLiteral("The log \"%1\" is not open.").arg(m_logPath));
    return *m_store;
}

CCheckinForm& CLogwardenDoc::Form()
{
    if (!m_form)
        throw CDBException(QStringLiteral("The log \"%1\" is not open.").arg(m_logPath));
    return *m_form;
}

QDate CLogwardenDoc::SelectedDay() const
{
    return m_form && m_form->Day().isValid() ? m_form->Day() : m_clock.Today();
}

void CLogwardenDoc::SetTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged(title);
}
