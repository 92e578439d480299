#include "gui/app/MainFrame.h"

#include "core/app/Clock.h"
#include "core/app/DateText.h"
#include "core/app/NetDetails.h"
#include "core/app/Placement.h"
#include "core/app/Settings.h"
#include "core/app/Version.h"
#include "core/log/CheckinForm.h"
#include "gui/app/LeftView.h"
#include "gui/app/LockKeyIndicator.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/Modules.h"
#include "gui/app/NetSettingsDlg.h"
#include "gui/app/Prompt.h"
#include "gui/log/LogwardenView.h"
#include "gui/widgets/Icons.h"
#include "gui/widgets/ProgressPane.h"
#include "gui/widgets/WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

// Status-bar prompt and tool tip, as one text "prompt\ntip".
void SetPrompt(QAction* action, const QString& text)
{
    const qsizetype nl = text.indexOf(QLatin1Char('\n'));
    action->setStatusTip(nl < 0 ? text : text.left(nl));
    if (nl >= 0)
        action->setToolTip(text.mid(nl + 1));
}

} // namespace

CMainFrame::CMainFrame(CLogwardenDoc& doc, QWidget* parent)
    : QMainWindow(parent), m_doc(doc), m_settings(doc.Settings())
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(Icons::AppIcon());
    CreateActions();
    CreateMenus();
    CreateToolBars();
    CreateStatusBar();

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_leftView = new CLeftView(doc.Clock().Today(), m_splitter);
    m_formView = new CLogwardenView(doc, m_splitter);
    m_splitter->addWidget(m_leftView);
    m_splitter->addWidget(m_formView);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    // Wide enough for a day's text beside its icon.
    const int treeWidth = m_leftView->fontMetrics().horizontalAdvance(QStringLiteral("0000 00 00")) + 70;
    m_leftView->setMinimumWidth(treeWidth);
    m_splitter->setCollapsible(0, false);
    m_splitter->setSizes({treeWidth, 875 - treeWidth});
    setCentralWidget(m_splitter);

    connect(m_formView, &CLogwardenView::statusText, this, &CMainFrame::SetStatusText);
    // One selected day, kept by the form; the tree and the calendar choose it and follow it.
    CCheckinForm& form = doc.Form();
    connect(m_leftView, &CLeftView::daySelected, &form, &CCheckinForm::SelectDay);
    connect(&form, &CCheckinForm::dayChanged, m_leftView, &CLeftView::ShowDay);
    connect(&m_doc, &CLogwardenDoc::titleChanged, this, &CMainFrame::UpdateCaption);

    // The document's title is the selected day; the caption shows it followed by the program's name.
    m_doc.SetTitle(FormatCaptionDate(doc.Clock().Today()));
    UpdateCaption();

    m_formView->ConnectCommands(m_commands);
    InstallModules(*this);
    // Installed last, so asked first: what the boxes hold is settled before a recording or a blast
    // is ended for the close.
    installEventFilter(m_formView);
    form.SelectDay(m_leftView->SelectedDay());
    RestorePlacement();
    // The day tree is the active pane at start-up.
    m_leftView->setFocus();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateActions()
{
    auto make = [this](const QString& text, const QList<QKeySequence>& keys = {},
                       const QString& prompt = {}) {
        auto* a = new QAction(text, this);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        if (!prompt.isEmpty())
            SetPrompt(a, prompt);
        a->setEnabled(false);
        addAction(a); // keys work even when the action sits in no visible menu
        return a;
    };
    CCommands& c = m_commands;
    c.fileNew = make(QStringLiteral("&New"), {QKeySequence(Qt::CTRL | Qt::Key_N), QKeySequence(Qt::Key_F5)},
                     QStringLiteral("Create a new document\nNew (F5)"));
    c.fileNew->setIcon(Icons::Theme("document-new", QStyle::SP_FileIcon));
    c.fileOpen = make(QStringLiteral("&Open..."), {QKeySequence(Qt::CTRL | Qt::Key_O)},
                      QStringLiteral("The log has no document file to open"));
    c.fileOpen->setIcon(Icons::Theme("document-open", QStyle::SP_DialogOpenButton));
    c.fileSave = make(QStringLiteral("&Save"), {QKeySequence(Qt::CTRL | Qt::Key_S), QKeySequence(Qt::Key_F6)},
                      QStringLiteral("Save the active document\nSave (F6)"));
    c.fileSave->setIcon(Icons::Theme("document-save", QStyle::SP_DialogSaveButton));
    c.fileSaveAs =
        make(QStringLiteral("Save &As..."), {}, QStringLiteral("The log has no document file to save"));
    c.exportDay =
        make(QStringLiteral("&Export to Text File"), {}, QStringLiteral("Export to Text File\nExport Text"));
    c.exportAll = make(QStringLiteral("&Full DB Export to File"), {},
                       QStringLiteral("Export the full database to a text file.\nFull Export"));
    c.exit = make(QStringLiteral("E&xit"), {}, QStringLiteral("Quit the application"));
    c.exit->setEnabled(true);
    connect(c.exit, &QAction::triggered, this, &QWidget::close);

    c.undo = make(QStringLiteral("&Undo"),
                  {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)},
                  QStringLiteral("Undo the last action\nUndo"));
    c.cut = make(QStringLiteral("Cu&t"),
                 {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
                 QStringLiteral("Cut the selection and put it on the Clipboard\nCut"));
    c.cut->setIcon(Icons::Theme("edit-cut", -1));
    c.copy = make(QStringLiteral("&Copy"),
                  {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)},
                  QStringLiteral("Copy the selection and put it on the Clipboard\nCopy"));
    c.copy->setIcon(Icons::Theme("edit-copy", -1));
    c.paste = make(QStringLiteral("&Paste"),
                   {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
                   QStringLiteral("Insert Clipboard contents\nPaste"));
    c.paste->setIcon(Icons::Theme("edit-paste", -1));
    const std::pair<QAction*, const char*> editing[] = {{c.cut, "cut"}, {c.copy, "copy"}, {c.paste, "paste"}};
    for (const auto& [action, slot] : editing) {
        action->setEnabled(true);
        connect(action, &QAction::triggered, this, [this, slot = slot] { ForwardToFocus(slot); });
    }
    c.camelCase = make(QStringLiteral("Camel Case"), {QKeySequence(Qt::ALT | Qt::Key_C)},
                       QStringLiteral("Convert the current record to Cammel Case\nConvert to Camel Case"));
    const char* const matchPrompts[3] = {"Select the 1st Match in the list.\nSelect First Match",
                                         "Select the 2nd Match in the list.\nSelect Second Match",
                                         "Select the 3rd Match in the list.\nSelect Third Match"};
    for (int i = 0; i < 3; ++i)
        c.selectMatch[i] = make(QStringLiteral("Select Match %1").arg(i + 1), {QKeySequence(Qt::Key_F1 + i)},
                                QString::fromLatin1(matchPrompts[i]));

    c.recordFirst =
        make(QStringLiteral("&First Record"), {}, QStringLiteral("Move to first record\nFirst Record"));
    c.recordFirst->setIcon(Icons::Theme("go-first", QStyle::SP_MediaSkipBackward));
    c.recordPrev = make(QStringLiteral("&Previous Record"), {},
                        QStringLiteral("Move to previous record\nPrevious Record"));
    c.recordPrev->setIcon(Icons::Theme("go-previous", QStyle::SP_MediaSeekBackward));
    c.recordNext =
        make(QStringLiteral("&Next Record"), {}, QStringLiteral("Move to next record\nNext Record"));
    c.recordNext->setIcon(Icons::Theme("go-next", QStyle::SP_MediaSeekForward));
    c.recordLast =
        make(QStringLiteral("&Last Record"), {}, QStringLiteral("Move to last record\nLast Record"));
    c.recordLast->setIcon(Icons::Theme("go-last", QStyle::SP_MediaSkipForward));
    c.purge =
        make(QStringLiteral("P&urge"), {}, QStringLiteral("All but 1 for performance\nPurge to Unique"));
    c.emptyDatabase =
        make(QStringLiteral("&Empty Database"), {}, QStringLiteral("Delete every check-in\nEmpty Database"));
    c.deleteCheckin = make(QStringLiteral("Delete"), {},
                           QStringLiteral("Delete the current record as a Checkin\nDelete (Del Key)"));
    c.deleteCheckin->setIcon(Icons::Theme("edit-delete", QStyle::SP_TrashIcon));

    c.viewToolbar =
        make(QStringLiteral("&Toolbar"), {}, QStringLiteral("Show or hide the toolbar\nToggle ToolBar"));
    c.viewStatusBar = make(QStringLiteral("&Status Bar"), {},
                           QStringLiteral("Show or hide the status bar\nToggle StatusBar"));
    c.netPreamble = make(QStringLiteral("&Net Preamble"), {QKeySequence(Qt::ALT | Qt::Key_P)},
                         QStringLiteral("Show or Hide the Net Preamble"));
    c.netScript = make(QStringLiteral("Net Sc&ript"), {},
                       QStringLiteral("Show or hide the net preamble docked beside the form"));
    c.netScript->setCheckable(true);
    c.netStatistics =
        make(QStringLiteral("Net Stat&istics..."), {},
             QStringLiteral("Check-ins per net over the last year and the most regular stations"));
    c.netStart = make(QStringLiteral("&Start Net"), {QKeySequence(Qt::CTRL | Qt::Key_F5)},
                      QStringLiteral("Stamp the start of the selected day's net\nStart Net (Ctrl+F5)"));
    c.netEnd = make(
        QStringLiteral("&End Net"), {QKeySequence(Qt::CTRL | Qt::Key_F6)},
        QStringLiteral("Stamp the end of the selected day's net and show its summary\nEnd Net (Ctrl+F6)"));
    c.netSettings = make(QStringLiteral("N&et Settings..."), {},
                         QStringLiteral("The club's and the net's names, frequency and start time"));
    c.netSettings->setEnabled(true);
    connect(c.netSettings, &QAction::triggered, this, &CMainFrame::EditNetSettings);
    c.fccDbStatus = make(QStringLiteral("&FCC Db Status"), {},
                         QStringLiteral("Available FCC Database vs Current\nNeed to update?"));
    c.about = make(QStringLiteral("&About Logwarden..."), {},
                   QStringLiteral("Display program information, version number and copyright\nAbout"));
    c.about->setIcon(Icons::Theme("help-about", QStyle::SP_MessageBoxInformation));
    c.about->setEnabled(true);
    connect(c.about, &QAction::triggered, this, &CMainFrame::ShowAbout);

    c.goHome = make(QStringLiteral("Go Home"), {QKeySequence(Qt::Key_F4)},
                    QStringLiteral("Goto the Home Position\nGo Home"));
    c.localLookUp = make(QStringLiteral("Local Look Up"), {QKeySequence(Qt::Key_F7)});
    c.qrzPull = make(QStringLiteral("Pull from QRZ"), {QKeySequence(Qt::Key_F8)});
    c.hearCall = make(QStringLiteral("Hear Call"), {QKeySequence(Qt::Key_F9)});
    c.transmit = make(QStringLiteral("Transmit"), {QKeySequence(Qt::Key_F10)});
    c.previousPane = make(QStringLiteral("Previous Pane"), {QKeySequence(Qt::SHIFT | Qt::Key_F6)},
                          QStringLiteral("Switch back to the previous window pane\nPrevious Pane"));
    c.previousPane->setEnabled(true);
    connect(c.previousPane, &QAction::triggered, this, &CMainFrame::SwitchPane);

    c.fccCheck = make(QStringLiteral("Check"), {},
                      QStringLiteral("Available FCC Database vs Current\nNeed to update?"));
    c.fccDownload =
        make(QStringLiteral("DLoad"), {}, QStringLiteral("Download the FCC licence archive\nDownload"));
    c.fccExtract = make(QStringLiteral("Extract"), {},
                        QStringLiteral("Extract AM.dat, EN.dat and HD.dat from the archive\nExtract"));
    c.fccCompile =
        make(QStringLiteral("Compile"), {}, QStringLiteral("Build the FCC licence database\nCompile"));
    c.fccUpdate = make(QStringLiteral("Update"), {},
                       QStringLiteral("Apply the FCC's daily files to the licence database\nUpdate"));
    c.fccUpdateAtStart = make(QStringLiteral("&Update FCC Db at Start"), {},
                              QStringLiteral("Apply the FCC's daily files at start when the licence database "
                                             "is more than a day behind"));
    c.fccUpdateAtStart->setCheckable(true);
    c.print = make(QStringLiteral("&Print..."), {}, QStringLiteral("Print the active document\nPrint"));
    c.print->setIcon(Icons::Theme("document-print", -1));
}

