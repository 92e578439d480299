#pragma once

#include "core/web/NetReport.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "NetReport": what the net-control operator reports to the club after the net. Filled from the settings
// and the day's log (NetReport::Initial), under a heading that names the net; "Send" accepts, and the
// caller stores and sends the values.
class CNetReportDlg : public QDialog
{
    Q_OBJECT
public:
    CNetReportDlg(const CNetReport& initial, const QString& heading, QWidget* parent = nullptr);

    // The values as the dialog holds them now.
    CNetReport Report() const;

    QLabel* Heading() const { return m_heading; }
    QLineEdit* NameBox() const { return m_name; }
    QLineEdit* CallBox() const { return m_call; }
    QLineEdit* DateBox() const { return m_date; }
    QLineEdit* MessageBox() const { return m_message; }
    QLineEdit* CheckInsBox() const { return m_checkIns; }
    QLineEdit* TrafficBox() const { return m_traffic; }
    QCheckBox* AnnounceBox() const { return m_announce; }
    QPushButton* SendButton() const { return m_send; }

private:
    QLabel* m_heading = nullptr;
    QLineEdit* m_name = nullptr;
    QLineEdit* m_call = nullptr;
    QLineEdit* m_date = nullptr;
    QLineEdit* m_message = nullptr;
    QLineEdit* m_checkIns = nullptr;
    QLineEdit* m_traffic = nullptr;
    QCheckBox* m_announce = nullptr;
    QPushButton* m_send = nullptr;
};
