#pragma once

#include "core/log/NetRoster.h"

#include <QDate>
#include <QWidget>

class CLogwardenDoc;
class CLogwardenView;
class CTransmitterToggle;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Under the form's calendar: the net-control operator scheduled for the selected day, the six letter
// ranges with the day's range in bold, and the transmitter toggle with its host box.
class CNetDayPanel : public QWidget
{
    Q_OBJECT
public:
    CNetDayPanel(CLogwardenDoc& doc, CLogwardenView& form, QWidget* parent = nullptr);
    ~CNetDayPanel() override;

    // The selected day changed (or the form is first shown): the NCS label, the marked letter range and
    // the window's title follow it.
    void UpdateNetDay();
    void UpdateNetDay(const QDate& day);
    // A letter range was chosen: it becomes the current one (the bold marking stays with the day's
    // range) and the call-sign box takes the focus.
    void OnLetterRange(int index);
    // F10 and "Transmit [F10]": runs the transmitter command for the host in the box.
    void OnTransmit();

    int MyPlaceInd() const { return m_iMyPlaceInd; }
    int MarkedRange() const { return m_markedRange; }
    bool IsTransmitterOn() const { return m_bTransmitterOn; }
    QLabel* NcsLabel() const { return m_ncsLabel; }
    QRadioButton* RangeButton(int index) const { return m_ranges[index]; }
    QPushButton* TransmitButton() const { return m_transmit; }
    QLineEdit* HostBox() const { return m_host; }
    CTransmitterToggle& Transmitter() const { return *m_toggle; }

Q_SIGNALS:
    void statusText(const QString& text);
    // The transmitter command ran or was refused; ok when it ran to its end without error.
    void transmitFinished(bool ok);

private:
    void OnTransmitFinished(bool ok, const QString& message);
    void ShowTransmitIcon();

    CLogwardenDoc& m_doc;
    CLogwardenView& m_form;
    QLabel* m_ncsLabel = nullptr;
    QRadioButton* m_ranges[NetRoster::kLetterRanges] = {};
    QPushButton* m_transmit = nullptr;
    QLineEdit* m_host = nullptr;
    CTransmitterToggle* m_toggle = nullptr;
    QFont m_normalFont;
    QFont m_boldFont;
    int m_iMyPlaceInd = 0; // the current letter range, 0..5
    int m_markedRange = 0; // the range shown in bold: the selected day's
    bool m_bTransmitterOn = false;
};
