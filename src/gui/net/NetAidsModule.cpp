#include "gui/net/NetAidsModule.h"

#include "core/Exceptions.h"
#include "core/app/Clock.h"
#include "core/app/OutputCheck.h"
#include "core/app/Settings.h"
#include "core/log/CheckinForm.h"
#include "core/log/CheckinStore.h"
#include "core/log/LogFilter.h"
#include "core/log/RtfReader.h"
#include "core/net/NetDays.h"
#include "core/net/NetScript.h"
#include "core/net/NetStatistics.h"
#include "core/net/NetSummary.h"
#include "core/net/NetTimes.h"
#include "gui/app/Commands.h"
#include "gui/app/LeftView.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "gui/log/LogwardenView.h"
#include "gui/log/NetpreambleDlg.h"
#include "gui/net/NetStatisticsDlg.h"
#include "gui/net/NetSummaryDlg.h"
#include "gui/net/RegularsPanel.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextCharFormat>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>

void CNetAidsModule::Install(CMainFrame& frame)
{
    new CNetAidsModule(frame);
}

CNetAidsModule::CNetAidsModule(CMainFrame& frame)
    : QObject(&frame), m_frame(frame), m_doc(frame.Document()), m_view(*frame.FormView())
{
    setObjectName(QStringLiteral("netAids"));
    CCommands& c = frame.Commands();
    CCheckinStore& store = m_doc.Store();

    m_regulars = new CRegularsPanel(m_doc, &m_view);
    // Next to the calendar, where the operator looks during the net; the tab counts who is missing.
    m_view.AddCalendarPage(m_regulars, QStringLiteral("Regulars"));
    m_view.CalendarTabs()->tabBar()->moveTab(m_view.CalendarTabs()->indexOf(m_regulars), 1);
    connect(m_regulars, &CRegularsPanel::taken, this, [this](const QString& call) {
        m_view.FocusCallSign();
        m_frame.SetStatusText(QStringLiteral("%1 taken from the regulars: F5 logs the check-in").arg(call));
    });
    connect(m_regulars, &CRegularsPanel::countChanged, this, [this](int count) {
        m_view.CalendarTabs()->setTabText(m_view.CalendarTabs()->indexOf(m_regulars),
                                          count > 0 ? QStringLiteral("Regulars (%1)").arg(count)
                                                    : QStringLiteral("Regulars"));
    });
    m_regulars->Refresh();

    auto bind = [](QAction* action, auto&& slot) {
        QObject::connect(action, &QAction::triggered, action, slot);
        action->setEnabled(true);
    };
    bind(c.netStart, [this] { OnStartNet(); });
    bind(c.netEnd, [this] { OnEndNet(); });
    bind(c.undo, [this] { OnUndo(); });
    bind(c.netStatistics, [this] { OnStatistics(); });
    const auto updateUndo = [this, &store, undo = c.undo] {
        undo->setStatusTip(store.CanUndo() ? QStringLiteral("Undo %1").arg(store.UndoText())
                                           : QStringLiteral("Undo the last action"));
    };
    connect(&store, &CCheckinStore::undoChanged, this, updateUndo);
    // A text box takes Ctrl+Z for its own typing even when it has none to undo; then the key goes on to
    // the log's undo.
    qApp->installEventFilter(this);

    // The days with a log: read again once the log or the shown month changed.
    m_marksPending = new QTimer(this);
    m_marksPending->setSingleShot(true);
    m_marksPending->setInterval(0);
    connect(m_marksPending, &QTimer::timeout, this, &CNetAidsModule::MarkNetDays);
    const auto marksLater = [this] { m_marksPending->start(); };
    connect(&store, &CCheckinStore::checkinAdded, this, marksLater);
    connect(&store, &CCheckinStore::checkinChanged, this, marksLater);
    connect(&store, &CCheckinStore::checkinsRemoved, this, marksLater);
    connect(&store, &CCheckinStore::logReset, this, marksLater);
    connect(m_view.Calendar(), &QCalendarWidget::currentPageChanged, this, marksLater);
    // Wide enough for a day's text in bold.
    QFont boldTree = frame.LeftView()->font();
    boldTree.setBold(true);
    const int treeWidth = QFontMetrics(boldTree).horizontalAdvance(QStringLiteral("0000 00 00")) + 70;
    if (frame.LeftView()->minimumWidth() < treeWidth)
        frame.LeftView()->setMinimumWidth(treeWidth);
    MarkNetDays();

    // The script docked at the form's right; the call-sign box keeps the focus, Alt+Page Down and Alt+Page
    // Up scroll it from anywhere in the window.
    m_dock = new QDockWidget(QStringLiteral("Net Script"), &frame);
    m_dock->setObjectName(QStringLiteral("netScriptDock"));
    m_dock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_script = new QTextBrowser(m_dock);
    m_script->setObjectName(QStringLiteral("netScriptText"));
    m_script->setFocusPolicy(Qt::NoFocus);
    m_script->setOpenLinks(false);
    m_dock->setWidget(m_script);
    m_dock->setFocusPolicy(Qt::NoFocus);
    frame.addDockWidget(Qt::RightDockWidgetArea, m_dock);
    m_dock->hide();
    c.netScript->setEnabled(true);
    connect(c.netScript, &QAction::toggled, this, [this](bool on) {
        if (on)
            LoadScript();
        m_dock->setVisible(on);
        m_doc.Settings().Set(Setting::NetScriptDocked, on);
    });
    // Closed by its own button: the menu item follows.
    m_dock->installEventFilter(this);
    const auto scroll = [this](int pages) {
        QScrollBar* bar = m_script->verticalScrollBar();
        bar->setValue(bar->value() + pages * bar->pageStep());
    };
    auto* down = new QAction(&frame);
    down->setShortcut(QKeySequence(Qt::ALT | Qt::Key_PageDown));
    down->setShortcutContext(Qt::WindowShortcut);
    connect(down, &QAction::triggered, this, [scroll] { scroll(1); });
    frame.addAction(down);
    auto* up = new QAction(&frame);
    up->setShortcut(QKeySequence(Qt::ALT | Qt::Key_PageUp));
    up->setShortcutContext(Qt::WindowShortcut);
    connect(up, &QAction::triggered, this, [scroll] { scroll(-1); });
    frame.addAction(up);
    const auto reloadScript = [this] {
        if (m_dock->isVisible())
            LoadScript();
    };
    connect(&m_doc.Form(), &CCheckinForm::dayChanged, this, reloadScript);
    connect(&store, &CCheckinStore::netStamped, this, reloadScript);
    if (m_doc.Settings().Get(Setting::NetScriptDocked))
        c.netScript->setChecked(true);
}

