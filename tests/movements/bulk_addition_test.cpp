#include "movement_fixture.h"

#include "common/clock.h"
#include "data/stock_layout.h"
#include "movements/bulk_addition.h"
#include "movements/receipt.h"
#include "support/record_files.h"
#include "table/data_source.h"

namespace {

class BulkAdditionTest : public MovementTest
{
protected:
    void SetUp() override
    {
        MovementTest::SetUp();
        clock.set(now);
        table.setSize(1, 7);
        table.setText(1, 1, QStringLiteral("材  料  品  名"));
        table.setText(1, 4, QStringLiteral("库存数量"));
        for (int i = 1; i <= 9; ++i) {
            table.appendRows(1);
            const int r = table.rowCount();
            table.setText(r, 1, QStringLiteral("新材料%1").arg(i));
            table.setText(r, 2, QStringLiteral("型号%1").arg(i));
            table.setText(r, 3, QStringLiteral("个"));
            table.setText(r, 4, QString::number(i));
            table.setText(r, 5, QStringLiteral("0.333"));
            table.setText(r, 6, QStringLiteral("%1").arg(i * 0.333));
            table.setText(r, 7, QStringLiteral("２"));
        }
    }

    QStringList namesAdded()
    {
        QStringList names;
        for (store.first(); !store.atEnd(); store.skip())
            names << store.readText(Stock::Name);
        return names;
    }

    Status add(BulkAddition::Entry entry = BulkAddition::Entry::Opening)
    {
        const Status s = BulkAddition::add(
            stockFileOf(store, state.programDir), BulkAddition::collect(table).rows, clock, entry);
        if (s) // as the main window does
            store.close(Stock::alias());
        return s;
    }

    DataSource table;
    FixedClock clock;
};

TEST_F(BulkAdditionTest, TakesEveryRowBelowTheHeading)
{
    ASSERT_TRUE(add());
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_EQ(store.recordCount(), 9);
    EXPECT_EQ(namesAdded().first(), QStringLiteral("新材料1"));
    ASSERT_TRUE(add());
    ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_EQ(store.recordCount(), 18) << "known keys are added again";

    // A row without a name is skipped, even with numbers in it.
    table.setText(3, 1, QString());
    ASSERT_TRUE(add());
    ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_EQ(store.recordCount(), 26);
    EXPECT_TRUE(store.goTo(19));
    EXPECT_EQ(text(Stock::Name), QStringLiteral("新材料1"));
    EXPECT_TRUE(store.goTo(20));
    EXPECT_EQ(text(Stock::Name), QStringLiteral("新材料3"));
}

TEST_F(BulkAdditionTest, TheHeadingRowIsNeverAnItem)
{
    // Marked as the heading (as the import marks it) or not.
    for (const int headerRows : {1, 0}) {
        table.setHeaderRows(headerRows);
        const QList<BulkAddition::Row> rows = BulkAddition::collect(table).rows;
        ASSERT_EQ(rows.size(), 9) << "header rows " << headerRows;
        EXPECT_EQ(rows.first().name, QStringLiteral("新材料1"));
        EXPECT_EQ(rows.last().name, QStringLiteral("新材料9"));
    }
    ASSERT_TRUE(add());
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_FALSE(namesAdded().contains(QStringLiteral("材  料  品  名")));
}

TEST_F(BulkAdditionTest, OpeningStockIsNoReceiptAndAReceiptCountsAsOne)
{
    ASSERT_TRUE(add());
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    goToItem(QStringLiteral("新材料3"), QStringLiteral("型号3"));
    EXPECT_EQ(number(Stock::Quantity), 3.0);
    EXPECT_EQ(number(Stock::UnitPrice), 0.333);
    EXPECT_EQ(number(Stock::Amount), 0.999);
    EXPECT_EQ(number(Stock::AlarmQuantity), 2.0);
    const int totals[] = {Stock::ReceiptQuantity, Stock::ReceiptAmount, Stock::MonthReceiptQuantity,
        Stock::MonthReceiptAmount, Stock::YearReceiptQuantity, Stock::YearReceiptAmount};
    for (const int f : totals)
        EXPECT_EQ(number(f), 0.0) << f;
    EXPECT_FALSE(store.readDateTime(Stock::ReceiptDate).isValid());
    EXPECT_EQ(text(Stock::ReceiptHistory),
        QStringLiteral("期初 数量 3 单价 0.333 金额 0.999 2011年3月7日9时5分\r\n"));

    // The first receipt starts the totals and a line of its own.
    ASSERT_TRUE(bookReceipt(*store.current(), state.programDir,
        {QStringLiteral("新材料3"), QStringLiteral("型号3"), "个", "1", "1", "1", "2"}, now));
    goToItem(QStringLiteral("新材料3"), QStringLiteral("型号3"));
    EXPECT_EQ(number(Stock::MonthReceiptAmount), 1.0);
    EXPECT_EQ(text(Stock::ReceiptHistory).count(QStringLiteral("\r\n")), 2);
    store.closeAll();

    // As a receipt of the day the row sets every receipt total and the date.
    table.setText(4, 6, QStringLiteral("120000000000.25"));
    ASSERT_TRUE(add(BulkAddition::Entry::Receipt));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    ASSERT_TRUE(store.goTo(12));
    QList<double> booked;
    for (const int f : totals)
        booked << number(f);
    EXPECT_EQ(booked, QList<double>({3, 120000000000.25, 3, 120000000000.25, 3, 120000000000.25}));
    EXPECT_EQ(store.readDateTime(Stock::ReceiptDate), now);
    EXPECT_EQ(text(Stock::ReceiptHistory),
        QStringLiteral("数量 3 单价 0.333 金额 120000000000.25 2011年3月7日9时5分\r\n"));
}

} // namespace
