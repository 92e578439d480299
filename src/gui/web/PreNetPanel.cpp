#include "gui/web/PreNetPanel.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "core/fcc/FccLookup.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/web/ClubServer.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/EntryPanel.h"
#include "gui/log/LogwardenView.h"
#include "gui/web/WebTask.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

enum Column
{
    ColAck,
    ColCall,
    ColName,
    ColLocation,
    ColumnCount
};

const QColor kRowColour(249, 249, 233);

QString SourceText(const PreNet::CMove& m)
{
    switch (m.source) {
    case CCallbookAnswer::Source::LastCheckin:
        return QStringLiteral("%1: from the station's last check-in").arg(m.record.callSign);
    case CCallbookAnswer::Source::Fcc:
        return QStringLiteral("%1: from the FCC licence database").arg(m.record.callSign);
    default:
        break;
    }
    return QStringLiteral("%1: from the pre-net check-in").arg(m.record.callSign);
}

} // namespace

CPreNetPanel::CPreNetPanel(CMainFrame& frame, CClubServer& club, QWidget* parent)
    : QWidget(parent), m_frame(frame), m_doc(frame.Document()), m_view(*frame.FormView()), m_club(club)
{
    setObjectName(QStringLiteral("preNetPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Pre Net Check Ins:"), this));
    m_server = new QLineEdit(this);
    m_server->setObjectName(QStringLiteral("preNetServer"));
    m_server->setToolTip(
        QStringLiteral("The club's web server: pre-net check-ins, EchoLink listing, net report"));
    m_server->setPlaceholderText(QStringLiteral("club's web server"));
    top->addWidget(m_server, 1);
    layout->addLayout(top);

    m_preNetList = new QTableWidget(0, ColumnCount, this);
    m_preNetList->setObjectName(QStringLiteral("preNetList"));
    m_preNetList->setHorizontalHeaderLabels(
        {QStringLiteral("Ack"), QStringLiteral("Call"), QStringLiteral("Name"), QStringLiteral("Location")});
    const int widths[ColumnCount] = {30, 60, 80, 120};
    for (int c = 0; c < ColumnCount; ++c)
        m_preNetList->setColumnWidth(c, widths[c]);
    m_preNetList->horizontalHeader()->setSectionsMovable(true);
    // As narrow as the calendar: the location takes what is left, in full in its tool tip.
    m_preNetList->horizontalHeader()->setStretchLastSection(true);
    m_preNetList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_preNetList->horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    m_preNetList->verticalHeader()->hide();
    m_preNetList->verticalHeader()->setMinimumSectionSize(m_preNetList->fontMetrics().height() + 2);
    m_preNetList->verticalHeader()->setDefaultSectionSize(m_preNetList->fontMetrics().height() + 2);
    m_preNetList->setShowGrid(true);
    m_preNetList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_preNetList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_preNetList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preNetList->setFocusPolicy(Qt::ClickFocus);
    m_preNetList->setMinimumHeight(m_preNetList->verticalHeader()->defaultSectionSize() * 3 +
                                   m_preNetList->horizontalHeader()->sizeHint().height());
    layout->addWidget(m_preNetList, 1);

    auto* buttons = new QHBoxLayout;
    m_refresh = new QPushButton(QStringLiteral("&Pre Net Refresh"), this);
    m_refresh->setObjectName(QStringLiteral("preNetRefreshButton"));
    // Alt+P shows the net preamble; the button keeps its underlined letter but not the key.
    m_refresh->setShortcut(QKeySequence());
    // On two lines: the page is as narrow as the calendar.
    m_move = new QPushButton(QStringLiteral("Move all pre-checkins\nto log book"), this);
    m_move->setObjectName(QStringLiteral("moveAllButton"));
    m_move->setToolTip(QStringLiteral("Move all pre-checkins to log book"));
    for (QPushButton* b : {m_refresh, m_move}) {
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        buttons->addWidget(b, 1);
    }
    m_refresh->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    layout->addLayout(buttons);

    // The EchoLink listing: a page of its own.
    m_echoPage = new QWidget(parent);
    m_echoPage->setObjectName(QStringLiteral("echoLinkPage"));
    auto* echo = new QVBoxLayout(m_echoPage);
    echo->setContentsMargins(0, 0, 0, 0);
    echo->setSpacing(2);
    auto* echoRow = new QHBoxLayout;
    auto* echoCaption = new QLabel(QStringLiteral("Echolink Station Listing:"), m_echoPage);
    echoRow->addWidget(echoCaption);
    echoRow->addStretch(1);
    m_refreshEvery = new QCheckBox(QStringLiteral("Refresh\nEvery"), m_echoPage);
    m_refreshEvery->setObjectName(QStringLiteral("refreshEveryBox"));
    m_refreshEvery->setFocusPolicy(Qt::TabFocus);
    echoRow->addWidget(m_refreshEvery);
    m_seconds = new QLineEdit(QStringLiteral("5"), m_echoPage);
    m_seconds->setObjectName(QStringLiteral("refreshSeconds"));
    m_seconds->setToolTip(QStringLiteral("Seconds between two refreshes of the EchoLink listing"));
    m_seconds->setMaximumWidth(m_seconds->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    echoRow->addWidget(m_seconds);
    echo->addLayout(echoRow);
    auto* hint = new QLabel(QStringLiteral("Double Click to pre-load, then press F5 to log:"), m_echoPage);
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    echo->addWidget(hint);

    m_echoLinkList = new QListWidget(m_echoPage);
    m_echoLinkList->setObjectName(QStringLiteral("echoLinkList"));
    QFont bold = m_echoLinkList->font();
    bold.setPointSize(10);
    bold.setBold(true);
    m_echoLinkList->setFont(bold);
    m_echoLinkList->setFocusPolicy(Qt::ClickFocus);
    m_echoLinkList->setMinimumHeight(m_echoLinkList->fontMetrics().height() * 3);
    echo->addWidget(m_echoLinkList, 1);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("echoLinkTimer"));
    m_task = new CWebTask(frame.Progress(), club.PreNetWorker(), QStringLiteral("preNetProgress"),
                          QStringLiteral("Pre-net check-ins"), this);

    // The server box shows the setting and writes every change back at once.
    CSettings& settings = m_doc.Settings();
    // The placeholder an earlier version stored on its first start names no club: the box starts empty.
    const QString stored = settings.Get(Setting::PreNetServer);
    if (!settings.Contains(Setting::PreNetServer) || PreNet::ClubServerSetting(stored) != stored.trimmed())
        settings.Set(Setting::PreNetServer, PreNet::ClubServerSetting(stored));
    m_server->setText(settings.Get(Setting::PreNetServer));
    connect(m_server, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_doc.Settings().Set(Setting::PreNetServer, text); });

    connect(m_refresh, &QPushButton::clicked, this, &CPreNetPanel::RefreshPreNet);
    connect(m_move, &QPushButton::clicked, this, &CPreNetPanel::MovePreNetToLog);
    connect(m_refreshEvery, &QCheckBox::clicked, this, &CPreNetPanel::OnRefreshEvery);
    connect(m_seconds, &QLineEdit::editingFinished, this, [this] {
        if (m_refreshEvery->isChecked())
            OnRefreshEvery();
    });
    connect(m_timer, &QTimer::timeout, this, &CPreNetPanel::RefreshEchoLink);
    connect(m_preNetList, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { OnPreNetDoubleClick(row); });
    connect(m_echoLinkList, &QListWidget::itemDoubleClicked, this, &CPreNetPanel::OnEchoLinkDoubleClick);
    connect(&club, &CClubServer::preNetFetched, this, &CPreNetPanel::OnPreNetFetched);
    connect(&club, &CClubServer::echoLinkFetched, this, &CPreNetPanel::OnEchoLinkFetched);

    // The marks follow the log: whoever writes a check-in, its station is ticked.
    CCheckinStore& store = m_doc.Store();
    connect(&store, &CCheckinStore::checkinAdded, this, &CPreNetPanel::OnCheckinAdded);
    connect(&store, &CCheckinStore::checkinChanged, this, &CPreNetPanel::Remark);
    connect(&store, &CCheckinStore::checkinsRemoved, this, &CPreNetPanel::Remark);
    connect(&store, &CCheckinStore::logReset, this, &CPreNetPanel::Remark);
    connect(&store, &CCheckinStore::checkinsImported, this, &CPreNetPanel::Remark);
    // A new day's rows are in the form already: no need to read them again.
    connect(&m_doc.Form(), &CCheckinForm::dayChanged, this, [this] {
        QStringList calls;
        for (const CCheckinRecord& r : m_doc.Form().Rows())
            calls << r.callSign;
        m_dayCalls = CCallSet(calls);
        ShowMarks();
    });
}

