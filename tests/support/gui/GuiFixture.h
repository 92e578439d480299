#pragma once

#include "core/app/Clock.h"
#include "core/app/Settings.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "support/TestSupport.h"

#include <QMessageBox>
#include <memory>

namespace TestSupport {

// Answers the next modal message box that opens (within a few seconds) with the button, and keeps its
// text. Returns at once; the answer happens while the caller runs the command that opens the box. The
// watch ends with the owner (the fixture's main window), so a failed test leaves nothing behind.
void AnswerNextMessageBox(QObject* owner, QMessageBox::StandardButton button, QString* text = nullptr);

// The whole program on a scratch folder: settings, a fixed clock, the log, and the main window
// (shown offscreen). The working directory is the scratch folder while the fixture lives.
class CGuiFixture
{
public:
    explicit CGuiFixture(const QDateTime& now = QDateTime(QDate(2026, 1, 5), QTime(19, 2, 30)),
                         bool show = true);
    ~CGuiFixture();

    CScratch& Scratch() { return m_scratch; }
    CSettings& Settings() { return *m_settings; }
    CFixedClock& Clock() { return m_clock; }
    CLogwardenDoc& Doc() { return *m_doc; }
    CMainFrame& Frame() { return *m_frame; }
    CDatabase& Db();
    void AnswerNextMessageBox(QMessageBox::StandardButton button, QString* text = nullptr)
    {
        TestSupport::AnswerNextMessageBox(m_frame.get(), button, text);
    }
    // Makes the main window the active one and gives the widget the keyboard focus.
    void Focus(QWidget* widget);
    // Closes and rebuilds the main window on the same folder (a restart of the program).
    void Restart();

private:
    CScratch m_scratch;
    QString m_previousDir;
    CFixedClock m_clock;
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<CLogwardenDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    bool m_show;
};


} // namespace TestSupport
