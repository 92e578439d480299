#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QToolButton;

// One piece of long work shown in the status bar: its text, a bar (a percentage, or busy while the
// total is unknown) and a Cancel button when it can be stopped. It disappears with Finish().
class CProgressTask : public QWidget
{
    Q_OBJECT
public:
    CProgressTask(const QString& text, std::function<void()> cancel, QWidget* parent);

    void SetText(const QString& text);
    // 0..100; a negative value shows the bar as busy.
    void SetPercent(int percent);
    QString Text() const;
    int Percent() const;
    bool IsCancellable() const;
    // Presses Cancel (what the button does).
    void Cancel();
    // Removes the task from the status bar.
    void Finish();

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_bar = nullptr;
    QToolButton* m_cancel = nullptr;
    std::function<void()> m_onCancel;
};

// The status bar's wide pane: every running task side by side, so that a download, a compile and an
// upload can run at the same time, each with its own progress and Cancel.
class CProgressPane : public QWidget
{
    Q_OBJECT
public:
    explicit CProgressPane(QWidget* parent = nullptr);

    // A new task; name becomes its object name (tests find it by it). cancel, when given, is called on
    // the window's thread when the operator presses Cancel.
    CProgressTask* Begin(const QString& name, const QString& text, std::function<void()> cancel = {});
    QList<CProgressTask*> Tasks() const;
    CProgressTask* Task(const QString& name) const;

private:
    QHBoxLayout* m_layout = nullptr;
    QLabel* m_idle = nullptr;
};
