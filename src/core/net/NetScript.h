#pragma once

#include "core/net/NetTimes.h"

#include <QDate>
#include <QString>

class CSettings;
struct CRtfDocument;

// The net's script (the preamble) with the evening's values in place of its placeholders: <NCS> the
// roster's operator of the day ("Ann (W4AAA)"), <DATE> the day ("Thursday, November 7, 2024"), <TIME> the
// net's start (the stamped start when there is one, else the start time of the net's settings).
namespace NetScript {

struct CValues
{
    QString ncs;
    QString date;
    QString time;
};

CValues ValuesFor(const CSettings& settings, const QDate& day, const NetTimes::CTimes& times);
// The text with every placeholder replaced; the placeholders are matched without regard to case.
QString Fill(QString text, const CValues& values);
// The same in every run of the document (a placeholder is looked for within one run of formatting).
void Fill(CRtfDocument& document, const CValues& values);

} // namespace NetScript