CPreNetPanel::~CPreNetPanel() = default;

void CPreNetPanel::Status(const QString& text)
{
    m_frame.SetStatusText(text);
}

QString CPreNetPanel::ClubServer(bool ask)
{
    // Each exchange reads the server again: another part of the program may have changed it.
    const QString server = PreNet::ClubServerSetting(m_doc.Settings().Get(Setting::PreNetServer));
    if (server != m_server->text().trimmed()) {
        const QSignalBlocker block(m_server);
        m_server->setText(server);
    }
    if (server.isEmpty()) {
        Status(PreNet::kSetServerFirst);
        if (ask) {
            FocusServerBox();
            Prompt::Notify(this, Prompt::Kind::Warning, PreNet::kSetServerFirst);
        }
    }
    return server;
}

void CPreNetPanel::FocusServerBox()
{
    if (QTabWidget* tabs = m_view.CalendarTabs())
        tabs->setCurrentWidget(this);
    m_server->setFocus(Qt::OtherFocusReason);
    m_server->selectAll();
}

bool CPreNetPanel::PrepareExchange(bool ask)
{
    const QString server = ClubServer(ask);
    if (server.isEmpty())
        return false;
    m_club.SetServer(server);
    m_club.SetOptions(CWebOptions::FromSettings(m_doc.Settings()));
    return true;
}

