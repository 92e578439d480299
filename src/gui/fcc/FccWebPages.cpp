#include "gui/fcc/FccWebPages.h"

#include "core/app/Settings.h"
#include "core/fcc/FccLookup.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

namespace FccWebPages {

namespace {

struct CWaitCursor
{
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

QString OpenFccLicencePage(CFccDatabase& fcc, const CSettings& settings, const QString& callSign)
{
    if (callSign.isEmpty())
        return {};
    std::optional<qint32> key;
    {
        const CWaitCursor wait;
        key = fcc.LicenceKey(FccDatabasePath(settings), callSign);
    }
    if (!key)
        return QStringLiteral("No FCC licence found for %1").arg(callSign);
    const QString host = settings.Get(Setting::FccLicenseHost);
    QDesktopServices::openUrl(QUrl(FccLicenceUrl(host, *key)));
    return {};
}

void OpenQrzPage(const CSettings& settings, const QString& callSign)
{
    const QString host = settings.Get(Setting::QrzWebHost);
    QDesktopServices::openUrl(QUrl(QrzPageUrl(host, callSign)));
}

} // namespace FccWebPages
