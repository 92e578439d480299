#include "cli/CliProgress.h"

#include <cstdio>
#include <unistd.h>

CCliProgress::CCliProgress(QString label)
    : m_label(std::move(label)), m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

CCliProgress::~CCliProgress()
{
    Finish();
}

QString CCliProgress::Bytes(qint64 bytes)
{
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 kB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

void CCliProgress::Update(qint64 done, qint64 total)
{
    if (!m_terminal)
        return;
    // A few redraws a second are enough, except for the last one.
    if (m_drawn && m_sinceDraw.isValid() && m_sinceDraw.elapsed() < 100 && done != total)
        return;
    m_sinceDraw.start();
    QString line = m_label + QLatin1Char(' ');
    if (total > 0) {
        const int width = 30;
        const int percent = int(done * 100 / total);
        const int filled = int(done * width / total);
        line += QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                QString(width - filled, QLatin1Char(' ')) +
                QStringLiteral("] %1%  %2 of %3").arg(percent, 3).arg(Bytes(done), Bytes(total));
    } else {
        line += Bytes(done);
    }
    std::fprintf(stderr, "\r%s\033[K", line.toLocal8Bit().constData());
    std::fflush(stderr);
    m_drawn = true;
}

void CCliProgress::Finish()
{
    if (m_drawn) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        m_drawn = false;
    }
}
