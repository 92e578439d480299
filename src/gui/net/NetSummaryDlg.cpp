#include "gui/net/NetSummaryDlg.h"

#include "core/app/OutputCheck.h"
#include "gui/app/Prompt.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CNetSummaryDlg::CNetSummaryDlg(const CNetSummary& summary, const QStringList& guarded, const QString& folder,
                               QWidget* parent)
    : QDialog(parent), m_summary(summary), m_guarded(guarded), m_folder(folder)
{
    setObjectName(QStringLiteral("netSummary"));
    setWindowTitle(QStringLiteral("Net Summary"));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("summaryText"));
    m_text->setReadOnly(true);
    m_text->setPlainText(summary.Text());
    m_text->setMinimumSize(420, 220);

    m_copy = new QPushButton(QStringLiteral("&Copy"), this);
    m_copyHtml = new QPushButton(QStringLiteral("Copy &HTML"), this);
    m_saveHtml = new QPushButton(QStringLiteral("&Save HTML..."), this);
    m_report = new QPushButton(QStringLiteral("Net &Report..."), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setDefault(true);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_copy, m_copyHtml, m_saveHtml, m_report})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addLayout(buttons);

    connect(m_copy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(m_summary.Text()); });
    connect(m_copyHtml, &QPushButton::clicked, this, [this] {
        auto* mime = new QMimeData;
        mime->setHtml(m_summary.Html());
        mime->setText(m_summary.Text());
        QApplication::clipboard()->setMimeData(mime);
    });
    connect(m_saveHtml, &QPushButton::clicked, this, &CNetSummaryDlg::SaveHtml);
    connect(m_report, &QPushButton::clicked, this, [this] {
        m_reportWanted = true;
        accept();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CNetSummaryDlg::SaveHtml()
{
    Prompt::CFileRequest request;
    request.caption = QStringLiteral("Save the net summary");
    request.folder = m_folder;
    request.proposedName = QStringLiteral("NetSummary-%1.html").arg(m_summary.day.toString(Qt::ISODate));
    request.filters = {QStringLiteral("HTML pages (*.html *.htm)")};
    request.defaultSuffix = QStringLiteral("html");
    const QString path = Prompt::SaveFileName(this, request);
    if (path.isEmpty())
        return;
    const QString page =
        QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title>"
                       "</head><body>\n%2</body></html>\n")
            .arg(m_summary.Lines().front().toHtmlEscaped(), m_summary.Html());
    Prompt::Guard(this, [&] { OutputCheck::WriteText(path, page.toUtf8(), m_guarded); });
}
