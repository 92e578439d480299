#pragma once

#include <QDialog>

class CWebWorker;
class QLabel;
class QLineEdit;

// Asks for the user name and password a web server wants (it answered 401). The exchange waits, off the
// window's thread, for the answer; the window stays live while the dialog is open.
class CCredentialsDlg : public QDialog
{
    Q_OBJECT
public:
    CCredentialsDlg(const QString& url, const QString& realm, const QString& user, QWidget* parent = nullptr);

    QString UserName() const;
    QString Password() const;
    QLineEdit* UserBox() const { return m_user; }
    QLineEdit* PasswordBox() const { return m_password; }

    // From now on, every question of the worker for credentials opens this dialog (window-modal, without
    // an event loop of its own) and its answer goes back to the worker.
    static void Connect(CWebWorker& worker, QWidget* parent);

private:
    QLabel* m_text = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
};
