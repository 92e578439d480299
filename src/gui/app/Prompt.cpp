#include "gui/app/Prompt.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace {

// The running script hangs on the application object, so that it lives no longer than the application
// and is found from every window without a variable of the program's own.
constexpr const char* kScriptProperty = "logwarden.promptScript";

CPromptScript* Script()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app ? static_cast<CPromptScript*>(app->property(kScriptProperty).value<void*>()) : nullptr;
}

void SetScript(CPromptScript* script)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty(kScriptProperty, QVariant::fromValue(static_cast<void*>(script)));
}

QString Title(const QString& title)
{
    return title.isEmpty() ? QStringLiteral("Logwarden") : title;
}

const char* KindName(Prompt::Kind kind)
{
    switch (kind) {
    case Prompt::Kind::Error:
        return "Error";
    case Prompt::Kind::Warning:
        return "Warning";
    case Prompt::Kind::Information:
        return "Information";
    case Prompt::Kind::Question:
        break;
    }
    return "Question";
}

QMessageBox::Icon Icon(Prompt::Kind kind)
{
    switch (kind) {
    case Prompt::Kind::Error:
        return QMessageBox::Critical;
    case Prompt::Kind::Warning:
        return QMessageBox::Warning;
    case Prompt::Kind::Information:
        return QMessageBox::Information;
    case Prompt::Kind::Question:
        break;
    }
    return QMessageBox::Question;
}

} // namespace

struct CPromptAccess
{
    static bool Record(Prompt::Kind kind, const QString& text)
    {
        CPromptScript* script = Script();
        if (!script)
            return false;
        script->m_shown << QString::fromLatin1(KindName(kind)) + QStringLiteral(": ") + text;
        return true;
    }
    static Prompt::Choice NextChoice(Prompt::Choice unanswered)
    {
        CPromptScript* script = Script();
        if (script->m_answers.isEmpty()) {
            ++script->m_unanswered;
            return unanswered;
        }
        return script->m_answers.takeFirst();
    }
    static bool NextAnswer() { return NextChoice(Prompt::Choice::No) == Prompt::Choice::Yes; }
    static QString NextPath(const Prompt::CFileRequest& request)
    {
        CPromptScript* script = Script();
        script->m_requests << request;
        return script->m_paths.isEmpty() ? QString() : script->m_paths.takeFirst();
    }
    // Under a script: the dialog's step, or a rejection counted as unanswered. False without a script.
    static bool RunStep(QDialog& dialog, int& result)
    {
        CPromptScript* script = Script();
        if (!script)
            return false;
        script->m_dialogs << dialog.windowTitle();
        dialog.setResult(QDialog::Rejected);
        if (script->m_steps.isEmpty()) {
            ++script->m_unanswered;
            result = QDialog::Rejected;
            return true;
        }
        const CPromptScript::DialogStep step = script->m_steps.takeFirst();
        // Shown, so that the step meets the dialog as the operator would (visible boxes, focus).
        QPointer<QDialog> alive(&dialog);
        dialog.show();
        step(dialog);
        if (alive && dialog.isVisible())
            dialog.reject(); // left open: closed, as with Escape
        result = alive ? dialog.result() : int(QDialog::Rejected);
        return true;
    }
};

CPromptScript::CPromptScript()
{
    Q_ASSERT(QCoreApplication::instance());
    SetScript(this);
}

CPromptScript::~CPromptScript()
{
    if (Script() == this)
        SetScript(nullptr);
}

void CPromptScript::OnDialog(DialogStep step)
{
    m_steps << std::move(step);
}

void CPromptScript::Accept()
{
    m_steps << [](QDialog& dialog) { dialog.accept(); };
}

void CPromptScript::Reject()
{
    m_steps << [](QDialog& dialog) { dialog.reject(); };
}

void CPromptScript::WrongDialog(QDialog& dialog)
{
    if (CPromptScript* script = Script())
        ++script->m_unanswered;
    dialog.reject();
}

void CPromptScript::Answer(bool yes)
{
    m_answers << (yes ? Prompt::Choice::Yes : Prompt::Choice::No);
}

void CPromptScript::AnswerCancel()
{
    m_answers << Prompt::Choice::Cancel;
}

void CPromptScript::Choose(const QString& path)
{
    m_paths << path;
}

