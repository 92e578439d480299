#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

// Settings ▸ Shared Log...: whether this computer shares its log with the club's net, the server, the net's
// name, the operator's call sign and the password (kept in the keyring, for this server only).
class CSharedLogDlg : public QDialog
{
    Q_OBJECT
public:
    struct CValues
    {
        bool enabled = false;
        QString server;
        QString net;
        QString operatorCall;
        QString password; // empty: unchanged
    };
    explicit CSharedLogDlg(const CValues& values, QWidget* parent = nullptr);
    CValues Values() const;

    void accept() override;

private:
    QCheckBox* m_enabled;
    QLineEdit* m_server;
    QLineEdit* m_net;
    QLineEdit* m_operator;
    QLineEdit* m_password;
};
