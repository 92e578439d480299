#pragma once

#include "core/jobs/Progress.h"

#include <QElapsedTimer>
#include <QString>

// A one-line progress bar on standard error, drawn only when that is a terminal, from the reports of the
// work's progress (Progress()).
class CCliProgress
{
public:
    explicit CCliProgress(QString label);
    ~CCliProgress();
    // total < 0: unknown.
    void Update(qint64 done, qint64 total);
    // Ends the line (when one was drawn).
    void Finish();

    static QString Bytes(qint64 bytes);

    // Hand this to the work: each report redraws the bar.
    CProgress& Progress() { return m_progress; }

private:
    QString m_label;
    bool m_terminal;
    bool m_drawn = false;
    QElapsedTimer m_sinceDraw;
    CProgress m_progress{[this](qint64 done, qint64 total, const QString&) { Update(done, total); }};
};
