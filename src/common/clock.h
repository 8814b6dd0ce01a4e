#pragma once

#include <QDateTime>

// Where "now" comes from, so that tests can book on a chosen day.
class Clock
{
public:
    virtual ~Clock() = default;
    // The local date and time, whole seconds.
    virtual QDateTime now() const = 0;
};

class SystemClock : public Clock
{
public:
    QDateTime now() const override;
};

// A clock that shows what it was set to.
class FixedClock : public Clock
{
public:
    explicit FixedClock(QDateTime moment = {})
        : moment_(std::move(moment))
    { }
    QDateTime now() const override { return moment_; }
    void set(const QDateTime &moment) { moment_ = moment; }
    void advanceSeconds(qint64 seconds) { moment_ = moment_.addSecs(seconds); }

private:
    QDateTime moment_;
};
