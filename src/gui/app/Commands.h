#pragma once

#include <QAction>

// Every command of the main window: menu items, accelerators, tool-bar and command-bar buttons.
// The main window creates them (all disabled); the part of the program that carries out a command
// connects to its action and enables it, so a command that does nothing is never offered.
// Shortcuts work whichever pane has the focus.
struct CCommands
{
    // File
    QAction* fileNew = nullptr;  // Ctrl+N, F5: add the form as a new check-in
    QAction* fileOpen = nullptr; // Ctrl+O
    QAction* fileSave = nullptr; // Ctrl+S, F6: save the current check-in
    QAction* fileSaveAs = nullptr;
    QAction* exportDay = nullptr;
    QAction* exportAll = nullptr;
    QAction* exit = nullptr;
    // Edit
    QAction* undo = nullptr; // Ctrl+Z: the text box's typing, else the last delete, correction or move
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* paste = nullptr;
    QAction* camelCase = nullptr; // Alt+C
    QAction* selectMatch[3] = {}; // F1, F2, F3
    // Record
    QAction* recordFirst = nullptr;
    QAction* recordPrev = nullptr;
    QAction* recordNext = nullptr;
    QAction* recordLast = nullptr;
    QAction* purge = nullptr;
    QAction* emptyDatabase = nullptr;
    QAction* deleteCheckin = nullptr; // tool bar
    // View
    QAction* viewToolbar = nullptr;
    QAction* viewStatusBar = nullptr;
    QAction* netPreamble = nullptr;   // Alt+P
    QAction* netScript = nullptr;     // the net preamble docked beside the form (checkable)
    QAction* netStatistics = nullptr; // a chart of the year's nets and the most regular stations
    QAction* netSettings = nullptr;
    QAction* fccDbStatus = nullptr;
    // Net
    QAction* netStart = nullptr; // Ctrl+F5: stamp the selected day's net as started
    QAction* netEnd = nullptr;   // Ctrl+F6: stamp it as ended and show its summary
    // Help
    QAction* about = nullptr;
    // Keys without a menu item
    QAction* goHome = nullptr;       // F4
    QAction* localLookUp = nullptr;  // F7
    QAction* qrzPull = nullptr;      // F8
    QAction* hearCall = nullptr;     // F9
    QAction* transmit = nullptr;     // F10
    QAction* previousPane = nullptr; // Shift+F6
    // "FCC DB: " command bar
    QAction* fccCheck = nullptr;
    QAction* fccDownload = nullptr;
    QAction* fccExtract = nullptr;
    QAction* fccCompile = nullptr;
    QAction* fccUpdate = nullptr;        // the daily files since the database's day
    QAction* fccUpdateAtStart = nullptr; // View menu, checkable: update at start when a day behind
    // Print has no handler and stays disabled.
    QAction* print = nullptr;
};
