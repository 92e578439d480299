#pragma once

#include "gui/app/Commands.h"

#include <QMainWindow>

class CClock;
class CLeftView;
class CLogwardenDoc;
class CLogwardenView;
class CProgressPane;
class CSettings;
class QLabel;
class QSplitter;
class QToolBar;

// The main window: menus, tool bar, the "FCC DB: " command bar, the status bar and the split window
// with the day tree on the left and the check-in form on the right.
class CMainFrame : public QMainWindow
{
    Q_OBJECT
public:
    explicit CMainFrame(CLogwardenDoc& doc, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Shows the window at the size it had when the last run ended (maximised, if it was).
    void ShowAsLeft();

    CCommands& Commands() { return m_commands; }
    CLogwardenDoc& Document() const { return m_doc; }
    CSettings& Settings() { return m_settings; }
    CLeftView* LeftView() const { return m_leftView; }
    CLogwardenView* FormView() const { return m_formView; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QToolBar* CommandBar() const { return m_commandBar; }
    // A command bar of a subsystem ("Upload: ", "QRZ DB: "): on the second row of bars, under the tool bar
    // and the "FCC DB: " bar, which is as much as a window of the usual width shows.
    void AddCommandBar(QToolBar* bar);

    // The first pane of the status bar; "Ready" when idle.
    void SetStatusText(const QString& text);
    QString StatusText() const;
    // The wide second pane of the status bar, where every long job shows its progress and Cancel.
    CProgressPane& Progress() const { return *m_progress; }

    // Reads the placement from the settings and applies it.
    void RestorePlacement();
    // Writes the placement when it lies within the saved ranges.
    void SavePlacement();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBars();
    void CreateStatusBar();
    void UpdateCaption();
    void ForwardToFocus(const char* slot);
    void ShowAbout();
    // View > Net Settings: the club's and the net's details, stored on OK.
    void EditNetSettings();
    void SwitchPane();

    CLogwardenDoc& m_doc;
    CSettings& m_settings;
    CCommands m_commands;
    QSplitter* m_splitter = nullptr;
    CLeftView* m_leftView = nullptr;
    CLogwardenView* m_formView = nullptr;
    QToolBar* m_toolBar = nullptr;
    QToolBar* m_commandBar = nullptr;
    bool m_secondBarRow = false;
    QLabel* m_message = nullptr;
    CProgressPane* m_progress = nullptr;
};
