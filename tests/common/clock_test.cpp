#include "common/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(SystemClock, GivesLocalTimeInWholeSeconds)
{
    SystemClock clock;
    for (int i = 0; i < 3; ++i) {
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1000);
        const QDateTime now = clock.now();
        const QDateTime after = QDateTime::currentDateTime();
        EXPECT_EQ(now.time().msec(), 0);
        EXPECT_EQ(now.timeSpec(), Qt::LocalTime);
        EXPECT_LE(before, now);
        EXPECT_LE(now, after);
    }
}

TEST(FixedClock, ShowsWhatItWasSetTo)
{
    FixedClock clock(QDateTime(QDate(2011, 12, 31), QTime(23, 59, 30)));
    clock.advanceSeconds(45);
    EXPECT_EQ(clock.now(), QDateTime(QDate(2012, 1, 1), QTime(0, 0, 15)));
}

} // namespace
