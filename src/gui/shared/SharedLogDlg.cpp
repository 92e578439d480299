#include "gui/shared/SharedLogDlg.h"

#include "core/shared/PgConnection.h"
#include "core/shared/SharedServer.h"
#include "gui/app/Prompt.h"

#include <QCheckBox>
#include <QComboBox>
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
    // The server's nets to pick from: "Monday Night Net" and "monday night net" are one net, and a new
    // net is made only when asked for.
    m_nets = new QComboBox(this);
    m_nets->setObjectName(QStringLiteral("sharedNetList"));
    m_nets->addItem(QStringLiteral("(not asked yet)"));
    m_nets->setEnabled(false);
    connect(m_nets, &QComboBox::activated, this, [this](int index) {
        if (m_nets->itemData(index).toBool())
            m_net->setText(m_nets->itemText(index));
    });
    form->addRow(QStringLiteral("Nets on the ser&ver:"), m_nets);
    m_createNet =
        new QCheckBox(QStringLiteral("Create the net on the server if it has &none of this name"), this);
    m_createNet->setObjectName(QStringLiteral("sharedCreateNet"));
    form->addRow(QString(), m_createNet);
    connect(m_server, &QLineEdit::editingFinished, this, &CSharedLogDlg::LoadNets);
    connect(&m_job, &CBackgroundJob::finished, this, [this] { OnNets(m_loaded, m_loadError); });
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
    if (!values.server.isEmpty())
        LoadNets();
}

void CSharedLogDlg::LoadNets()
{
    const QString server = m_server->text().trimmed();
    if (server.isEmpty() || !PgCheckConnInfo(server).isEmpty())
        return;
    m_nets->clear();
    m_nets->addItem(QStringLiteral("(asking the server...)"));
    m_nets->setEnabled(false);
    // The window never waits for the server: the answer comes back when it comes.
    if (m_job.IsRunning())
        return;
    m_job.Start([this, server](CBackgroundJob&) {
        try {
            CPgConnection db(server, QString(), QStringLiteral("logwarden"));
            m_loaded = SharedServer::Nets(db);
            m_loadError.clear();
        } catch (const CLogwardenException& e) {
            m_loaded.clear();
            m_loadError = e.Message().section(QLatin1Char('\n'), 0, 0);
        }
    });
}

void CSharedLogDlg::OnNets(const QStringList& nets, const QString& error)
{
    m_nets->clear();
    if (!error.isEmpty()) {
        m_nets->addItem(error);
        m_nets->setToolTip(error);
        return;
    }
    if (nets.isEmpty()) {
        m_nets->addItem(QStringLiteral("(none yet)"));
        return;
    }
    for (const QString& net : nets)
        m_nets->addItem(net, true);
    m_nets->setEnabled(true);
    const int same = m_nets->findText(m_net->text().trimmed(), Qt::MatchFixedString);
    if (same >= 0)
        m_nets->setCurrentIndex(same);
}

CSharedLogDlg::CValues CSharedLogDlg::Values() const
{
    return {m_enabled->isChecked(),  m_server->text().trimmed(),
            m_net->text().trimmed(), m_operator->text().trimmed().toUpper(),
            m_password->text(),      m_createNet->isChecked()};
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