void CPromptScript::Choose(const QStringList& paths)
{
    // No file name holds a NUL, so the names travel as one answer.
    m_paths << paths.join(QChar(0));
}

QString CPromptScript::Last() const
{
    if (m_shown.isEmpty())
        return {};
    const QString& last = m_shown.last();
    return last.mid(last.indexOf(QStringLiteral(": ")) + 2);
}

namespace Prompt {

namespace {

void Show(QWidget* parent, Kind kind, const QString& text, const QString& title)
{
    if (CPromptAccess::Record(kind, text))
        return;
    QMessageBox box(Icon(kind), Title(title), text, QMessageBox::Ok, parent);
    // Texts carry names and addresses from files and servers ("<w1aw@example.org>"): never markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace

void Error(QWidget* parent, const QString& text, const QString& title)
{
    Show(parent, Kind::Error, text, title);
}

void Warning(QWidget* parent, const QString& text, const QString& title)
{
    Show(parent, Kind::Warning, text, title);
}

void Information(QWidget* parent, const QString& text, const QString& title)
{
    Show(parent, Kind::Information, text, title);
}

void Notify(QWidget* parent, Kind kind, const QString& text, const QString& title)
{
    if (CPromptAccess::Record(kind, text))
        return;
    auto* box = new QMessageBox(Icon(kind), Title(title), text, QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool Ask(QWidget* parent, const QString& question, bool defaultYes, const QString& title)
{
    if (CPromptAccess::Record(Kind::Question, question))
        return CPromptAccess::NextAnswer();
    QMessageBox box(QMessageBox::Question, Title(title), question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

Choice AskYesNoCancel(QWidget* parent, const QString& question, const QString& title)
{
    if (CPromptAccess::Record(Kind::Question, question))
        return CPromptAccess::NextChoice(Choice::Cancel);
    switch (QMessageBox::question(parent, Title(title), question,
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                  QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Choice::Yes;
    case QMessageBox::No:
        return Choice::No;
    default:
        return Choice::Cancel;
    }
}

namespace {

QString WithSuffix(const QString& path, const CFileRequest& r)
{
    if (path.isEmpty() || r.defaultSuffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + r.defaultSuffix;
}

QStringList RunFileDialog(QWidget* parent, const CFileRequest& r, QFileDialog::AcceptMode mode, bool many)
{
    if (Script()) {
        const QString answer = CPromptAccess::NextPath(r);
        if (many)
            return answer.split(QChar(0), Qt::SkipEmptyParts);
        return {WithSuffix(answer, r)};
    }
    QFileDialog dialog(parent, r.caption);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                       : many                          ? QFileDialog::ExistingFiles
                                                       : QFileDialog::ExistingFile);
    // The question whether to overwrite is the program's own, with its own text.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!r.filters.isEmpty())
        dialog.setNameFilters(r.filters);
    if (!r.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(r.defaultSuffix);
    if (!r.folder.isEmpty())
        dialog.setDirectory(r.folder);
    if (!r.proposedName.isEmpty())
        dialog.selectFile(r.proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (many)
        return dialog.selectedFiles();
    return {WithSuffix(dialog.selectedFiles().constFirst(), r)};
}

} // namespace

QString SaveFileName(QWidget* parent, const CFileRequest& request)
{
    return RunFileDialog(parent, request, QFileDialog::AcceptSave, false).value(0);
}

QString OpenFileName(QWidget* parent, const CFileRequest& request)
{
    return RunFileDialog(parent, request, QFileDialog::AcceptOpen, false).value(0);
}

QStringList OpenFileNames(QWidget* parent, const CFileRequest& request)
{
    return RunFileDialog(parent, request, QFileDialog::AcceptOpen, true);
}

QString FolderName(QWidget* parent, const QString& caption, const QString& folder)
{
    if (Script())
        return CPromptAccess::NextPath({caption, folder, {}, {}, {}});
    return QFileDialog::getExistingDirectory(parent, caption, folder, QFileDialog::ShowDirsOnly);
}

int Run(QDialog& dialog)
{
    int result = QDialog::Rejected;
    if (CPromptAccess::RunStep(dialog, result))
        return result;
    return dialog.exec();
}

} // namespace Prompt
