#pragma once

#include "core/jobs/BackgroundJob.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
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
        QString password;       // empty: unchanged
        bool createNet = false; // the operator chose to create the net when the server has none of the name
    };
    explicit CSharedLogDlg(const CValues& values, QWidget* parent = nullptr);
    CValues Values() const;

    void accept() override;
    // Asks the server for its nets (in the background) and offers them to pick from.
    void LoadNets();

private:
    void OnNets(const QStringList& nets, const QString& error);

    QCheckBox* m_enabled;
    QLineEdit* m_server;
    QLineEdit* m_net;
    QComboBox* m_nets;
    QCheckBox* m_createNet;
    QStringList m_loaded; // written by the job, read once it finished
    QString m_loadError;
    CBackgroundJob m_job; // last: it stops before what it writes goes
    QLineEdit* m_operator;
    QLineEdit* m_password;
};
