#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

class CWebRequest;

// The database status check, "FCC Database Dialog": whether the FCC has published a newer amateur
// licence archive than the one on disk. This class holds what the dialog shows and does; the dialog
// is a thin window over it. It comes in two forms:
//   - the FCC form ("Check" on the "FCC DB: " bar, View > "&FCC Db Status"): "Check FCC Website"
//     reads the FCC's weekly-transactions page and the local l_amat.zip (CheckFccWebsite, Apply);
//   - the QRZ form ("Check" on the "QRZ DB: " bar): "Check QRZ Website" fetches QRZ's CSV archive into
//     the data folder (QrzArchive::Download); its two texts stay "Unknown".
// The operator compares the two lines; nothing is decided for them.
class CFCCDbInfo
{
public:
    CFCCDbInfo();
    virtual ~CFCCDbInfo();

    // The QRZ form, as its opener sets it up before showing it.
    void SetQrzForm();
    // The dialog's start: in the QRZ form the window title becomes m_strTitle and, when that names
    // QRZ, the button's caption becomes m_strButton and the check is QRZ's.
    void OnInitDialog();
    // The window title and the check button's caption to show.
    QString WindowTitle() const;
    QString ButtonCaption() const;

    // What "Check FCC Website" found. Run it off the window's thread (it waits for the web server),
    // then Apply() the result on the window's thread.
    struct CFccCheck
    {
        std::optional<QString> available; // "06/30/2011 at 123.4 MB"; none when the page gave nothing usable
        QString current;                  // "7/3/2011 at 123 MB", or "Unknown"
        QString availableWhy;             // why there is no available text
        QString currentWhy;               // why the current text is "Unknown"
    };

    // Reads the page at WeeklyPageUrl(ulsHost) and the archive at archivePath (l_amat.zip in the folder
    // the download keeps it in).
    static CFccCheck CheckFccWebsite(CWebRequest& http, const QString& ulsHost, const QString& archivePath);

    // Takes a check's texts: Available only when the page gave one (otherwise it keeps its text),
    // Current always; the reasons go to m_strReason.
    void Apply(const CFccCheck& check);

    // The texts the dialog exchanges with its statics.
    QString m_strAvailable;
    QString m_strCurrent;
    QString m_strCurrentLabel;
    QString m_strAvailableLabel;
    bool m_bFccForm = true;
    bool m_bQrz = false;
    QString m_strTitle;
    QString m_strButton;
    // Why a text stays "Unknown" (no archive on disk, page not reachable, page without the expected
    // cells), or what the QRZ check did; empty when there is nothing to say.
    QString m_strReason;

    static QString Unknown();
    static QString FccTitle();  // "FCC Database Dialog"
    static QString FccButton(); // "Check FCC Website"
    // The weekly-transactions page: HttpBaseUrl(host) + "/uls/index.htm?job=transaction&page=weekly".
    static QString WeeklyPageUrl(const QString& ulsHost);
    // "%s at %s" with the two "note" cells that follow "l_amat.zip" on the page, the second first; none
    // when the page does not list the archive or the cells are not plain text (why says which).
    static std::optional<QString> AvailableText(const QByteArray& page, QString* why = nullptr);
    // "%d/%d/%d at %ld MB": the archive's local modification date (month/day/year) and its size in
    // whole millions of bytes; "Unknown" when there is no archive (why says so).
    static QString CurrentText(const QString& archivePath, QString* why = nullptr);
};
