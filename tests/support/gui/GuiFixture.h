#pragma once

#include "core/app/Clock.h"
#include "core/app/SecretStore.h"
#include "core/app/Settings.h"
#include "gui/app/LogwardenDoc.h"
#include "gui/app/MainFrame.h"
#include "gui/app/Prompt.h"
#include "support/TestSupport.h"

#include <memory>

namespace TestSupport {

// The whole program on a scratch folder: settings, a fixed clock, the log, and the main window
// (shown offscreen). The working directory is the scratch folder while the fixture lives. No message box
// or file dialog opens: Prompts() records them and answers from its script.
class CGuiFixture
{
public:
    explicit CGuiFixture(const QDateTime& now = QDateTime(QDate(2026, 1, 5), QTime(19, 2, 30)),
                         bool show = true);
    ~CGuiFixture();

    CScratch& Scratch() { return m_scratch; }
    CSettings& Settings() { return *m_settings; }
    CFixedClock& Clock() { return m_clock; }
    // The passwords' store; it outlives a restart, as a keyring would.
    CSecretStore& Secrets() { return m_secrets; }
    CLogwardenDoc& Doc() { return *m_doc; }
    CMainFrame& Frame() { return *m_frame; }
    CDatabase& Db();
    CPromptScript& Prompts() { return m_prompts; }
    // Makes the main window the active one and gives the widget the keyboard focus.
    void Focus(QWidget* widget);
    // Closes and rebuilds the main window on the same folder (a restart of the program).
    void Restart();

private:
    CScratch m_scratch;
    CPromptScript m_prompts;
    QString m_previousDir;
    CFixedClock m_clock;
    CSecretStore m_secrets{QStringLiteral("LogwardenTest")};
    std::unique_ptr<CSettings> m_settings;
    std::unique_ptr<CLogwardenDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    bool m_show;
};

} // namespace TestSupport
