#pragma once

#include "core/callbook/Callbook.h"
#include "core/qrz/QrzQuery.h"

// The QRZ XML callbook as a source of the look-up chain. It asks through the query it is given (account,
// home grid and session as the query holds them), so it runs where the query runs: on the look-up
// worker's thread in the window.
class CQrzCallbook : public CCallbook
{
public:
    explicit CQrzCallbook(CQRZQuery& query) : m_query(query) {}

    CCallbookAnswer::Source Source() const override { return CCallbookAnswer::Source::Qrz; }
    CCallbookAnswer LookUp(const QString& callSign) override;

    // Why the last look-up failed, in the query's terms (a refused login asks for the account again).
    CQRZQuery::Failure LastFailure() const { return m_failure; }

    // QRZ's record in the log's columns:
    //   Name      name + ", " + fname + " " + rest of first name   ("Smith, John Q"; "Smith, John ")
    //   Street    addr1
    //   Location  addr2 + ", " + state + " (" + country + ")"
    //   Class     class;  YourGrid  grid;  eMailAddr  email
    // A value QRZ left empty gives an empty column, never separators alone.
    static CCheckinRecord Station(const CQRZCallData& data);

private:
    CQRZQuery& m_query;
    CQRZQuery::Failure m_failure = CQRZQuery::Failure::None;
};
