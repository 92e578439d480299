#pragma once

#include "gui/widgets/ProgressPane.h"

#include <QDialog>
#include <QPointer>

class CBackgroundJob;
class CSettings;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// "FCC Download Dialog": fetches the FCC's licence archive l_amat.zip into the storage folder. Modeless;
// the download runs off the window's thread with its progress in bytes and percent (in the dialog and in
// the main window's status bar), and can be cancelled. The old archive stays until a complete new one has
// arrived.
class CDownloadDlg : public QDialog
{
    Q_OBJECT
public:
    // progress: the status bar's pane where a download shows its progress (may be null).
    CDownloadDlg(CSettings& settings, CProgressPane* progress, QWidget* parent);
    ~CDownloadDlg() override;

    // "DLoad": shows the dialog with its fields loaded; an open dialog is only raised.
    void ShowDialog();
    bool IsDownloading() const;

    QLineEdit* UrlEdit() const { return m_url; }
    QLineEdit* SaveToEdit() const { return m_saveTo; }
    QPushButton* DownloadButton() const { return m_download; }
    QProgressBar* ProgressBar() const { return m_bar; }
    QLabel* StatusLabel() const { return m_status; }

Q_SIGNALS:
    // The dialog closed: 1 by OK, 2 by Cancel.
    void closed(int how);
    // A message for the main window's status bar.
    void statusText(const QString& text);

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    void OnInitDialog();
    void OnBrowse();
    void OnDownload();
    void OnProgress(qint64 received, qint64 total);
    void OnFinished();
    void Message(const QString& text, bool error);
    void SetBusy(bool busy);

    CSettings& m_settings;
    QLineEdit* m_url = nullptr;
    QLineEdit* m_saveTo = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_download = nullptr;
    QProgressBar* m_bar = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    CBackgroundJob* m_job = nullptr;
    QPointer<CProgressPane> m_progressPane;
    QPointer<CProgressTask> m_task;
    QString m_target;
};
