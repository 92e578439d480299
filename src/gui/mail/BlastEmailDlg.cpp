#include "gui/mail/BlastEmailDlg.h"

#include "core/Exceptions.h"
#include "core/app/NetDetails.h"
#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "core/log/CheckinStore.h"
#include "core/mail/MailText.h"
#include "gui/app/Prompt.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const char kDefaultTo[] = "Use Distribution list to the right -->";
const char kDefaultMessage[] = "Enter the message here.";

struct CSecurityChoice
{
    const char* text;
    CSMTP::Security security;
    int port;
};
const CSecurityChoice kSecurity[] = {{"None", CSMTP::Security::None, 25},
                                     {"STARTTLS", CSMTP::Security::StartTls, 587},
                                     {"TLS", CSMTP::Security::Tls, 465}};

int SecurityIndex(CSMTP::Security security)
{
    for (int i = 0; i < 3; ++i) {
        if (kSecurity[i].security == security)
            return i;
    }
    return 0;
}

enum Column
{
    ColCall,
    ColName,
    ColEmail
};

} // namespace

CBlastEmailDlg::CBlastEmailDlg(CDatabase& db, CCheckinStore& store, CSettings& settings,
                               CSecretStore& secrets, CBlastEmail& blast, const QDate& day, QWidget* parent)
    : QDialog(parent), m_db(db), m_settings(settings), m_secrets(secrets), m_blast(blast), m_day(day)
{
    setObjectName(QStringLiteral("blastEmailDlg"));
    setWindowTitle(QStringLiteral("Blast Email Dialog"));

    auto named = [this](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    auto* fields = new QGridLayout;
    int row = 0;
    auto label = [&](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        fields->addWidget(l, row, 0);
    };

    m_server = named(new QLineEdit(this), "server");
    m_port = named(new QSpinBox(this), "port");
    m_port->setRange(1, 65535);
    m_security = named(new QComboBox(this), "security");
    for (const CSecurityChoice& c : kSecurity)
        m_security->addItem(QLatin1String(c.text));
    m_security->setToolTip(QStringLiteral("STARTTLS (port 587) or TLS (port 465) encrypt the connection; "
                                          "a password is only ever sent encrypted."));
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(m_server, 1);
    auto* portLabel = new QLabel(QStringLiteral("Port:"), this);
    portLabel->setBuddy(m_port);
    serverRow->addWidget(portLabel);
    serverRow->addWidget(m_port);
    auto* securityLabel = new QLabel(QStringLiteral("Security:"), this);
    securityLabel->setBuddy(m_security);
    serverRow->addWidget(securityLabel);
    serverRow->addWidget(m_security);
    label(QStringLiteral("Mail Server: "), m_server);
    fields->addLayout(serverRow, row++, 1);

    m_user = named(new QLineEdit(this), "user");
    m_user->setPlaceholderText(QStringLiteral("none: no log-in"));
    m_password = named(new QLineEdit(this), "password");
    m_password->setEchoMode(QLineEdit::Password);
    auto* userRow = new QHBoxLayout;
    userRow->addWidget(m_user, 1);
    auto* passwordLabel = new QLabel(QStringLiteral("Password:"), this);
    passwordLabel->setBuddy(m_password);
    userRow->addWidget(passwordLabel);
    userRow->addWidget(m_password, 1);
    label(QStringLiteral("User:"), m_user);
    fields->addLayout(userRow, row++, 1);
    m_passwordNote = named(new QLabel(CSecretStore::kSessionOnlyNote, this), "passwordNote");
    m_passwordNote->setWordWrap(true);
    m_passwordNote->hide();
    fields->addWidget(m_passwordNote, row++, 1);

    m_from = named(new QLineEdit(this), "from");
    label(QStringLiteral("From: "), m_from);
    fields->addWidget(m_from, row++, 1);
    // Only the checked stations of the list receive the message; the box says so and takes no typing.
    m_to = named(new QLineEdit(this), "to");
    m_to->setReadOnly(true);
    label(QStringLiteral("To: "), m_to);
    fields->addWidget(m_to, row++, 1);
    fields->addWidget(new QLabel(QStringLiteral("Note: Separate recipients with ;"), this), row++, 1);
    m_subject = named(new QLineEdit(this), "subject");
    label(QStringLiteral("Subject: "), m_subject);
    fields->addWidget(m_subject, row++, 1);
    m_message = named(new QPlainTextEdit(this), "message");
    m_message->setTabChangesFocus(true);
    fields->addWidget(m_message, row++, 0, 1, 2);
    fields->setRowStretch(row - 1, 1);

    m_attachmentList = named(new QListWidget(this), "attachments");
    m_attachmentList->setMaximumHeight(m_attachmentList->fontMetrics().height() * 5);
    m_selectAttachments = Button("selectAttachments", QStringLiteral("Select Attachments"));
    m_clearAttachments = Button("clearAttachments", QStringLiteral("Clear Attachments"));
    auto* attachmentButtons = new QVBoxLayout;
    attachmentButtons->addWidget(m_selectAttachments);
    attachmentButtons->addWidget(m_clearAttachments);
    attachmentButtons->addStretch(1);
    auto* attachmentRow = new QHBoxLayout;
    attachmentRow->addWidget(m_attachmentList, 1);
    attachmentRow->addLayout(attachmentButtons);
    fields->addWidget(new QLabel(QStringLiteral("Attachments:"), this), row, 0, Qt::AlignTop);
    fields->addLayout(attachmentRow, row++, 1);

    m_list = named(new QTableWidget(0, 3, this), "distributionList");
    m_list->setHorizontalHeaderLabels(
        {QStringLiteral("Call"), QStringLiteral("Name"), QStringLiteral("eMail")});
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->setWordWrap(false);
    m_list->horizontalHeader()->setSectionsMovable(true);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->setColumnWidth(ColCall, 75);
    m_list->setColumnWidth(ColName, 60);
    m_list->setColumnWidth(ColEmail, 200);
    m_list->setMinimumWidth(75 + 60 + 200 + 24);
    m_listLabel = new QLabel(
        QStringLiteral("Distribution list, %1:").arg(day.toString(QStringLiteral("MM/dd/yyyy"))), this);
    m_listLabel->setBuddy(m_list);
    m_selectAll = Button("selectAll", QStringLiteral("Select All"));
    m_selectNone = Button("selectNone", QStringLiteral("Select None"));
    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(m_selectAll);
    listButtons->addWidget(m_selectNone);
    listButtons->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_listLabel);
    right->addWidget(m_list, 1);
    right->addLayout(listButtons);

    auto* top = new QHBoxLayout;
    top->addLayout(fields, 3);
    top->addLayout(right, 2);

    m_bar = named(new QProgressBar(this), "progress");
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_loadMessage = Button("loadStoredMessage", QStringLiteral("Load Stored Message"));
    m_send = Button("send", QStringLiteral("Send"));
    m_done = Button("done", QStringLiteral("Done"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_loadMessage);
    buttons->addStretch(1);
    buttons->addWidget(m_send);
    buttons->addWidget(m_done);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(m_bar);
    layout->addLayout(buttons);
    resize(960, 600);

    connect(m_selectAttachments, &QPushButton::clicked, this, &CBlastEmailDlg::OnSelectAttachments);
    connect(m_clearAttachments, &QPushButton::clicked, this, &CBlastEmailDlg::OnClearAttachments);
    connect(m_selectAll, &QPushButton::clicked, this, &CBlastEmailDlg::OnSelectAll);
    connect(m_selectNone, &QPushButton::clicked, this, &CBlastEmailDlg::OnSelectNone);
    connect(m_loadMessage, &QPushButton::clicked, this, &CBlastEmailDlg::OnLoadStoredMessage);
    connect(m_send, &QPushButton::clicked, this, &CBlastEmailDlg::OnSend);
    connect(m_done, &QPushButton::clicked, this, &CBlastEmailDlg::reject);
    connect(m_security, &QComboBox::currentIndexChanged, this, &CBlastEmailDlg::OnSecurityChanged);
    connect(m_user, &QLineEdit::textChanged, this, [this](const QString& user) {
        m_password->setEnabled(!user.trimmed().isEmpty() && m_readTicket == 0);
    });
    // The password belongs to the user on that server.
    for (QLineEdit* e : {m_server, m_user}) {
        connect(e, &QLineEdit::editingFinished, this, [this] {
            if (!m_password->isModified())
                LoadPassword();
        });
    }

    connect(&m_secrets, &CSecretStore::readDone, this, &CBlastEmailDlg::OnPasswordRead);
    connect(&m_secrets, &CSecretStore::writeDone, this,
            [this](int ticket, const QString&, CSecretStore::Where where) {
                if (m_writes.remove(ticket) && where == CSecretStore::Where::Session)
                    m_passwordNote->show();
            });

    // The list follows the log (every write goes through the store).
    connect(&store, &CCheckinStore::checkinAdded, this, &CBlastEmailDlg::FillList);
    connect(&store, &CCheckinStore::checkinChanged, this, &CBlastEmailDlg::FillList);
    connect(&store, &CCheckinStore::checkinsRemoved, this, &CBlastEmailDlg::FillList);
    connect(&store, &CCheckinStore::logReset, this, &CBlastEmailDlg::FillList);
    connect(&store, &CCheckinStore::checkinsImported, this, &CBlastEmailDlg::FillList);

    connect(&m_blast, &CBlastEmail::progress, this, &CBlastEmailDlg::ShowProgress);
    connect(&m_blast, &CBlastEmail::stationDone, this, &CBlastEmailDlg::OnStationDone);
    connect(&m_blast, &CBlastEmail::finished, this, &CBlastEmailDlg::OnFinished);

    OnInitDialog();
}

CBlastEmailDlg::~CBlastEmailDlg()
{
    // The boxes lose the focus as the dialog goes: their editingFinished must not reach it then.
    for (QLineEdit* e : {m_server, m_user})
        disconnect(e, nullptr, this, nullptr);
}

QPushButton* CBlastEmailDlg::Button(const char* name, const QString& text)
{
    auto* b = new QPushButton(text, this);
    b->setObjectName(QLatin1String(name));
    // Return in a box must never send the blast.
    b->setAutoDefault(false);
    return b;
}

void CBlastEmailDlg::OnInitDialog()
{
    CBlastRequest defaults;
    CBlastEmail::ApplySettings(m_settings, defaults);
    m_server->setText(defaults.server);
    {
        const QSignalBlocker block(m_security);
        m_lastSecurity = SecurityIndex(defaults.smtp.security);
        m_security->setCurrentIndex(m_lastSecurity);
    }
    m_port->setValue(defaults.port);
    m_user->setText(defaults.smtp.user);
    m_password->setEnabled(!defaults.smtp.user.isEmpty());
    m_from->setText(defaults.from);
    m_to->setText(QLatin1String(kDefaultTo));
    m_subject->setText(CNetDetails::BlastSubject(m_settings));
    // Long texts are read from their start.
    m_from->setCursorPosition(0);
    m_subject->setCursorPosition(0);
    m_message->setPlainText(QLatin1String(kDefaultMessage));
    m_attachFolder = m_messageFolder = QDir::homePath();
    LoadPassword();
    FillList();
    UpdateSendButton();
}

void CBlastEmailDlg::LoadPassword()
{
    const QString user = m_user->text().trimmed();
    if (user.isEmpty()) {
        m_readTicket = 0; // an answer still coming is not wanted
        m_password->setPlaceholderText(QString());
        m_password->clear();
        m_password->setModified(false);
        m_password->setEnabled(false);
        m_passwordNote->hide();
        return;
    }
    const QString account = CSecretStore::MailAccount(user, m_server->text().trimmed());
    if (m_readTicket != 0 && account == m_readAccount)
        return; // already asked
    // The keyring may take a while: the box waits for it, the window does not. A newer question makes
    // the answer to an older one moot.
    m_readAccount = account;
    m_readTicket = m_secrets.ReadLater(account);
    m_password->clear();
    m_password->setEnabled(false);
    m_password->setPlaceholderText(QStringLiteral("Reading the keyring ..."));
}

void CBlastEmailDlg::OnPasswordRead(int ticket, const QString& account, bool found, const QString& password)
{
    if (ticket != m_readTicket)
        return;
    m_readTicket = 0;
    m_loaded = {account, found ? password : QString()};
    m_password->setPlaceholderText(QString());
    m_password->setText(m_loaded.second);
    m_password->setModified(false);
    m_password->setEnabled(!m_user->text().trimmed().isEmpty());
    m_passwordNote->setVisible(m_secrets.IsSessionOnly());
}

void CBlastEmailDlg::OnSecurityChanged(int index)
{
    // A port left at the usual one of the old mode moves to the usual one of the new.
    if (m_port->value() == kSecurity[m_lastSecurity].port)
        m_port->setValue(kSecurity[index].port);
    m_lastSecurity = index;
}

void CBlastEmailDlg::FillList()
{
    QSet<QString> checked;
    for (const CBlastStation& s : CheckedStations())
        checked.insert(s.callSign.toUpper());
    try {
        m_stations = CBlastEmail::DistributionList(m_db, m_day);
    } catch (const CLogwardenException& e) {
        m_stations.clear();
        Prompt::Error(this, e.Message());
    }
    m_list->setRowCount(0);
    m_list->setRowCount(static_cast<int>(m_stations.size()));
    for (int r = 0; r < m_list->rowCount(); ++r) {
        const CBlastStation& s = m_stations[static_cast<size_t>(r)];
        auto* call = new QTableWidgetItem(s.callSign);
        call->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        call->setCheckState(checked.contains(s.callSign.toUpper()) ? Qt::Checked : Qt::Unchecked);
        m_list->setItem(r, ColCall, call);
        m_list->setItem(r, ColName, new QTableWidgetItem(s.name));
        m_list->setItem(r, ColEmail, new QTableWidgetItem(s.email));
    }
    // The usual widths, wider where a call sign or name would otherwise be cut.
    const int minimum[] = {75, 60};
    for (int c : {ColCall, ColName}) {
        m_list->resizeColumnToContents(c);
        m_list->setColumnWidth(c, std::max(minimum[c], m_list->columnWidth(c)));
    }
    m_list->resizeRowsToContents();
}

std::vector<CBlastStation> CBlastEmailDlg::CheckedStations() const
{
    std::vector<CBlastStation> stations;
    for (int r = 0; r < m_list->rowCount() && r < static_cast<int>(m_stations.size()); ++r) {
        if (m_list->item(r, ColCall)->checkState() == Qt::Checked)
            stations.push_back(m_stations[static_cast<size_t>(r)]);
    }
    return stations;
}

void CBlastEmailDlg::OnSelectAll()
{
    for (int r = 0; r < m_list->rowCount(); ++r)
        m_list->item(r, ColCall)->setCheckState(Qt::Checked);
}

void CBlastEmailDlg::OnSelectNone()
{
    for (int r = 0; r < m_list->rowCount(); ++r)
        m_list->item(r, ColCall)->setCheckState(Qt::Unchecked);
}

void CBlastEmailDlg::OnSelectAttachments()
{
    Prompt::CFileRequest request;
    request.caption = QStringLiteral("Attach File");
    request.folder = m_attachFolder;
    request.filters = {QStringLiteral("Select files to be attached: (*)")};
    const QStringList paths = Prompt::OpenFileNames(this, request);
    for (const QString& path : paths) {
        m_attachments << path;
        m_attachmentList->addItem(path);
    }
    if (!paths.isEmpty())
        m_attachFolder = QFileInfo(paths.constLast()).absolutePath();
}

void CBlastEmailDlg::OnClearAttachments()
{
    m_attachments.clear();
    m_attachmentList->clear();
}

void CBlastEmailDlg::OnLoadStoredMessage()
{
    Prompt::CFileRequest request;
    request.caption = QStringLiteral("Select Stored Message");
    request.folder = m_messageFolder;
    request.filters = {QStringLiteral("Select stored message: (*.msg)")};
    const QString path = Prompt::OpenFileName(this, request);
    if (path.isEmpty())
        return;
    m_messageFolder = QFileInfo(path).absolutePath();
    Prompt::Guard(this, [&] { m_message->setPlainText(MailText::ReadStoredMessage(path)); });
}

CBlastRequest CBlastEmailDlg::Request() const
{
    CBlastRequest r;
    // The CA file, the time-outs and the pause come from the settings; the rest is what the dialog shows.
    CBlastEmail::ApplySettings(m_settings, r);
    r.server = m_server->text().trimmed();
    r.port = m_port->value();
    r.smtp.security = kSecurity[m_security->currentIndex()].security;
    r.smtp.user = m_user->text().trimmed();
    if (!r.smtp.user.isEmpty())
        r.smtp.password = m_password->text();
    r.from = m_from->text().trimmed();
    r.subject = m_subject->text();
    r.message = m_message->toPlainText();
    r.attachments = m_attachments;
    r.stations = CheckedStations();
    return r;
}

void CBlastEmailDlg::OnSend()
{
    if (m_blast.IsRunning() || m_readTicket != 0)
        return; // not while the password is still being read
    CBlastRequest request = Request();
    if (request.stations.empty()) {
        Prompt::Information(this,
                            QStringLiteral("No station of the distribution list is checked: nothing was "
                                           "sent. \"Select All\" checks them all."));
        return;
    }
    if (!request.smtp.user.isEmpty() && request.smtp.password.isEmpty()) {
        Prompt::Warning(
            this, QStringLiteral("Enter the password of %1 on %2.").arg(request.smtp.user, request.server));
        m_password->setFocus();
        return;
    }
    CBlastEmail::StoreSettings(m_settings, request);
    CNetDetails::RememberBlastSubject(m_settings, request.subject);
    if (!request.smtp.user.isEmpty()) {
        const QString account = CSecretStore::MailAccount(request.smtp.user, request.server);
        // Into the store at once, for this send and the next dialog; the keyring's answer follows.
        if (m_loaded != std::pair(account, request.smtp.password)) {
            m_writes.insert(m_secrets.WriteLater(account, request.smtp.password));
            m_loaded = {account, request.smtp.password};
        }
        m_password->setModified(false);
    }
    m_doneCount = 0;
    m_total = static_cast<int>(request.stations.size());
    if (!m_blast.Start(std::move(request)))
        return;
    m_bar->setRange(0, m_total);
    m_bar->setValue(0);
    m_bar->setTextVisible(true);
    m_bar->setFormat(QStringLiteral("Starting"));
    UpdateSendButton();
}

void CBlastEmailDlg::ShowProgress(int index, int total, const QString& text)
{
    m_doneCount = index;
    m_total = total;
    m_bar->setRange(0, std::max(1, total));
    m_bar->setValue(index);
    m_bar->setTextVisible(true);
    m_bar->setFormat(text);
    UpdateSendButton();
}

void CBlastEmailDlg::OnStationDone(const CBlastResult&)
{
    m_bar->setValue(std::min(++m_doneCount, m_bar->maximum()));
}

void CBlastEmailDlg::OnFinished()
{
    const CBlastSummary& summary = m_blast.Summary();
    m_bar->setTextVisible(true);
    if (!summary.refused.isEmpty()) {
        m_bar->setValue(0);
        m_bar->setFormat(QStringLiteral("No message was sent"));
    } else {
        m_bar->setRange(0, std::max(1, summary.total));
        m_bar->setValue(static_cast<int>(summary.results.size()));
        m_bar->setFormat(QStringLiteral("%1 of %2 messages sent").arg(summary.sent).arg(summary.total));
    }
    UpdateSendButton();
}

void CBlastEmailDlg::UpdateSendButton()
{
    m_send->setEnabled(!m_blast.IsRunning());
}

void CBlastEmailDlg::reject()
{
    if (m_blast.IsRunning() &&
        Prompt::Ask(this,
                    QStringLiteral("The blast is still sending (%1). Stop it after the current message?\n"
                                   "Otherwise it goes on in the background, with its progress in the "
                                   "status bar.")
                        .arg(m_bar->format()),
                    false, windowTitle()))
        m_blast.Cancel();
    QDialog::reject();
}