bool CNetAidsModule::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Undo)) {
        auto* line = qobject_cast<QLineEdit*>(watched);
        if (line && !line->isUndoAvailable() && line->window() == &m_frame) {
            event->ignore();
            return true;
        }
        return false;
    }
    if (watched == m_dock && (event->type() == QEvent::Hide || event->type() == QEvent::Show)) {
        // The window's own hiding (minimised, closed) leaves the choice as it was.
        if (!m_frame.isHidden() && !m_frame.isMinimized()) {
            QAction* action = m_frame.Commands().netScript;
            const QSignalBlocker block(action);
            action->setChecked(m_dock->isVisible());
            m_doc.Settings().Set(Setting::NetScriptDocked, m_dock->isVisible());
        }
    }
    return QObject::eventFilter(watched, event);
}

bool CNetAidsModule::Stamp(bool start)
{
    const QDate day = m_doc.Form().Day();
    CCheckinStore& store = m_doc.Store();
    const NetTimes::CTimes times = NetTimes::Get(m_doc.LogReader(), day);
    const QDateTime already = start ? times.started : times.ended;
    const QString dayText = day.toString(QStringLiteral("MM/dd/yyyy"));
    if (already.isValid() &&
        !Prompt::Ask(&m_frame, QStringLiteral("The net of %1 was %2 at %3. Stamp it %2 now instead?")
                                   .arg(dayText, start ? QStringLiteral("started") : QStringLiteral("ended"),
                                        already.toString(QStringLiteral("HH:mm")))))
        return false;
    // The selected day's net, at the clock's time, as a check-in logged with F5.
    const QDateTime at(day, m_doc.Clock().Now().time());
    if (!Prompt::Guard(&m_frame, [&] {
            store.StampNet(day, start ? NetTimes::Stamp::Start : NetTimes::Stamp::End, at);
        }))
        return false;
    m_frame.SetStatusText(QStringLiteral("Net of %1 %2 at %3")
                              .arg(dayText, start ? QStringLiteral("started") : QStringLiteral("ended"),
                                   at.toString(QStringLiteral("HH:mm"))));
    return true;
}

bool CNetAidsModule::OnStartNet()
{
    return Stamp(true);
}

bool CNetAidsModule::OnEndNet()
{
    if (!Stamp(false))
        return false;
    CNetSummary summary;
    if (!Prompt::Guard(&m_frame,
                       [&] { summary = NetSummary::Summarize(m_doc.LogReader(), m_doc.Form().Day()); }))
        return true;
    CNetSummaryDlg dlg(summary, OutputCheck::GuardedFiles(m_doc.Settings().DataFolder()),
                       m_doc.Settings().DataFolder(), &m_frame);
    Prompt::Run(dlg);
    if (dlg.ReportWanted()) {
        // The net report takes the same day's check-ins and traffic.
        if (auto* report = m_frame.findChild<QPushButton*>(QStringLiteral("sendNetReportButton")))
            report->click();
    }
    return true;
}

