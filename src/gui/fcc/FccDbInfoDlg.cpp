#include "gui/fcc/FccDbInfoDlg.h"

#include "core/app/Settings.h"
#include "core/fcc/FccDbState.h"
#include "core/fcc/FccLookup.h"
#include "core/fcc/UlsArchive.h"
#include "core/jobs/BackgroundJob.h"
#include "core/web/WebRequest.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CFCCDbInfoDlg::CFCCDbInfoDlg(CSettings& settings, QWidget* parent) : QDialog(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("fccDbInfoDlg"));
    setWindowTitle(CFCCDbInfo::FccTitle());
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    m_availableLabel = label("availableLabel");
    m_available = label("available");
    m_currentLabel = label("currentLabel");
    m_current = label("current");
    for (QLabel* value : {m_available, m_current})
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(m_availableLabel, 0, 0);
    grid->addWidget(m_available, 0, 1);
    grid->addWidget(m_currentLabel, 1, 0);
    grid->addWidget(m_current, 1, 1);
    m_weeklyLabel = label("weeklyLabel");
    m_weeklyLabel->setText(QStringLiteral("Weekly in the database: "));
    m_weekly = label("weekly");
    m_dailyLabel = label("dailyLabel");
    m_dailyLabel->setText(QStringLiteral("Last daily applied: "));
    m_daily = label("daily");
    grid->addWidget(m_weeklyLabel, 2, 0);
    grid->addWidget(m_weekly, 2, 1);
    grid->addWidget(m_dailyLabel, 3, 0);
    grid->addWidget(m_daily, 3, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);
    m_reason = label("reason");
    m_reason->setWordWrap(true);
    m_reason->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_reason->setMinimumWidth(380);
    layout->addWidget(m_reason);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_check = buttons->addButton(CFCCDbInfo::FccButton(), QDialogButtonBox::ActionRole);
    m_check->setObjectName(QStringLiteral("checkButton"));
    m_check->setAutoDefault(false);
    connect(m_check, &QPushButton::clicked, this, &CFCCDbInfoDlg::OnCheck);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    m_job = new CBackgroundJob(this);
    connect(m_job, &CBackgroundJob::finished, this, &CFCCDbInfoDlg::OnFccCheckFinished);
    ShowTexts();
}

CFCCDbInfoDlg::~CFCCDbInfoDlg()
{
    // The page need not be waited for: the job's thread ends as soon as its exchange does.
    if (m_http)
        m_http->Close();
}

void CFCCDbInfoDlg::showEvent(QShowEvent* event)
{
    if (!m_initialised) {
        m_initialised = true;
        m_info.OnInitDialog();
        setWindowTitle(m_info.WindowTitle());
        m_check->setText(m_info.ButtonCaption());
        ShowTexts();
        // A few rows of the database's meta table, read once as the dialog opens.
        const CFccDbState state = FccDbState::ReadFile(FccDatabasePath(m_settings));
        m_weekly->setText(state.WeeklyText());
        m_daily->setText(state.DailyText());
        for (QLabel* l : {m_weeklyLabel, m_weekly, m_dailyLabel, m_daily})
            l->setVisible(m_info.m_bFccForm);
    }
    QDialog::showEvent(event);
    // The check is what the dialog is opened for: Space presses it, Return still means OK.
    m_check->setFocus();
}

void CFCCDbInfoDlg::done(int result)
{
    if (m_http)
        m_http->Close();
    QDialog::done(result);
}

void CFCCDbInfoDlg::ShowTexts()
{
    m_availableLabel->setText(m_info.m_strAvailableLabel);
    m_available->setText(m_info.m_strAvailable);
    m_currentLabel->setText(m_info.m_strCurrentLabel);
    m_current->setText(m_info.m_strCurrent);
    ShowReason(m_info.m_strReason);
}

void CFCCDbInfoDlg::ShowReason(const QString& text)
{
    m_reason->setText(text);
    m_reason->setVisible(!text.isEmpty());
}

void CFCCDbInfoDlg::SetChecking(bool on)
{
    m_check->setEnabled(!on);
}

bool CFCCDbInfoDlg::IsChecking() const
{
    return !m_check->isEnabled();
}

QString CFCCDbInfoDlg::AvailableText() const
{
    return m_available->text();
}

QString CFCCDbInfoDlg::CurrentText() const
{
    return m_current->text();
}

QString CFCCDbInfoDlg::WeeklyText() const
{
    return m_weekly->text();
}

QString CFCCDbInfoDlg::DailyText() const
{
    return m_daily->text();
}

QString CFCCDbInfoDlg::ReasonText() const
{
    return m_reason->text();
}

void CFCCDbInfoDlg::OnCheck()
{
    if (IsChecking())
        return;
    if (m_info.m_bQrz) {
        if (m_qrzCheck)
            m_qrzCheck(*this);
        return;
    }
    // What the check needs from the settings is read here, on the window's thread.
    const QString host = m_settings.Get(Setting::FccUlsWebHost);
    const QString archive =
        QDir(UlsArchive::StorageFolder(m_settings)).filePath(QLatin1String(UlsArchive::kArchiveName));
    m_http = std::make_shared<CWebRequest>(CWebOptions::FromSettings(m_settings));
    m_result = std::make_shared<CFCCDbInfo::CFccCheck>();
    SetChecking(true);
    ShowReason(QStringLiteral("Reading the FCC's page ..."));
    m_job->Start([http = m_http, result = m_result, host, archive](CBackgroundJob&) {
        *result = CFCCDbInfo::CheckFccWebsite(*http, host, archive);
    });
}

void CFCCDbInfoDlg::OnFccCheckFinished()
{
    m_http.reset();
    m_info.Apply(*m_result);
    SetChecking(false);
    ShowTexts();
    Q_EMIT checked();
}
