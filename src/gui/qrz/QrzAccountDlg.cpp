#include "gui/qrz/QrzAccountDlg.h"

#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "core/web/WebRequest.h"
#include "gui/app/Prompt.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CQrzAccountDlg::CQrzAccountDlg(const CQRZAccount& account, const QString& why, const QString& note,
                               QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("qrzAccountDlg"));
    setWindowTitle(QStringLiteral("QRZ Account"));
    auto* layout = new QVBoxLayout(this);
    if (!why.isEmpty()) {
        auto* reason = new QLabel(why, this);
        reason->setObjectName(QStringLiteral("qrzAccountWhy"));
        reason->setWordWrap(true);
        layout->addWidget(reason);
    }
    auto* form = new QFormLayout;
    m_host = new QLineEdit(account.host, this);
    m_host->setObjectName(QStringLiteral("qrzHost"));
    m_host->setMinimumWidth(260);
    m_host->setToolTip(QStringLiteral("QRZ's XML service; a host without http:// is reached over HTTPS"));
    m_user = new QLineEdit(account.userName, this);
    m_user->setObjectName(QStringLiteral("qrzUser"));
    m_password = new QLineEdit(account.password, this);
    m_password->setObjectName(QStringLiteral("qrzPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("XML &host:"), m_host);
    form->addRow(QStringLiteral("&User name:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);
    layout->addLayout(form);
    m_note = new QLabel(note, this);
    m_note->setObjectName(QStringLiteral("qrzKeyringNote"));
    m_note->setWordWrap(true);
    m_note->setVisible(!note.isEmpty());
    layout->addWidget(m_note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    for (QLineEdit* box : {m_host, m_user, m_password})
        connect(box, &QLineEdit::textChanged, this, &CQrzAccountDlg::UpdateOk);
    UpdateOk();
    // The first box that needs typing.
    if (m_user->text().isEmpty())
        m_user->setFocus();
    else
        m_password->setFocus();
}

CQRZAccount CQrzAccountDlg::Account() const
{
    return {m_host->text().trimmed(), m_user->text().trimmed(), m_password->text()};
}

void CQrzAccountDlg::UpdateOk()
{
    const CQRZAccount a = Account();
    const bool hostOk = !HttpBaseUrl(a.host).isEmpty();
    m_host->setStyleSheet(hostOk ? QString() : QStringLiteral("color: red"));
    m_ok->setEnabled(hostOk && !a.userName.isEmpty() && !a.password.isEmpty());
}

// --- The account -----------------------------------------------------------------------------------------

CQrzAccounts::CQrzAccounts(CSettings& settings, CSecretStore& keyring, QObject* parent)
    : QObject(parent), m_settings(settings), m_keyring(keyring)
{
    connect(&m_keyring, &CSecretStore::readDone, this, &CQrzAccounts::OnRead);
    connect(&m_keyring, &CSecretStore::writeDone, this,
            [this](int ticket, const QString&, CSecretStore::Where where) {
                if (m_writes.remove(ticket) && where == CSecretStore::Where::Session)
                    Q_EMIT status(CSecretStore::kSessionOnlyNote);
            });
}

CQrzAccounts::~CQrzAccounts() = default;

CQRZAccount CQrzAccounts::Current() const
{
    CQRZAccount account;
    account.host = m_settings.Get(Setting::QrzXmlHost);
    account.userName = m_settings.Get(Setting::QrzUserName);
    if (!account.userName.isEmpty() && m_password && m_passwordUser == account.userName)
        account.password = *m_password;
    return account;
}

void CQrzAccounts::WhenKnown(QWidget* parent, std::function<void()> then)
{
    const QString user = m_settings.Get(Setting::QrzUserName);
    // Without a user name the keyring is asked once all the same: whether one answers is known only then.
    const bool known = user.isEmpty() ? m_probed : (m_password && m_passwordUser == user);
    if (known && m_readTicket == 0) {
        then();
        return;
    }
    m_waiting.append({QPointer<QWidget>(parent), std::move(then)});
    if (m_readTicket != 0)
        return; // one read at a time; the waiting go on when it is back
    m_readUser = user;
    m_readTicket = m_keyring.ReadLater(CSecretStore::QrzAccount(user));
    Q_EMIT status(QStringLiteral("Reading the QRZ password from the keyring ..."));
}

void CQrzAccounts::OnRead(int ticket, const QString&, bool found, const QString& password)
{
    if (ticket != m_readTicket)
        return;
    m_readTicket = 0;
    m_probed = true;
    if (!m_readUser.isEmpty()) {
        m_password = found ? std::optional<QString>(password) : std::optional<QString>(QString());
        m_passwordUser = m_readUser;
    }
    const auto waiting = std::exchange(m_waiting, {});
    for (const auto& [parent, then] : waiting) {
        if (!parent)
            continue; // its window went meanwhile
        // The user name may have changed meanwhile: then its password is read first.
        WhenKnown(parent, then);
    }
}

void CQrzAccounts::Ensure(QWidget* parent, Then then)
{
    QPointer<QWidget> target(parent);
    WhenKnown(parent, [this, target, then = std::move(then)] {
        if (target)
            then(EnsureNow(target));
    });
}

std::optional<CQRZAccount> CQrzAccounts::EnsureNow(QWidget* parent)
{
    const auto complete = [](const CQRZAccount& a) {
        return !a.userName.isEmpty() && !a.password.isEmpty() && !HttpBaseUrl(a.host).isEmpty();
    };
    CQRZAccount account = Current();
    if (m_refused.isEmpty() && complete(account))
        return account;
    const QString why = !m_refused.isEmpty() ? QStringLiteral("QRZ refused the login: %1").arg(m_refused)
                                             : QStringLiteral("The QRZ look-up needs your QRZ XML account.");
    if (!EditNow(parent, why))
        return std::nullopt;
    account = Current();
    return complete(account) ? std::optional<CQRZAccount>(account) : std::nullopt;
}

void CQrzAccounts::Edit(QWidget* parent, const QString& why)
{
    QPointer<QWidget> target(parent);
    WhenKnown(parent, [this, target, why] {
        if (target)
            EditNow(target, why);
    });
}

bool CQrzAccounts::EditNow(QWidget* parent, const QString& why)
{
    const CQRZAccount before = Current();
    const QString note = m_keyring.IsSessionOnly()
                             ? CSecretStore::kSessionOnlyNote
                             : QStringLiteral("The password is kept in your desktop keyring.");
    CQrzAccountDlg dlg(before, why, note, parent);
    if (Prompt::Run(dlg) != QDialog::Accepted)
        return false;
    const CQRZAccount after = dlg.Account();
    m_refused.clear();
    if (after == before)
        return true;
    const bool sameIdentity = after.host == before.host && after.userName == before.userName;
    m_settings.Set(Setting::QrzXmlHost, after.host);
    m_settings.Set(Setting::QrzUserName, after.userName);
    m_settings.Sync();
    if (after.password != before.password || after.userName != before.userName) {
        // Kept in the store at once; the keyring's answer follows.
        m_writes.insert(m_keyring.WriteLater(CSecretStore::QrzAccount(after.userName), after.password));
    }
    m_password = after.password;
    m_passwordUser = after.userName;
    Q_EMIT changed(sameIdentity);
    return true;
}

void CQrzAccounts::Refused(const QString& why)
{
    m_refused = why;
}
