#include "core/net/NetScript.h"

#include "core/app/NetDetails.h"
#include "core/app/Settings.h"
#include "core/log/NetRoster.h"
#include "core/log/RtfReader.h"

#include <QLocale>

namespace NetScript {

CValues ValuesFor(const CSettings& settings, const QDate& day, const NetTimes::CTimes& times)
{
    CValues v;
    QString ncs = NetRoster::Label(settings, day);
    if (ncs.startsWith(QStringLiteral("NCS: ")))
        ncs = ncs.mid(5);
    v.ncs = ncs;
    const QLocale english(QLocale::English);
    v.date = english.toString(day, QStringLiteral("dddd, MMMM d, yyyy"));
    v.time = times.started.isValid() ? english.toString(times.started.time(), QStringLiteral("h:mm AP"))
                                     : CNetDetails::FromSettings(settings).startTime;
    return v;
}

QString Fill(QString text, const CValues& values)
{
    text.replace(QStringLiteral("<NCS>"), values.ncs, Qt::CaseInsensitive);
    text.replace(QStringLiteral("<DATE>"), values.date, Qt::CaseInsensitive);
    text.replace(QStringLiteral("<TIME>"), values.time, Qt::CaseInsensitive);
    return text;
}

void Fill(CRtfDocument& document, const CValues& values)
{
    for (CRtfParagraph& p : document.paragraphs)
        for (CRtfRun& run : p.runs)
            run.text = Fill(run.text, values);
}

} // namespace NetScript
