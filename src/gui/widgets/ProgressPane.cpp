#include "gui/widgets/ProgressPane.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QToolButton>

CProgressTask::CProgressTask(const QString& text, std::function<void()> cancel, QWidget* parent)
    : QWidget(parent), m_onCancel(std::move(cancel))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_text = new QLabel(text, this);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(true);
    m_bar->setMaximumWidth(140);
    m_bar->setMaximumHeight(m_text->sizeHint().height() + 2);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    if (m_onCancel) {
        m_cancel = new QToolButton(this);
        m_cancel->setText(QStringLiteral("Cancel"));
        m_cancel->setAutoRaise(true);
        m_cancel->setObjectName(QStringLiteral("cancel"));
        connect(m_cancel, &QToolButton::clicked, this, &CProgressTask::Cancel);
        layout->addWidget(m_cancel);
    }
}

void CProgressTask::SetText(const QString& text)
{
    m_text->setText(text);
}

void CProgressTask::SetPercent(int percent)
{
    if (percent < 0) {
        m_bar->setRange(0, 0);
        return;
    }
    m_bar->setRange(0, 100);
    m_bar->setValue(qBound(0, percent, 100));
}

QString CProgressTask::Text() const
{
    return m_text->text();
}

int CProgressTask::Percent() const
{
    return m_bar->maximum() == 0 ? -1 : m_bar->value();
}

bool CProgressTask::IsCancellable() const
{
    return m_cancel != nullptr;
}

void CProgressTask::Cancel()
{
    if (!m_onCancel)
        return;
    m_cancel->setEnabled(false);
    m_text->setText(m_text->text() + QStringLiteral(" (stopping)"));
    m_onCancel();
}

void CProgressTask::Finish()
{
    hide();
    setParent(nullptr);
    deleteLater();
}

CProgressPane::CProgressPane(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("progressPane"));
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(12);
    // Keeps the pane's width when nothing runs (the wide pane of the status bar).
    m_idle = new QLabel(QString(52, QLatin1Char(' ')), this);
    m_layout->addWidget(m_idle);
}

CProgressTask* CProgressPane::Begin(const QString& name, const QString& text, std::function<void()> cancel)
{
    auto* task = new CProgressTask(text, std::move(cancel), this);
    task->setObjectName(name);
    m_layout->insertWidget(m_layout->count() - 1, task);
    return task;
}

QList<CProgressTask*> CProgressPane::Tasks() const
{
    return findChildren<CProgressTask*>(Qt::FindDirectChildrenOnly);
}

CProgressTask* CProgressPane::Task(const QString& name) const
{
    return findChild<CProgressTask*>(name, Qt::FindDirectChildrenOnly);
}
