#include "app/instance_lock.h"
#include "support/test_child.h"
#include "window_manager_test.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

// Child mode for the lock tests: another copy of the program that takes the
// lock of a directory, says so and waits to be killed (a minute at most, so an
// aborted test leaves nothing running).
int holdInstanceLock(const QString &dir)
{
    InstanceLock lock(dir);
    const Status status = lock.acquire();
    std::fputs(status ? "locked\n" : "refused\n", stdout);
    std::fflush(stdout);
    if (!status)
        return 1;
    const QDeadlineTimer deadline(60 * 1000);
    while (!deadline.hasExpired())
        QThread::msleep(50);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    // The program reads workbooks in a child copy of itself: so do the tests,
    // and a child may be told to hang, as on a file that takes long.
    if (const int child = runRegisteredChild(argc, argv); child >= 0)
        return child;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--hold-instance-lock") == 0)
        return holdInstanceLock(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && qstrcmp(argv[1], "--report-frames") == 0)
        return reportFramesUnderWindowManager(QString::fromLocal8Bit(argv[2]));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
