#pragma once

#include "core/qrz/QrzQuery.h"

#include <QDialog>
#include <QObject>
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
    CQrzAccounts(CSettings& settings, QObject* parent = nullptr);
    ~CQrzAccounts() override;

    // The account as stored; the password empty when none is stored.
    CQRZAccount Current();
    // The account, after asking for what is missing (or for all of it again after QRZ refused the login).
    // Nothing when the operator cancels.
    std::optional<CQRZAccount> Ensure(QWidget* parent);
    // Shows the dialog; true when the operator pressed OK (changed() follows when something changed).
    bool Edit(QWidget* parent, const QString& why = {});
    // QRZ refused the login with this text: the next Ensure() asks again.
    void Refused(const QString& why);

Q_SIGNALS:
    // The account was changed; sameIdentity: only the password changed (host and user name kept).
    void changed(bool sameIdentity);
    // A text for the status bar.
    void status(const QString& text);

private:
    CSettings& m_settings;
    std::unique_ptr<CSecretStore> m_keyring;
    // The password as last read or written, for the user name it belongs to.
    std::optional<QString> m_password;
    QString m_passwordUser;
    QString m_refused;
};
