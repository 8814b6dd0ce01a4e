#include "test_files.h"

#include "data/record_file.h"
#include "data/stock_layout.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Handles that program logic holds: two files side by side, no "current" one.
class RecordFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const QString &path : {stockPath, backupPath}) {
            ASSERT_TRUE(Stock::createEmptyFile(path));
            RecordStore writer;
            ASSERT_TRUE(writer.open(path, Stock::alias()));
            fillStock(writer, 3);
        }
        ASSERT_TRUE(stock.open(stockPath, QStringLiteral("data")));
        ASSERT_TRUE(backup.open(backupPath, QStringLiteral("backup")));
    }

    static QStringList quantities(const QString &path)
    {
        RecordFile reader;
        EXPECT_TRUE(reader.open(path, QStringLiteral("reader")));
        QStringList texts;
        EXPECT_TRUE(reader.forEachRecord(
            [&](const RecordFile &r) { texts << r.readText(Stock::Quantity); }));
        return texts;
    }

    QTemporaryDir dir;
    QString stockPath = dir.filePath(QStringLiteral("data.zrb"));
    QString backupPath = dir.filePath(QStringLiteral("copy.zrb"));
    RecordFile stock;
    RecordFile backup;
};

TEST_F(RecordFileTest, TwoFilesKeepTheirOwnCursorsAndTransactions)
{
    ASSERT_TRUE(stock.goTo(3));
    ASSERT_TRUE(backup.goTo(1));
    {
        RecordFile::Transaction booking(stock);
        ASSERT_TRUE(booking.begin());
        ASSERT_TRUE(stock.write(Stock::Quantity, 30.0));
        // A write to the other file in between is its own, outside the booking.
        ASSERT_TRUE(backup.write(Stock::Quantity, 10.0));
        EXPECT_EQ(stock.recordNumber(), 3);
        EXPECT_EQ(backup.recordNumber(), 1);
        EXPECT_EQ(stock.readText(Stock::Name), QStringLiteral("item3"));
        EXPECT_EQ(backup.readText(Stock::Name), QStringLiteral("item1"));
        // Left without commit: the booking rolls back, the other write stays.
    }
    EXPECT_EQ(quantities(stockPath), QStringList({"1", "2", "3"}));
    EXPECT_EQ(quantities(backupPath), QStringList({"10", "2", "3"}));

    // The records of one go over to the other by handle, not by alias.
    ASSERT_TRUE(stock.appendFrom(backup));
    EXPECT_EQ(stock.recordCount(), 6);
    EXPECT_EQ(quantities(stockPath), QStringList({"1", "2", "3", "10", "2", "3"}));
    EXPECT_EQ(backup.recordNumber(), 1) << "the source's cursor stays";
}

TEST_F(RecordFileTest, ClosingEndsTheTransactionAndReopeningContinuesTheFile)
{
    RecordFile::Transaction booking(stock);
    ASSERT_TRUE(booking.begin());
    ASSERT_TRUE(stock.goTo(2));
    ASSERT_TRUE(stock.write(Stock::Quantity, 20.0));
    stock.close();
    EXPECT_FALSE(booking.active());
    EXPECT_FALSE(stock.write(Stock::Quantity, 1.0)) << "a closed handle does nothing";
    ASSERT_TRUE(stock.reopen());
    EXPECT_EQ(stock.alias(), QStringLiteral("data"));
    EXPECT_EQ(stock.recordNumber(), 1);
    EXPECT_FALSE(booking.commit()) << "the transaction of the closed opening is gone";
    EXPECT_EQ(quantities(stockPath), QStringList({"1", "2", "3"}));
    // The reopened file books on its own.
    ASSERT_TRUE(stock.goTo(2));
    ASSERT_TRUE(stock.write(Stock::Quantity, 20.0));
    EXPECT_EQ(quantities(stockPath), QStringList({"1", "20", "3"}));
}

TEST_F(RecordFileTest, AReadThatFailsIsToldUntilTheCursorMoves)
{
    ASSERT_TRUE(stock.goTo(2));
    EXPECT_TRUE(stock.readStatus());
    // Another handle removes the records this one still counts.
    RecordFile other;
    ASSERT_TRUE(other.open(stockPath, QStringLiteral("other")));
    ASSERT_TRUE(other.clear());
    EXPECT_EQ(stock.readText(Stock::Name), QString());
    const Status failed = stock.readStatus();
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.message(), QStringLiteral("记录已不在文件中"));
    EXPECT_EQ(stock.readNumber(Stock::Quantity), 0);
    EXPECT_FALSE(stock.readStatus()) << "a later read that also fails keeps it told";
    stock.skip(1);
    EXPECT_TRUE(stock.readStatus());
}

} // namespace
