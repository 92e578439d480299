#include "core/app/DateText.h"

#include <QLocale>

QString FormatCaptionDate(const QDate& date)
{
    return QLocale::system().toString(date, QStringLiteral("dddd, MMMM dd, yyyy"));
}
