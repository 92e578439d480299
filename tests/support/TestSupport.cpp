#include "support/TestSupport.h"

#include "core/db/Database.h"
#include "core/log/LogFilter.h"
#include "core/log/LogwardenSet.h"

#include <QtTest>

namespace TestSupport {

CScratch::CScratch()
{
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
}

int AddCheckin(CDatabase& db, const CCheckin& c)
{
    CLogwardenSet set(&db);
    // An ID filter that matches nothing keeps the open cheap on a large log.
    set.SetFilter(LogFilter::Id(-1));
    set.Open();
    set.AddNew();
    set.m_CallSign = c.call;
    set.m_Name = c.name;
    set.m_Street = c.street;
    set.m_Location = c.location;
    set.m_Comment = c.comment;
    set.m_Date = CDateTime(c.when);
    set.m_Acknowledged = c.ack;
    set.m_HasTraffic = c.traffic;
    set.m_HasComments = c.comments;
    set.m_Class = c.cls;
    set.m_YourGrid = c.grid;
    set.m_eMailAddr = c.email;
    set.Update();
    return static_cast<int>(set.GetLastInsertedKey());
}

QString SourceDir()
{
    const QString dir = QString::fromLocal8Bit(qgetenv("LOGWARDEN_SOURCE_DIR"));
    return dir.isEmpty() ? QStringLiteral(".") : dir;
}

QString CliPath()
{
    return QString::fromLocal8Bit(qgetenv("LOGWARDEN_CLI"));
}

} // namespace TestSupport
