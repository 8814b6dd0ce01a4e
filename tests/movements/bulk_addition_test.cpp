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

    Status add(int cursorRow)
    {
        const Status s = BulkAddition::add(stockFileOf(store, state.programDir),
            BulkAddition::collect(table, cursorRow).rows, clock);
        if (s) // as the main window does
            store.close(Stock::alias());
        return s;
    }

    DataSource table;
    FixedClock clock;
};

TEST_F(BulkAdditionTest, TakesTheRowsFromTheCursorDown)
{
    ASSERT_TRUE(add(5));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_EQ(namesAdded(),
        QStringList({"新材料4", "新材料5", "新材料6", "新材料7", "新材料8", "新材料9"}));
    ASSERT_TRUE(add(2));
    ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_EQ(store.recordCount(), 15) << "known keys are added again";

    // A row without a name is skipped, even with numbers in it.
    table.setText(3, 1, QString());
    ASSERT_TRUE(add(2));
    ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_EQ(store.recordCount(), 23);
    EXPECT_TRUE(store.goTo(16));
    EXPECT_EQ(text(Stock::Name), QStringLiteral("新材料1"));
    EXPECT_TRUE(store.goTo(17));
    EXPECT_EQ(text(Stock::Name), QStringLiteral("新材料3"));
}

TEST_F(BulkAdditionTest, TheHeadingRowIsNeverAnItem)
{
    // Where the spreadsheet import leaves the cursor, and where no cursor is.
    for (const int cursorRow : {1, 0}) {
        const QList<BulkAddition::Row> rows = BulkAddition::collect(table, cursorRow).rows;
        ASSERT_EQ(rows.size(), 9) << "cursor on row " << cursorRow;
        EXPECT_EQ(rows.first().name, QStringLiteral("新材料1"));
        EXPECT_EQ(rows.last().name, QStringLiteral("新材料9"));
    }
    ASSERT_TRUE(add(1));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    EXPECT_FALSE(namesAdded().contains(QStringLiteral("材  料  品  名")));
    EXPECT_EQ(store.recordCount(), 9);
}

TEST_F(BulkAdditionTest, EachItemOpensWithItsStockAsItsFirstReceipt)
{
    ASSERT_TRUE(add(4));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    goToItem(QStringLiteral("新材料3"), QStringLiteral("型号3"));
    EXPECT_EQ(number(Stock::Quantity), 3.0);
    EXPECT_EQ(number(Stock::UnitPrice), 0.333);
    EXPECT_EQ(number(Stock::Amount), 0.999);
    EXPECT_EQ(number(Stock::AlarmQuantity), 2.0);
    for (const int f :
        {Stock::ReceiptQuantity, Stock::MonthReceiptQuantity, Stock::YearReceiptQuantity})
        EXPECT_EQ(number(f), 3.0);
    for (const int f : {Stock::ReceiptAmount, Stock::MonthReceiptAmount, Stock::YearReceiptAmount})
        EXPECT_EQ(number(f), 0.999);
    EXPECT_EQ(store.readDateTime(Stock::ReceiptDate), now);
    EXPECT_EQ(text(Stock::ReceiptHistory),
        QStringLiteral("数量 3 单价 0.333 金额 0.999 2011年3月7日9时5分"));

    // The opening entry has no line end: the first receipt goes on after it.
    const Status s = bookReceipt(*store.current(), state.programDir,
        {QStringLiteral("新材料3"), QStringLiteral("型号3"), "个", "1", "1", "1", "2"}, now);
    ASSERT_TRUE(s);
    goToItem(QStringLiteral("新材料3"), QStringLiteral("型号3"));
    EXPECT_TRUE(
        text(Stock::ReceiptHistory)
            .startsWith(QStringLiteral("数量 3 单价 0.333 金额 0.999 2011年3月7日9时5分数量 1")));
}

} // namespace