// --- Pre-net check-ins ---------------------------------------------------------------------------------

void CPreNetPanel::RefreshPreNet()
{
    if (m_club.PreNetWorker().IsBusy())
        return;
    if (!PrepareExchange(true))
        return;
    if (m_club.RefreshPreNet())
        m_task->Begin();
}

void CPreNetPanel::OnPreNetFetched(const CPreNetFetch& fetch)
{
    m_task->End();
    Status(fetch.page.Summary());
    if (fetch.page.status == CPreNetPage::Entries) {
        m_entries = fetch.page.entries;
    } else if (fetch.page.status != CPreNetPage::Failed) {
        // A failed fetch says nothing of the day: the list it had stays.
        m_entries.clear();
    }
    Remark();
    ShowPreNet();
    if (fetch.page.status != CPreNetPage::Entries)
        Prompt::Notify(this,
                       fetch.page.status == CPreNetPage::NothingFound ? Prompt::Kind::Information
                                                                      : Prompt::Kind::Warning,
                       fetch.page.Message());
    Q_EMIT preNetShown();
}

void CPreNetPanel::ShowPreNet()
{
    m_preNetList->setUpdatesEnabled(false);
    m_preNetList->clearContents();
    m_preNetList->setRowCount(int(m_entries.size()));
    for (int row = 0; row < int(m_entries.size()); ++row) {
        const CPreNetEntry& e = m_entries[size_t(row)];
        const QString texts[ColumnCount] = {QString(), e.call, e.name, e.location};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(texts[c]);
            item->setTextAlignment(Qt::AlignCenter);
            item->setBackground(kRowColour);
            item->setForeground(Qt::black);
            // The tick is the log's, not the operator's.
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (c == ColAck)
                item->setCheckState(e.logged ? Qt::Checked : Qt::Unchecked);
            else
                item->setToolTip(texts[c]);
            m_preNetList->setItem(row, c, item);
        }
    }
    m_preNetList->setUpdatesEnabled(true);
    if (!m_entries.empty()) {
        const int last = int(m_entries.size()) - 1;
        m_preNetList->selectRow(last);
        m_preNetList->scrollToItem(m_preNetList->item(last, ColCall));
    }
}

void CPreNetPanel::Remark()
{
    try {
        m_dayCalls = CCallSet::OfDay(m_doc.LogReader(), m_doc.Form().Day());
    } catch (const CLogwardenException& e) {
        Status(e.Message());
        return;
    }
    ShowMarks();
}

void CPreNetPanel::OnCheckinAdded(const CCheckinRecord& record)
{
    if (!record.date.IsValid() || record.date.Date() != m_doc.Form().Day())
        return;
    m_dayCalls.Insert(record.callSign);
    ShowMarks();
}

void CPreNetPanel::ShowMarks()
{
    PreNet::MarkLogged(m_entries, m_dayCalls);
    for (int row = 0; row < int(m_entries.size()) && row < m_preNetList->rowCount(); ++row)
        if (QTableWidgetItem* ack = m_preNetList->item(row, ColAck)) {
            const Qt::CheckState state = m_entries[size_t(row)].logged ? Qt::Checked : Qt::Unchecked;
            if (ack->checkState() != state)
                ack->setCheckState(state);
        }
}

int CPreNetPanel::MovePreNetToLog()
{
    CCheckinForm& form = m_doc.Form();
    const QDate day = form.Day();
    CDatabase& log = m_doc.LogReader();
    const QString fccPath = FccDatabasePath(m_doc.Settings());
    int moved = 0;
    QString fccError;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        std::vector<CCheckinRecord> records;
        for (const CPreNetEntry& e : PreNet::EntriesToMove(m_entries, CCallSet::OfDay(log, day))) {
            const PreNet::CMove m = PreNet::Resolve(log, m_doc.FccDatabase(), fccPath, e);
            if (fccError.isEmpty())
                fccError = m.fccError;
            CCheckinRecord record = form.WithDistance(m.record);
            record.date = CDateTime(day, m_doc.Clock().Now().time());
            records.push_back(record);
        }
        // All the stations in one commit: all are logged, or none.
        moved = int(m_doc.Store().AddMany(records, CCheckinStore::Undoable::Yes).size());
    } catch (const CLogwardenException& e) {
        QApplication::restoreOverrideCursor();
        Prompt::Error(this, e.Message());
        return moved;
    }
    QApplication::restoreOverrideCursor();
    QString text = moved == 0 ? QStringLiteral("Every pre-net check-in is in the log already")
                              : QStringLiteral("%1 pre-net check-ins moved to the log").arg(moved);
    // Stations the FCC database could not be asked about took the pre-net entry's name and location.
    if (!fccError.isEmpty())
        text += QStringLiteral(" (%1)").arg(fccError);
    Status(text);
    return moved;
}

