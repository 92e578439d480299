#pragma once

#include "core/callbook/Callbook.h"
#include "core/fcc/FccLookup.h"

// The local FCC licence database as a source of the look-up chain (F7, the pre-net move). The answer's
// status text is the one the status bar shows: "W1AW: licence active", "Licence expired on 2019-05-01",
// "N0UNK is not in the FCC licence database".
class CFccCallbook : public CCallbook
{
public:
    CFccCallbook(CFccDatabase& database, QString path) : m_database(database), m_path(std::move(path)) {}

    CCallbookAnswer::Source Source() const override { return CCallbookAnswer::Source::Fcc; }
    CCallbookAnswer LookUp(const QString& callSign) override;

    // The licence the last look-up read (its status and dates).
    const CFccLookupResult& Licence() const { return m_licence; }

private:
    CFccDatabase& m_database;
    QString m_path;
    CFccLookupResult m_licence;
};
