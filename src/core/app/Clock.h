#pragma once

#include <QDateTime>

// The source of "today" and "now". The program uses the system clock; tests fix the time.
class CClock
{
public:
    virtual ~CClock() = default;
    // Local date and time.
    virtual QDateTime Now() const = 0;
    QDate Today() const { return Now().date(); }
};

class CSystemClock : public CClock
{
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

class CFixedClock : public CClock
{
public:
    explicit CFixedClock(QDateTime now) : m_now(std::move(now)) {}
    QDateTime Now() const override { return m_now; }
    void Set(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
};
