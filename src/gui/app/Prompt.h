#pragma once

#include "core/Exceptions.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class QDialog;
class QWidget;

// The one point through which the program shows messages and asks questions, so that every box carries
// the program's title, and so that tests can answer them: while a CPromptScript lives, nothing modal
// opens; messages are recorded, questions take the script's next answer, file dialogs its next name and
// the program's own dialogs its next dialog step.
namespace Prompt {

enum class Kind
{
    Error,
    Warning,
    Information,
    Question
};

// Modal message boxes with an OK button.
void Error(QWidget* parent, const QString& text, const QString& title = {});
void Warning(QWidget* parent, const QString& text, const QString& title = {});
void Information(QWidget* parent, const QString& text, const QString& title = {});
// The same, but the window keeps running while the box is open (the end of a long job).
void Notify(QWidget* parent, Kind kind, const QString& text, const QString& title = {});
// A Yes/No question; true for Yes. defaultYes chooses the default button.
bool Ask(QWidget* parent, const QString& question, bool defaultYes = false, const QString& title = {});
// A question with Cancel beside Yes and No (Cancel is the default and what closing the box means).
enum class Choice
{
    Yes,
    No,
    Cancel
};
Choice AskYesNoCancel(QWidget* parent, const QString& question, const QString& title = {});

// File and folder dialogs; an empty text when the operator cancels.
struct CFileRequest
{
    QString caption;
    QString folder;       // where the dialog starts
    QString proposedName; // file name offered (save dialogs)
    QStringList filters;  // "All TEXT files (*.txt *.TXT)", ...
    QString defaultSuffix;
};
QString SaveFileName(QWidget* parent, const CFileRequest& request);
QString OpenFileName(QWidget* parent, const CFileRequest& request);
// Several existing files at once, in the order the dialog gives them; empty when cancelled.
QStringList OpenFileNames(QWidget* parent, const CFileRequest& request);
QString FolderName(QWidget* parent, const QString& caption, const QString& folder);

// Shows one of the program's own dialogs modally; its result (QDialog::Accepted or Rejected).
int Run(QDialog& dialog);

// Runs a command and shows what the core raised in an error box: the command ends, the window stays
// usable. True when the command ran through.
template <class F> bool Guard(QWidget* parent, F&& command)
{
    try {
        command();
        return true;
    } catch (const CLogwardenException& e) {
        Error(parent, e.Message());
        return false;
    }
}

} // namespace Prompt

// A test's script of answers (see Prompt). Scripts do not nest. The script belongs to the application
// object, which must exist while it lives.
class CPromptScript
{
public:
    // A step for a dialog run through Prompt::Run: the dialog is shown (not modal) while the step works
    // on it like the operator would; the dialog's result is Accepted only when the step accepted it.
    using DialogStep = std::function<void(QDialog&)>;

    CPromptScript();
    ~CPromptScript();
    CPromptScript(const CPromptScript&) = delete;
    CPromptScript& operator=(const CPromptScript&) = delete;

    // The answer to the next question; a question without one is answered No (Cancel where offered).
    void Answer(bool yes);
    // Cancel for the next question that offers it (No for one that does not).
    void AnswerCancel();
    // The name the next file or folder dialog returns; an empty name cancels it.
    void Choose(const QString& path);
    // The names the next dialog for several files returns.
    void Choose(const QStringList& paths);
    // The next dialog run: step works on it; Accept and Reject close it at once.
    void OnDialog(DialogStep step);
    // The same for a dialog of class T; a dialog of another class is rejected and counted unanswered.
    template <class T> void OnDialog(std::function<void(T&)> step)
    {
        OnDialog([step = std::move(step)](QDialog& dialog) {
            if (T* d = qobject_cast<T*>(&dialog))
                step(*d);
            else
                WrongDialog(dialog);
        });
    }
    void Accept();
    void Reject();

    // Every message and question shown, in order, as "<kind>: <text>".
    const QStringList& Shown() const { return m_shown; }
    // Every file dialog asked for, in order.
    const QList<Prompt::CFileRequest>& FileRequests() const { return m_requests; }
    // The window titles of the dialogs run, in order.
    const QStringList& Dialogs() const { return m_dialogs; }
    // The text of the last one, empty when none.
    QString Last() const;
    // Questions asked without a scripted answer, and answers left unused.
    int Unanswered() const { return m_unanswered; }
    int AnswersLeft() const { return int(m_answers.size()); }
    int DialogStepsLeft() const { return int(m_steps.size()); }

private:
    friend struct CPromptAccess;
    static void WrongDialog(QDialog& dialog);
    QList<DialogStep> m_steps;
    QStringList m_dialogs;
    QList<Prompt::Choice> m_answers;
    QStringList m_paths;
    QStringList m_shown;
    QList<Prompt::CFileRequest> m_requests;
    int m_unanswered = 0;
};
