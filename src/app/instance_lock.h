#pragma once

#include "common/status.h"

#include <QLockFile>
#include <QString>

// Keeps a second copy of the program out of a program directory, so two
// windows never book into one stock file.
//
// The lock is a file in the program directory, held for as long as this object
// lives (or until release()). A lock left behind by a copy that crashed or lost
// its power is taken over: it names a process that no longer runs, or it is
// unreadable and older than a few seconds. A lock held by a running copy -
// also one on another computer sharing the directory - is never taken.
class InstanceLock
{
public:
    static QString fileName() { return QStringLiteral("warehouse.lock"); }

    explicit InstanceLock(const QString &programDir);
    ~InstanceLock();
    InstanceLock(const InstanceLock &) = delete;
    InstanceLock &operator=(const InstanceLock &) = delete;

    // Takes the lock. Fails with a message for the user when another copy holds
    // it or the lock file cannot be written.
    Status acquire();
    void release();
    bool held() const { return lock_.isLocked(); }

private:
    bool isUnreadableLeftover() const;

    QString programDir_;
    QLockFile lock_;
};
