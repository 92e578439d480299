#pragma once

#include "core/mail/BlastEmail.h"

#include <QDate>
#include <QDialog>
#include <QSet>
#include <QStringList>
#include <vector>

class CCheckinStore;
class CDatabase;
class CSecretStore;
class CSettings;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

// "Blast Email Dialog": the invitation e-mail to the stations of one net day. The distribution list
// holds the stations of that day's log with an e-mail address, one row each, unchecked; every checked
// station gets its own message with "<NAME>" and "<CALL>" filled in and the same attachments.
//
// The blast itself belongs to the window (CBlastEmail, given here): it runs in the background and goes on
// when the dialog is closed, so the dialog only starts it and shows how far it got. The mail server's
// settings shown here are stored when a blast starts; the password goes to the keyring.
class CBlastEmailDlg : public QDialog
{
    Q_OBJECT
public:
    CBlastEmailDlg(CDatabase& db, CCheckinStore& store, CSettings& settings, CSecretStore& secrets,
                   CBlastEmail& blast, const QDate& day, QWidget* parent = nullptr);
    ~CBlastEmailDlg() override;

    const QDate& Day() const { return m_day; }
    // The stations of the list, in its order, and those checked.
    const std::vector<CBlastStation>& Stations() const { return m_stations; }
    std::vector<CBlastStation> CheckedStations() const;
    const QStringList& Attachments() const { return m_attachments; }
    // What a blast started now would send (the fields as they stand, the checked stations).
    CBlastRequest Request() const;

    void OnSelectAttachments();
    void OnClearAttachments();
    void OnSelectAll();
    void OnSelectNone();
    void OnLoadStoredMessage();
    void OnSend();
    // Shows a blast's progress: the message index (from 0) about to go out, of total.
    void ShowProgress(int index, int total, const QString& text);

    QLineEdit* ServerEdit() const { return m_server; }
    QSpinBox* PortBox() const { return m_port; }
    QComboBox* SecurityBox() const { return m_security; }
    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QLabel* PasswordNote() const { return m_passwordNote; }
    QLineEdit* FromEdit() const { return m_from; }
    QLineEdit* ToEdit() const { return m_to; }
    QLineEdit* SubjectEdit() const { return m_subject; }
    QPlainTextEdit* MessageEdit() const { return m_message; }
    QListWidget* AttachmentList() const { return m_attachmentList; }
    QTableWidget* DistributionList() const { return m_list; }
    QProgressBar* ProgressBar() const { return m_bar; }
    QPushButton* SendButton() const { return m_send; }
    QPushButton* DoneButton() const { return m_done; }

public Q_SLOTS:
    // "Done": while a blast runs, asks whether to stop it after the current message; it goes on in
    // the background otherwise.
    void reject() override;

private:
    void OnInitDialog();
    void FillList();
    // Asks the keyring for the password of the user on the server; OnPasswordRead has the answer.
    void LoadPassword();
    void OnPasswordRead(int ticket, const QString& account, bool found, const QString& password);
    void OnSecurityChanged(int index);
    void OnStationDone(const CBlastResult& result);
    void OnFinished();
    void UpdateSendButton();
    QPushButton* Button(const char* name, const QString& text);

    CDatabase& m_db;
    CSettings& m_settings;
    CSecretStore& m_secrets;
    CBlastEmail& m_blast;
    QDate m_day;
    std::vector<CBlastStation> m_stations;
    QStringList m_attachments;
    QString m_attachFolder;
    QString m_messageFolder;
    int m_doneCount = 0; // messages finished in the running blast
    int m_total = 0;
    int m_lastSecurity = 0;

    QLineEdit* m_server = nullptr;
    QSpinBox* m_port = nullptr;
    QComboBox* m_security = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_passwordNote = nullptr;
    int m_readTicket = 0; // the keyring's answer awaited
    QString m_readAccount;
    std::pair<QString, QString> m_loaded; // account and password as read or last stored
    QSet<int> m_writes;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_to = nullptr;
    QLineEdit* m_subject = nullptr;
    QPlainTextEdit* m_message = nullptr;
    QListWidget* m_attachmentList = nullptr;
    QTableWidget* m_list = nullptr;
    QLabel* m_listLabel = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_selectAttachments = nullptr;
    QPushButton* m_clearAttachments = nullptr;
    QPushButton* m_selectAll = nullptr;
    QPushButton* m_selectNone = nullptr;
    QPushButton* m_loadMessage = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_done = nullptr;
};