void CNetAidsModule::OnStatistics()
{
    NetStatistics::CYear year;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read =
        Prompt::Guard(&m_frame, [&] { year = NetStatistics::Year(m_doc.LogReader(), m_doc.Form().Day()); });
    QApplication::restoreOverrideCursor();
    if (!read)
        return;
    CNetStatisticsDlg dlg(year, OutputCheck::GuardedFiles(m_doc.Settings().DataFolder()),
                          m_doc.Settings().DataFolder(), &m_frame);
    Prompt::Run(dlg);
}

void CNetAidsModule::OnUndo()
{
    // Typing is undone where it was typed, as Ctrl+Z always did.
    QWidget* focus = QApplication::focusWidget();
    if (auto* line = qobject_cast<QLineEdit*>(focus); line && line->isUndoAvailable()) {
        line->undo();
        return;
    }
    if (auto* text = qobject_cast<QTextEdit*>(focus);
        text && !text->isReadOnly() && text->document()->isUndoAvailable()) {
        text->undo();
        return;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus);
        plain && !plain->isReadOnly() && plain->document()->isUndoAvailable()) {
        plain->undo();
        return;
    }
    CCheckinStore& store = m_doc.Store();
    if (!store.CanUndo()) {
        m_frame.SetStatusText(QStringLiteral("Nothing to undo"));
        return;
    }
    // A stored check-in changes only when the operator says so: a slip onto Ctrl+Z changes nothing.
    if (!Prompt::Ask(&m_frame, QStringLiteral("Undo %1?").arg(store.UndoText())))
        return;
    QString said;
    if (Prompt::Guard(&m_frame, [&] { said = store.Undo(); }))
        m_frame.SetStatusText(said);
}

void CNetAidsModule::MarkNetDays()
{
    m_marksPending->stop();
    QCalendarWidget* calendar = m_view.Calendar();
    // The shown month with the days of the months around it that its page shows.
    const QDate first(calendar->yearShown(), calendar->monthShown(), 1);
    const QDate from = first.addDays(-7), to = first.addMonths(1).addDays(14);
    CLeftView* tree = m_frame.LeftView();
    const int items = tree->topLevelItemCount();
    const QDate treeFrom = items ? LogFilter::ParseDayText(tree->topLevelItem(0)->text(0)) : QDate();
    const QDate treeTo = items ? LogFilter::ParseDayText(tree->topLevelItem(items - 1)->text(0)) : QDate();
    QSet<QDate> monthDays, treeDays;
    try {
        for (const QDate& d : NetDays::Between(m_doc.LogReader(), from, to))
            monthDays.insert(d);
        for (const QDate& d : NetDays::Between(m_doc.LogReader(), treeFrom, treeTo))
            treeDays.insert(d);
    } catch (const CLogwardenException& e) {
        m_frame.SetStatusText(e.Message());
        return;
    }
    for (const QDate& d : std::as_const(m_bold))
        if (!monthDays.contains(d))
            calendar->setDateTextFormat(d, QTextCharFormat());
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    for (const QDate& d : std::as_const(monthDays))
        calendar->setDateTextFormat(d, bold);
    m_bold = monthDays;
    for (int i = 0; i < items; ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        const bool net = treeDays.contains(treeFrom.addDays(i));
        if (item->font(0).bold() != net) {
            QFont f = item->font(0);
            f.setBold(net);
            item->setFont(0, f);
            item->setToolTip(0, net ? QStringLiteral("This day has a log") : QString());
        }
    }
}

void CNetAidsModule::LoadScript()
{
    const QDate day = m_doc.Form().Day();
    const QString path =
        QDir(m_doc.Settings().DataFolder()).absoluteFilePath(QString::fromLatin1(CNetpreambleDlg::kFileName));
    const int position = m_script->verticalScrollBar()->value();
    try {
        CRtfDocument rtf = RtfReader::ReadFile(path);
        NetScript::Fill(rtf,
                        NetScript::ValuesFor(m_doc.Settings(), day, NetTimes::Get(m_doc.LogReader(), day)));
        CNetpreambleDlg::Fill(*m_script->document(), rtf, 1.0);
        m_script->moveCursor(QTextCursor::Start);
    } catch (const CLogwardenException& e) {
        m_script->setPlainText(
            QFileInfo::exists(path)
                ? QStringLiteral("The net script cannot be shown: %1.").arg(e.Message())
                : QStringLiteral("No net script: the file \"%1\" does not exist.").arg(path));
    }
    // A reload (another day, a stamp) keeps the place the operator reads at.
    m_script->verticalScrollBar()->setValue(position);
}
