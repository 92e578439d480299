#include "gui/shared/SharedLogDlg.h"

#include "core/shared/PgConnection.h"
#include "gui/app/Prompt.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CSharedLogDlg::CSharedLogDlg(const CValues& values, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("sharedLogDlg"));
    setWindowTitle(QStringLiteral("Shared Log"));
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(QStringLiteral("Run a net as a team: every operator's check-ins meet in the club's "
                                  "PostgreSQL database. This computer's log stays the one the window "
                                  "reads, so the net goes on when the link drops."),
                   this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_enabled = new QCheckBox(QStringLiteral("&Share this computer's log with the net"), this);
    m_enabled->setObjectName(QStringLiteral("sharedEnabled"));
    m_enabled->setChecked(values.enabled);
    layout->addWidget(m_enabled);
    auto* form = new QFormLayout;
    m_server = new QLineEdit(values.server, this);
    m_server->setObjectName(QStringLiteral("sharedServer"));
    m_server->setPlaceholderText(
        QStringLiteral("host=db.example.org dbname=club user=club sslmode=verify-full"));
    m_server->setMinimumWidth(m_server->fontMetrics().horizontalAdvance(m_server->placeholderText()) + 20);
    form->addRow(QStringLiteral("Se&rver:"), m_server);
    m_net = new QLineEdit(values.net, this);
    m_net->setObjectName(QStringLiteral("sharedNet"));
    form->addRow(QStringLiteral("&Net name:"), m_net);
    m_operator = new QLineEdit(values.operatorCall, this);
    m_operator->setObjectName(QStringLiteral("sharedOperator"));
    form->addRow(QStringLiteral("&Your call sign:"), m_operator);
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("sharedPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(QStringLiteral("unchanged (or from ~/.pgpass)"));
    form->addRow(QStringLiteral("&Password:"), m_password);
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CSharedLogDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

CSharedLogDlg::CValues CSharedLogDlg::Values() const
{
    return {m_enabled->isChecked(), m_server->text().trimmed(), m_net->text().trimmed(),
            m_operator->text().trimmed().toUpper(), m_password->text()};
}

void CSharedLogDlg::accept()
{
    const CValues v = Values();
    if (v.enabled) {
        QString problem = PgCheckConnInfo(v.server);
        if (problem.isEmpty() && v.net.isEmpty())
            problem = QStringLiteral("Give the net's name: every operator of the net uses the same one.");
        if (problem.isEmpty() && v.operatorCall.isEmpty())
            problem = QStringLiteral("Give your call sign: the others see it beside what you log.");
        if (!problem.isEmpty()) {
            Prompt::Error(this, problem);
            return;
        }
    }
    QDialog::accept();
}
