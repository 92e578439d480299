#pragma once

#include "core/net/NetSummary.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// The summary shown when the net ends: the values as text to read or copy, the same as HTML for the
// club's page (copied or saved), and the way on to the net report.
class CNetSummaryDlg : public QDialog
{
    Q_OBJECT
public:
    // guarded: the files an HTML page may never be saved over (the log); folder: where saving starts.
    CNetSummaryDlg(const CNetSummary& summary, const QStringList& guarded, const QString& folder,
                   QWidget* parent = nullptr);

    QPlainTextEdit* TextBox() const { return m_text; }
    QPushButton* CopyButton() const { return m_copy; }
    QPushButton* CopyHtmlButton() const { return m_copyHtml; }
    QPushButton* SaveHtmlButton() const { return m_saveHtml; }
    QPushButton* ReportButton() const { return m_report; }
    // Whether the operator asked for the net report ("Net Report..." closes the summary).
    bool ReportWanted() const { return m_reportWanted; }

private:
    void SaveHtml();

    CNetSummary m_summary;
    QStringList m_guarded;
    QString m_folder;
    QPlainTextEdit* m_text = nullptr;
    QPushButton* m_copy = nullptr;
    QPushButton* m_copyHtml = nullptr;
    QPushButton* m_saveHtml = nullptr;
    QPushButton* m_report = nullptr;
    bool m_reportWanted = false;
};