void CMainFrame::CreateMenus()
{
    CCommands& c = m_commands;
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addActions({c.fileNew, c.fileOpen, c.fileSave, c.fileSaveAs});
    file->addSeparator();
    file->addActions({c.exportDay, c.exportAll});
    file->addSeparator();
    file->addAction(c.exit);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addActions({c.undo});
    edit->addSeparator();
    edit->addActions({c.cut, c.copy, c.paste});
    edit->addSeparator();
    edit->addAction(c.camelCase);
    edit->addSeparator();
    edit->addActions({c.selectMatch[0], c.selectMatch[1], c.selectMatch[2]});

    QMenu* record = menuBar()->addMenu(QStringLiteral("&Record"));
    record->addActions({c.recordFirst, c.recordPrev, c.recordNext, c.recordLast});
    record->addSeparator();
    record->addActions({c.purge, c.emptyDatabase});

    QMenu* net = menuBar()->addMenu(QStringLiteral("&Net"));
    net->addActions({c.netStart, c.netEnd});

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    view->addActions({c.viewToolbar, c.viewStatusBar});
    view->addSeparator();
    view->addActions(
        {c.netPreamble, c.netScript, c.netStatistics, c.netSettings, c.fccDbStatus, c.fccUpdateAtStart});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(c.about);
}

