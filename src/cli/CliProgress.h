#pragma once

#include <QElapsedTimer>
#include <QString>

// A one-line progress bar on standard error, drawn only when that is a terminal.
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

private:
    QString m_label;
    bool m_terminal;
    bool m_drawn = false;
    QElapsedTimer m_sinceDraw;
};
