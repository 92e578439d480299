#include "gui/web/NetReportDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CNetReportDlg::CNetReportDlg(const CNetReport& initial, const QString& heading, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("netReportDialog"));
    setWindowTitle(QStringLiteral("NetReport"));
    QFont f = font();
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(10);
    f.setBold(true);
    f.setItalic(true);
    setFont(f);

    auto* layout = new QVBoxLayout(this);
    m_heading = new QLabel(heading, this);
    m_heading->setObjectName(QStringLiteral("reportHeading"));
    m_heading->setTextFormat(Qt::PlainText);
    layout->addWidget(m_heading);
    auto* form = new QFormLayout;
    auto box = [this, form](const char* label, const char* name, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QString::fromLatin1(name));
        e->setMinimumWidth(260);
        form->addRow(QString::fromLatin1(label), e);
        return e;
    };
    m_name = box("Name:", "reportName", initial.name);
    m_call = box("Call:", "reportCall", initial.call);
    m_date = box("Date:", "reportDate", initial.date);
    m_message = box("Message:", "reportMessage", initial.message);
    m_checkIns = box("Check Ins:", "reportCheckIns", initial.checkIns);
    m_traffic = box("Traffic:", "reportTraffic", initial.traffic);
    m_announce = new QCheckBox(QStringLiteral("Announce Over the Air"), this);
    m_announce->setObjectName(QStringLiteral("reportAnnounce"));
    m_announce->setChecked(initial.announce);
    form->addRow(QStringLiteral("Announce:"), m_announce);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    m_send = buttons->addButton(QStringLiteral("Send"), QDialogButtonBox::AcceptRole);
    m_send->setObjectName(QStringLiteral("sendButton"));
    m_send->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_name->setFocus();
}

CNetReport CNetReportDlg::Report() const
{
    CNetReport r;
    r.name = m_name->text();
    r.call = m_call->text();
    r.date = m_date->text();
    r.message = m_message->text();
    r.checkIns = m_checkIns->text();
    r.traffic = m_traffic->text();
    r.announce = m_announce->isChecked();
    return r;
}