void CMainFrame::CreateToolBars()
{
    CCommands& c = m_commands;
    m_toolBar = addToolBar(QStringLiteral("Standard"));
    m_toolBar->setObjectName(QStringLiteral("toolBar"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->addActions({c.fileNew, c.fileOpen, c.fileSave});
    m_toolBar->addSeparator();
    m_toolBar->addActions({c.cut, c.copy, c.paste});
    m_toolBar->addSeparator();
    m_toolBar->addAction(c.print);
    m_toolBar->addSeparator();
    m_toolBar->addActions({c.recordFirst, c.recordPrev, c.recordNext, c.recordLast});
    m_toolBar->addSeparator();
    m_toolBar->addAction(c.deleteCheckin);
    m_toolBar->addSeparator();
    m_toolBar->addAction(c.about);

    m_commandBar = addToolBar(QStringLiteral("FCC DB"));
    m_commandBar->setObjectName(QStringLiteral("fccCommandBar"));
    m_commandBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_commandBar->addWidget(new QLabel(QStringLiteral("FCC DB: "), m_commandBar));
    m_commandBar->addActions({c.fccCheck, c.fccDownload, c.fccExtract, c.fccCompile, c.fccUpdate});

    c.viewToolbar->setCheckable(true);
    c.viewToolbar->setChecked(true);
    c.viewToolbar->setEnabled(true);
    connect(c.viewToolbar, &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, c.viewToolbar, &QAction::setChecked);
}

void CMainFrame::AddCommandBar(QToolBar* bar)
{
    if (!m_secondBarRow)
        addToolBarBreak(Qt::TopToolBarArea);
    m_secondBarRow = true;
    addToolBar(Qt::TopToolBarArea, bar);
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    m_message = new QLabel(QStringLiteral("Ready"), bar);
    m_message->setObjectName(QStringLiteral("statusMessage"));
    bar->addWidget(m_message, 1);
    m_progress = new CProgressPane(bar);
    m_progress->setMinimumWidth(m_progress->fontMetrics().horizontalAdvance(QString(52, QLatin1Char('0'))) /
                                2);
    bar->addPermanentWidget(m_progress);
    for (auto kind : {CLockKeyIndicator::Caps, CLockKeyIndicator::Num, CLockKeyIndicator::Scroll})
        bar->addPermanentWidget(new CLockKeyIndicator(kind, bar));

    CCommands& c = m_commands;
    c.viewStatusBar->setCheckable(true);
    c.viewStatusBar->setChecked(true);
    c.viewStatusBar->setEnabled(true);
    connect(c.viewStatusBar, &QAction::toggled, bar, &QStatusBar::setVisible);
}

void CMainFrame::SetStatusText(const QString& text)
{
    m_message->setText(text);
}

QString CMainFrame::StatusText() const
{
    return m_message->text();
}

void CMainFrame::UpdateCaption()
{
    setWindowTitle(m_doc.GetTitle() + QStringLiteral(" - " LOGWARDEN_TITLE));
}

void CMainFrame::ForwardToFocus(const char* slot)
{
    if (QWidget* w = QApplication::focusWidget())
        QMetaObject::invokeMethod(w, slot);
}

void CMainFrame::SwitchPane()
{
    if (m_leftView->hasFocus() || m_leftView->isAncestorOf(QApplication::focusWidget()))
        m_formView->setFocus();
    else
        m_leftView->setFocus();
}

void CMainFrame::EditNetSettings()
{
    CNetSettingsDlg dlg(CNetDetails::FromSettings(m_settings), this);
    if (Prompt::Run(dlg) != QDialog::Accepted)
        return;
    dlg.Details().Store(m_settings);
    SetStatusText(QStringLiteral("Net settings saved"));
}

void CMainFrame::ShowAbout()
{
    QDialog dlg(this);
    dlg.setObjectName(QStringLiteral("aboutBox"));
    dlg.setWindowTitle(QStringLiteral("About Logwarden"));
    auto* layout = new QVBoxLayout(&dlg);
    auto* row = new QHBoxLayout;
    auto* icon = new QLabel(&dlg);
    icon->setPixmap(windowIcon().pixmap(32, 32));
    row->addWidget(icon);
    row->addWidget(new QLabel(QStringLiteral("Logwarden Version 1.0"), &dlg), 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dlg);
    connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    layout->addWidget(buttons);
    Prompt::Run(dlg);
}

void CMainFrame::ShowAsLeft()
{
    if (m_settings.Get(Setting::WindowMaximized))
        showMaximized();
    else
        show();
}

void CMainFrame::RestorePlacement()
{
    // A bar state that cannot be read is ignored.
    restoreState(QByteArray::fromBase64(m_settings.Get(Setting::BarState).toLatin1()));
    m_commands.viewToolbar->setChecked(!m_toolBar->isHidden());
    // Fitted to the screen: a size or place in the settings that no screen can show is mended at start.
    WindowPlacement::Apply(this, m_settings.Get(Setting::WindowLeft), m_settings.Get(Setting::WindowTop),
                           m_settings.Get(Setting::WindowWidth), m_settings.Get(Setting::WindowHeight));
}

void CMainFrame::SavePlacement()
{
    m_settings.Set(Setting::BarState, QString::fromLatin1(saveState().toBase64()));
    const bool normal = !isMaximized() && !isMinimized() && !isFullScreen();
    const QRect r = normal ? QRect(pos(), size()) : normalGeometry();
    const CPlacement p{r.x(), r.y(), r.width(), r.height()};
    if (!p.IsSavable())
        return;
    m_settings.Set(Setting::WindowMaximized, isMaximized());
    m_settings.Set(Setting::WindowLeft, p.left);
    m_settings.Set(Setting::WindowTop, p.top);
    m_settings.Set(Setting::WindowWidth, p.width);
    m_settings.Set(Setting::WindowHeight, p.height);
    m_settings.Sync();
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    SavePlacement();
    event->accept();
}
