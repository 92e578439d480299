#pragma once

#include "core/log/CheckinRecord.h"

#include <QString>
#include <QStringList>
#include <vector>

// What one source of station details knows of a call sign, and which source said it.
struct CCallbookAnswer
{
    enum class Source
    {
        None,        // no source knew the call
        LastCheckin, // the station's newest check-in in the log
        Fcc,         // the local FCC licence database
        Qrz,         // the QRZ XML callbook
        PreNetEntry, // what the station typed into the club's pre-net form
    };
    Source source = Source::None;
    bool found = false;
    // The station's values in the log's columns (callSign, name, street, location, cls, yourGrid, email):
    // those the source knows, the others empty. A last check-in carries all its columns.
    CCheckinRecord station;
    // For the status bar: "W1AW: licence active", "N0UNK is not in the FCC licence database".
    QString statusText;
    // Why the source could not answer (no database yet, QRZ refused the login); empty when it answered.
    QString error;
};

// One source of station details: the log, a licence database, an online callbook. A new source is one
// class that answers LookUp; the callers take it through a CCallbookChain.
class CCallbook
{
public:
    virtual ~CCallbook() = default;
    virtual CCallbookAnswer::Source Source() const = 0;
    // Never throws: a failure comes back in the answer's error, with found false.
    virtual CCallbookAnswer LookUp(const QString& callSign) = 0;
};

// Sources asked in their order until one knows the call: for the pre-net move the station's last
// check-in, then the FCC database. The answer names the source that knew it; when none did, it is the
// last source's answer (its status text says the call is unknown). Failures() keeps the answers of the
// sources that could not look (their error), so that the caller can tell which one failed.
class CCallbookChain
{
public:
    CCallbookChain& Add(CCallbook& source);
    CCallbookAnswer LookUp(const QString& callSign);
    const std::vector<CCallbookAnswer>& Failures() const { return m_failures; }

private:
    std::vector<CCallbook*> m_sources;
    std::vector<CCallbookAnswer> m_failures;
};

namespace Callbook {

// The check-in with its empty station columns (Name, Street, Location, Class, YourGrid, eMailAddr) filled
// from the answer; a filled column is never overwritten. `filled` receives the names of the columns
// written.
CCheckinRecord FillEmpty(const CCheckinRecord& checkin, const CCheckinRecord& station,
                         QStringList* filled = nullptr);

} // namespace Callbook
