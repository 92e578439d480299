#include "gui/app/NetSettingsDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CNetSettingsDlg::CNetSettingsDlg(const CNetDetails& details, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("netSettingsDialog"));
    setWindowTitle(QStringLiteral("Net Settings"));
    const CNetDetails defaults;
    auto* form = new QFormLayout;
    auto box = [this, form](const char* label, const char* name, const QString& text,
                            const QString& fallback) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(QLatin1String(name));
        e->setPlaceholderText(fallback);
        e->setMinimumWidth(300);
        form->addRow(QString::fromLatin1(label), e);
        return e;
    };
    m_club = box("&Club name:", "clubName", details.clubName, defaults.clubName);
    m_net = box("&Net name:", "netName", details.netName, defaults.netName);
    m_frequency = box("&Frequency:", "frequency", details.frequency, defaults.frequency);
    m_start = box("&Start time:", "startTime", details.startTime, defaults.startTime);
    m_station = box("Station c&all:", "stationCall", details.stationCall, QStringLiteral("none"));
    m_operator =
        box("&Operator:", "operatorCall", details.operatorCall, QStringLiteral("the station's call"));
    m_mode = box("&Mode:", "mode", details.mode, defaults.mode);
    m_station->setToolTip(QStringLiteral("STATION_CALLSIGN, OPERATOR and MODE of the ADIF export"));
    m_net->setToolTip(QStringLiteral("On the net-log page, in the blast's subject and the preamble's title"));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_club->setFocus();
}

CNetDetails CNetSettingsDlg::Details() const
{
    CNetDetails d;
    d.clubName = m_club->text();
    d.netName = m_net->text();
    d.frequency = m_frequency->text();
    d.startTime = m_start->text();
    d.stationCall = m_station->text();
    d.operatorCall = m_operator->text();
    d.mode = m_mode->text();
    return d;
}
