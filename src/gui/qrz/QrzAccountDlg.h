#pragma once

#include "core/qrz/QrzQuery.h"

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

class CSecretStore;
class CSettings;
class QLabel;
class QLineEdit;
class QPushButton;

// The QRZ account: the XML host, the user name and the password. Host and user name go into the settings;
// the password into the desktop keyring (or, where none runs, this session's memory, and the dialog says
// so).
class CQrzAccountDlg : public QDialog
{
    Q_OBJECT
public:
    // why: a line above the boxes saying why the account is asked for (empty: none); note: the keyring's
    // note (empty: none).
    CQrzAccountDlg(const CQRZAccount& account, const QString& why, const QString& note,
                   QWidget* parent = nullptr);

    CQRZAccount Account() const;
    QLineEdit* HostBox() const { return m_host; }
    QLineEdit* UserBox() const { return m_user; }
    QLineEdit* PasswordBox() const { return m_password; }
    QLabel* NoteLabel() const { return m_note; }

private:
    void UpdateOk();

    QLineEdit* m_host = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_note = nullptr;
    QPushButton* m_ok = nullptr;
};

// The window's QRZ account, read from the settings and the keyring, asked for when a look-up needs it and
// changed from the menu.
class CQrzAccounts : public QObject
{
    Q_OBJECT
public:
    CQrzAccounts(CSettings& settings, CSecretStore& keyring, QObject* parent = nullptr);
    ~CQrzAccounts() override;

    // The account as stored; the password empty when none is stored or it was not read yet.
    CQRZAccount Current() const;
    // The account, after asking for what is missing (or for all of it again after QRZ refused the login);
    // nothing when the operator cancels. The keyring is read first where needed, off the window's
    // thread, so `then` may run later; not at all when parent is gone by then.
    using Then = std::function<void(const std::optional<CQRZAccount>& account)>;
    void Ensure(QWidget* parent, Then then);
    // Shows the dialog, once the password is read (changed() follows when something changed).
    void Edit(QWidget* parent, const QString& why = {});
    // The keyring is being read.
    bool IsReading() const { return m_readTicket != 0; }
    // QRZ refused the login with this text: the next Ensure() asks again.
    void Refused(const QString& why);

Q_SIGNALS:
    // The account was changed; sameIdentity: only the password changed (host and user name kept).
    void changed(bool sameIdentity);
    // A text for the status bar.
    void status(const QString& text);

private:
    // Runs `then` once the password of the current user name is known (read from the keyring or found
    // missing); at once when it is.
    void WhenKnown(QWidget* parent, std::function<void()> then);
    void OnRead(int ticket, const QString& account, bool found, const QString& password);
    std::optional<CQRZAccount> EnsureNow(QWidget* parent);
    bool EditNow(QWidget* parent, const QString& why);

    CSettings& m_settings;
    CSecretStore& m_keyring;
    // The password as last read or written, for the user name it belongs to.
    std::optional<QString> m_password;
    QString m_passwordUser;
    bool m_probed = false; // the keyring was asked once, so it is known whether one answers
    int m_readTicket = 0;
    QSet<int> m_writes; // this object's writes, whose answer it reports
    QString m_readUser;
    QList<std::pair<QPointer<QWidget>, std::function<void()>>> m_waiting;
    QString m_refused;
};
