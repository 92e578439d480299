#pragma once

#include "core/app/NetDetails.h"

#include <QDialog>

class QLineEdit;

// "Net Settings": the club's name, the net's name, its frequency and start time, and the station it is
// run from (call, operator, mode). An empty box stands for
// the default, which it shows greyed.
class CNetSettingsDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CNetSettingsDlg(const CNetDetails& details, QWidget* parent = nullptr);

    // The values as the boxes hold them now.
    CNetDetails Details() const;

    QLineEdit* ClubNameBox() const { return m_club; }
    QLineEdit* NetNameBox() const { return m_net; }
    QLineEdit* FrequencyBox() const { return m_frequency; }
    QLineEdit* StartTimeBox() const { return m_start; }
    QLineEdit* StationCallBox() const { return m_station; }
    QLineEdit* OperatorBox() const { return m_operator; }
    QLineEdit* ModeBox() const { return m_mode; }

private:
    QLineEdit* m_club = nullptr;
    QLineEdit* m_net = nullptr;
    QLineEdit* m_frequency = nullptr;
    QLineEdit* m_start = nullptr;
    QLineEdit* m_station = nullptr;
    QLineEdit* m_operator = nullptr;
    QLineEdit* m_mode = nullptr;
};