void CPreNetPanel::OnPreNetDoubleClick(int row)
{
    if (row < 0 || row >= int(m_entries.size()))
        return;
    CCheckinForm& form = m_doc.Form();
    try {
        const PreNet::CMove m = PreNet::Resolve(m_doc.LogReader(), m_doc.FccDatabase(),
                                                FccDatabasePath(m_doc.Settings()), m_entries[size_t(row)]);
        if (m.source == CCallbookAnswer::Source::LastCheckin) {
            form.TakeMatch(m.record.callSign);
            Status(SourceText(m));
        } else {
            // The licence, or else what the station typed into the club's form.
            CCallbookAnswer answer;
            answer.source = m.source;
            answer.found = true;
            answer.station = m.record;
            answer.statusText = SourceText(m);
            form.ApplyLookup(answer);
        }
    } catch (const CLogwardenException& e) {
        Prompt::Error(this, e.Message());
    }
    m_view.FocusCallSign();
}

// --- EchoLink ------------------------------------------------------------------------------------------

void CPreNetPanel::OnRefreshEvery()
{
    m_timer->stop();
    if (!m_refreshEvery->isChecked())
        return;
    const int period = PreNet::RefreshIntervalMs(m_seconds->text());
    if (period > 0)
        m_timer->start(period);
}

void CPreNetPanel::RefreshEchoLink()
{
    if (m_club.EchoLinkWorker().IsBusy())
        return;
    // A timer tick: the status bar says it, no box every few seconds.
    if (!PrepareExchange(false))
        return;
    m_club.RefreshEchoLink();
}

void CPreNetPanel::OnEchoLinkFetched(const CEchoLinkFetch& fetch)
{
    if (!fetch.response.IsSuccess()) {
        // An error page's words are no stations: the last list stays, greyed, and the status bar says why.
        if (!m_echoStale)
            m_echoStaleSince = QTime::currentTime();
        m_echoStale = true;
        const QString why =
            QStringLiteral("EchoLink listing not refreshed: %1").arg(fetch.response.FailureText());
        m_echoLinkList->setStyleSheet(QStringLiteral("QListWidget { color: gray; }"));
        m_echoLinkList->setToolTip(QStringLiteral("%1 (the list is from before %2)")
                                       .arg(why, m_echoStaleSince.toString(QStringLiteral("HH:mm:ss"))));
        Status(why);
        Q_EMIT echoLinkShown();
        return;
    }
    if (m_echoStale) {
        m_echoStale = false;
        m_echoLinkList->setStyleSheet(QString());
        m_echoLinkList->setToolTip(QString());
    }
    if (fetch.capped)
        Status(QStringLiteral("EchoLink: the page holds more than %1 stations; only the first ones are shown")
                   .arg(PreNet::kMaxEntries));
    // A refresh that ends after the box was cleared still shows what it brought: it is the newest news.
    QStringList lines = fetch.stations;
    std::stable_sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
    const QListWidgetItem* selected = m_echoLinkList->currentItem();
    const QString previous = selected && selected->isSelected() ? selected->text() : QString();
    const int previousIndex = selected && selected->isSelected() ? m_echoLinkList->currentRow() : -1;
    m_echoLinkList->setUpdatesEnabled(false);
    m_echoLinkList->clear();
    m_echoLinkList->addItems(lines);
    if (previousIndex >= 0) {
        const int again = PreNet::Reselect(lines, previous, previousIndex);
        if (again >= 0)
            m_echoLinkList->setCurrentRow(again);
    }
    m_echoLinkList->setUpdatesEnabled(true);
    Q_EMIT echoLinkShown();
}

void CPreNetPanel::OnEchoLinkDoubleClick()
{
    const QListWidgetItem* item = m_echoLinkList->currentItem();
    if (!item)
        return;
    QLineEdit* box = m_view.CallSignBox();
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
    box->insert(item->text().toUpper()); // the box holds upper case only
    if (m_view.Entry()->MatchesList()->count() > 0)
        m_view.OnSelectMatch(0);
}
