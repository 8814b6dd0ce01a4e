#include "crash_child.h"
#include "test_files.h"

#include "data/stock_layout.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

int runCrashChild(const QString &path, int generation)
{
    RecordStore store;
    if (!store.open(path, Stock::alias()))
        return 2;
    RecordStore::Transaction transaction(store);
    const QString line = QStringLiteral("第%1次\r\n").arg(generation);
    for (store.first(); !store.atEnd(); store.skip()) {
        if (!store.write(Stock::Quantity, generation)
            || !store.appendMemo(Stock::IssueHistory, line))
            return 3;
    }
    if (!store.add({QStringLiteral("gen%1").arg(generation)}))
        return 4;
    return transaction.commit() ? 0 : 5;
}

namespace {

// What a file holds after some bookings: every record shows the same
// generation and one history line per generation, and one record was added
// per generation.
int committedGenerations(const QString &path)
{
    RecordStore store;
    EXPECT_TRUE(store.open(path, Stock::alias())) << store.lastError().toStdString();
    const int generations = store.recordCount() - crashRecords;
    QString history;
    for (int g = 1; g <= generations; ++g)
        history += QStringLiteral("第%1次\r\n").arg(g);
    for (store.first(); !store.atEnd() && store.recordNumber() <= crashRecords; store.skip()) {
        EXPECT_EQ(int(store.readNumber(Stock::Quantity)), generations) << store.recordNumber();
        EXPECT_EQ(store.readText(Stock::IssueHistory), history) << store.recordNumber();
        if (testing::Test::HasFailure())
            break;
    }
    return generations;
}

qint64 runChild(const QString &path, int generation, qint64 killAfterMs)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
        {QString::fromLatin1(crashChildOption), path, QString::number(generation)});
    EXPECT_TRUE(child.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    if (killAfterMs >= 0 && !child.waitForFinished(int(killAfterMs)))
        child.kill(); // SIGKILL: no destructor, no rollback, no flush
    child.waitForFinished(-1);
    return timer.elapsed();
}

TEST(CrashTest, AKilledBookingIsWholeOrAbsent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(path));
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path, Stock::alias()));
        fillStock(store, crashRecords);
        for (store.first(); !store.atEnd(); store.skip())
            ASSERT_TRUE(store.write(Stock::Quantity, 0));
    }

    // One undisturbed booking tells how long a booking takes here.
    const qint64 full = runChild(path, 1, -1);
    ASSERT_EQ(committedGenerations(path), 1);

    QRandomGenerator random(20261207);
    int committed = 1;
    int killed = 0;
    for (int round = 0; round < 24; ++round) {
        const qint64 delay = random.bounded(qint64(full * 1.2) + 1);
        runChild(path, committed + 1, delay);
        const int now = committedGenerations(path);
        ASSERT_TRUE(now == committed || now == committed + 1) << "round " << round;
        if (now == committed)
            ++killed;
        committed = now;
        ASSERT_FALSE(testing::Test::HasFailure()) << "round " << round << " delay " << delay;
    }
    EXPECT_GT(killed, 0) << "no booking was ever interrupted; the test proved nothing";
}

} // namespace
