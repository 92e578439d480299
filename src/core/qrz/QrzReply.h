#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// A station as QRZ's XML callbook describes it: the elements of its <Callsign> record, entities
// decoded, not trimmed.
struct CQRZCallData
{
    QString call;
    QString fname;           // the first word of <fname>
    QString restOfFirstName; // what follows the first blank of <fname>
    QString name;            // the surname
    QString addr1, addr2, state, zip, email, cls, country, county, grid;
    QDate expires;    // <expdate> when it names a real day (QrzExpiryDate); null otherwise
    int views = 0;    // the leading digits of <u_views>
    QString distance; // from the home grid to grid ("760 miles"); empty when either is not six characters
};

// What a reply of the XML service holds.
struct CQRZReply
{
    bool wellFormed = false; // the reply is XML
    QString xmlError;        // why it is not
    bool hasRecord = false;  // it carries a <Callsign> record
    CQRZCallData data;       // the record's values (distance left empty)
    QString key;             // <Session><Key>
    QString error;           // <Session><Error>: "Not found: N0CALL", "Session Timeout", ...
    QString message;         // <Session><Message>
};

// Reads a reply with an XML reader: the values come from the first <Callsign> record under the root,
// the key and the error from its <Session>; element names are matched without their namespace.
CQRZReply ParseQrzReply(const QByteArray& xml);

// The expiry date of "yyyy-mm-dd" read by position (year from characters 0-3, month 5-6, day 8-9, each
// as its leading digits); null unless that is a real day.
QDate QrzExpiryDate(const QString& text);

// Whether the reply says that the session key is no good: "Session Timeout", "Invalid session key" or
// "XML access is not autho...". The service is then logged in to anew.
bool IsQrzSessionError(const CQRZReply& reply, const QByteArray& raw);
