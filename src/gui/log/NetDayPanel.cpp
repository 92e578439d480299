#include "gui/log/NetDayPanel.h"

#include "core/app/Clock.h"
#include "core/app/DateText.h"
#include "core/app/Settings.h"
#include "core/log/LogFilter.h"
#include "core/log/TransmitterToggle.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/Prompt.h"
#include "gui/log/LogwardenView.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// A mast with waves: red and larger while the transmitter is keyed, grey when it is not.
QIcon TransmitIcon(bool on)
{
    const int size = on ? 24 : 16;
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = on ? QColor(200, 20, 20) : QColor(110, 110, 110);
    const qreal s = size / 16.0;
    p.setPen(QPen(colour, 1.5 * s));
    p.drawLine(QPointF(8 * s, 6 * s), QPointF(8 * s, 15 * s));
    p.drawLine(QPointF(5 * s, 15 * s), QPointF(11 * s, 15 * s));
    p.setBrush(colour);
    p.drawEllipse(QPointF(8 * s, 5 * s), 1.5 * s, 1.5 * s);
    p.setBrush(Qt::NoBrush);
    if (on) {
        p.drawArc(QRectF(4 * s, 1 * s, 8 * s, 8 * s), 30 * 16, 120 * 16);
        p.drawArc(QRectF(1 * s, -2 * s, 14 * s, 14 * s), 35 * 16, 110 * 16);
    }
    return QIcon(pm);
}

} // namespace

CNetDayPanel::CNetDayPanel(CLogwardenDoc& doc, CLogwardenView& form, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_form(form)
{
    setObjectName(QStringLiteral("netDayPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    m_ncsLabel = new QLabel(this);
    m_ncsLabel->setObjectName(QStringLiteral("ncsLabel"));
    m_boldFont = font();
    m_boldFont.setPointSize(10);
    m_boldFont.setBold(true);
    m_ncsLabel->setFont(m_boldFont);
    layout->addWidget(m_ncsLabel);

    // Two columns, so that the net column fits beside the day list at the window's usual size.
    auto* group = new QButtonGroup(this);
    auto* ranges = new QGridLayout;
    ranges->setVerticalSpacing(0);
    const int rows = (NetRoster::kLetterRanges + 1) / 2;
    for (int i = 0; i < NetRoster::kLetterRanges; ++i) {
        m_ranges[i] = new QRadioButton(QString::fromLatin1(NetRoster::kLetterRangeTexts[i]), this);
        m_ranges[i]->setObjectName(QStringLiteral("letterRange%1").arg(i));
        group->addButton(m_ranges[i], i);
        ranges->addWidget(m_ranges[i], i % rows, i / rows);
    }
    layout->addLayout(ranges);
    m_normalFont = m_ranges[0]->font();
    connect(group, &QButtonGroup::idClicked, this, &CNetDayPanel::OnLetterRange);

    auto* transmitRow = new QHBoxLayout;
    m_transmit = new QPushButton(QStringLiteral("Transmit [F10]"), this);
    m_transmit->setObjectName(QStringLiteral("transmitButton"));
    m_transmit->setAutoDefault(false);
    m_host = new QLineEdit(this);
    m_host->setObjectName(QStringLiteral("transmitHost"));
    m_host->setPlaceholderText(QStringLiteral("host"));
    m_host->setText(m_doc.Settings().Get(Setting::TransmitterHost));
    m_host->setMinimumWidth(
        m_host->fontMetrics().horizontalAdvance(QStringLiteral("transmitter.example.org")) + 12);
    m_host->setToolTip(QStringLiteral("The host that runs the transmitter toggle script (reached by ssh)"));
    transmitRow->addWidget(m_transmit);
    transmitRow->addWidget(m_host, 1);
    layout->addLayout(transmitRow);
    layout->addStretch(1);

    m_toggle = new CTransmitterToggle(this);
    connect(m_toggle, &CTransmitterToggle::finished, this, &CNetDayPanel::OnTransmitFinished);
    connect(m_transmit, &QPushButton::clicked, this, &CNetDayPanel::OnTransmit);
    // The host last typed is offered on the next run.
    connect(m_host, &QLineEdit::editingFinished, this,
            [this] { m_doc.Settings().Set(Setting::TransmitterHost, m_host->text().trimmed()); });
    ShowTransmitIcon();
}

CNetDayPanel::~CNetDayPanel() = default;

void CNetDayPanel::UpdateNetDay()
{
    UpdateNetDay(m_doc.SelectedDay());
}

void CNetDayPanel::UpdateNetDay(const QDate& day)
{
    m_ranges[m_markedRange]->setFont(m_normalFont);
    m_ncsLabel->setText(NetRoster::Label(m_doc.Settings(), day));
    m_markedRange = NetRoster::LetterRangeIndex(day);
    m_iMyPlaceInd = m_markedRange;
    m_ranges[m_iMyPlaceInd]->setChecked(true);
    m_ranges[m_markedRange]->setFont(m_boldFont);
}

void CNetDayPanel::OnLetterRange(int index)
{
    if (index < 0 || index >= NetRoster::kLetterRanges)
        return;
    m_iMyPlaceInd = index;
    m_ranges[index]->setChecked(true);
    m_form.FocusCallSign();
}

void CNetDayPanel::OnTransmit()
{
    if (m_toggle->IsRunning()) {
        Q_EMIT statusText(QStringLiteral("The transmitter command is still running."));
        return;
    }
    CSettings& settings = m_doc.Settings();
    const QString host = m_host->text().trimmed();
    if (const QString why = CTransmitterToggle::CheckHost(host); !why.isEmpty()) {
        Prompt::Warning(&m_form, why);
        Q_EMIT transmitFinished(false);
        return;
    }
    settings.Set(Setting::TransmitterHost, host);
    m_transmit->setEnabled(false);
    Q_EMIT statusText(QStringLiteral("Toggling the transmitter on %1...").arg(host));
    QString error;
    if (!m_toggle->Start(settings.Get(Setting::TransmitterProgram), settings.Get(Setting::TransmitterScript),
                         host, settings.Get(Setting::TransmitterTimeOut), &error)) {
        m_transmit->setEnabled(true);
        Prompt::Warning(&m_form, error);
        Q_EMIT statusText(QStringLiteral("Ready"));
        Q_EMIT transmitFinished(false);
    }
}

void CNetDayPanel::OnTransmitFinished(bool ok, const QString& message)
{
    m_transmit->setEnabled(true);
    // The icon only follows a command that ran to its end: a failure leaves it as it was.
    if (ok) {
        m_bTransmitterOn = !m_bTransmitterOn;
        ShowTransmitIcon();
    }
    Q_EMIT statusText(message);
    Q_EMIT transmitFinished(ok);
}

void CNetDayPanel::ShowTransmitIcon()
{
    m_transmit->setIcon(TransmitIcon(m_bTransmitterOn));
    m_transmit->setIconSize(m_bTransmitterOn ? QSize(24, 24) : QSize(16, 16));
}
