#include "gui/app/LockKeyIndicator.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <optional>

CLockKeyIndicator::CLockKeyIndicator(Kind kind, QWidget* parent) : QLabel(parent), m_kind(kind)
{
    static const char* const texts[] = {"CAP", "NUM", "SCRL"};
    m_text = QString::fromLatin1(texts[kind]);
    setMinimumWidth(fontMetrics().horizontalAdvance(m_text) + 8);
    setAlignment(Qt::AlignCenter);
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &CLockKeyIndicator::Poll);
    timer->start(500);
    Poll();
}

std::optional<bool> CLockKeyIndicator::ReadState(Kind kind, const QString& ledRoot)
{
    static const char* const suffixes[] = {"::capslock", "::numlock", "::scrolllock"};
    const QDir dir(ledRoot);
    const QStringList leds = dir.entryList(QStringList{QLatin1String("*") + QLatin1String(suffixes[kind])},
                                           QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::optional<bool> state;
    for (const QString& led : leds) {
        QFile f(dir.filePath(led) + QStringLiteral("/brightness"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const bool on = f.readAll().trimmed().toInt() > 0;
        state = state.value_or(false) || on;
    }
    return state;
}

void CLockKeyIndicator::Poll()
{
    const std::optional<bool> on = ReadState(m_kind);
    setText(on.value_or(false) ? m_text : QString());
}
