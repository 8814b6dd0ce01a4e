// A long stock file: the first screen shows at once and the rest comes as it
// is read, while the window answers. Nothing the storekeeper does meanwhile
// acts on part of the list, and the list read in parts is the one a full
// read gives, also when another program commits half-way.

#include "support/main_window_fixture.h"

#include "app/stock_list.h"
#include "data/stock_layout.h"
#include "table/data_source.h"

#include <QLabel>
#include <QTest>

namespace {

class LongListTest : public StockWindowTest
{
protected:
    // Past the first screen's part and past the length read in one go.
    static constexpr int moreItems = 24000;

    void SetUp() override
    {
        StockWindowTest::SetUp();
        window.reset();
        store.closeAll(); // as at start-up
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        RecordStore::Transaction transaction(writer);
        for (int i = 1; i <= moreItems; ++i) {
            QVariantList values(Stock::fieldCount);
            values[Stock::Name - 1] = QStringLiteral("续%1").arg(i);
            values[Stock::Spec - 1] = QStringLiteral("型号-%1").arg(i % 97);
            values[Stock::Quantity - 1] = i % 13;
            values[Stock::AlarmQuantity - 1] = 4;
            ASSERT_TRUE(writer.add(values));
        }
        ASSERT_TRUE(transaction.commit());
    }

    int allRows() const { return int(items.size()) + moreItems + 1; }

    // The window over the long file, shown with its first screen only.
    void open()
    {
        makeWindow(true);
        // Parts small enough that showing the window leaves most unread.
        window->setLaterPartRecords(200);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        grid = window->stockGrid();
        ASSERT_FALSE(window->listComplete());
        ASSERT_LT(window->stockTable().rowCount(), allRows());
        EXPECT_EQ(shownText(2, 1), items[0].name);
        EXPECT_EQ(window->windowTitle(), StockList::bareTitle()) << "no count of part of the list";
        EXPECT_TRUE(window->listStatus()->text().startsWith(QStringLiteral("正在读取库存数据")));
    }
};

TEST_F(LongListTest, TheRestIsReadWhileTheWindowAnswersAndPicksWaitForIt)
{
    open();
    // Read on while the window answers.
    QTRY_VERIFY_WITH_TIMEOUT(window->listComplete(), 20000);
    ASSERT_EQ(window->stockTable().rowCount(), allRows());
    expectListAsBuilt();

    // A drag before the end picks once the whole list is there.
    window.reset();
    open();
    dragRows(5, 7);
    EXPECT_TRUE(window->listComplete());
    EXPECT_EQ(pickedNames(), namesOfRows(5, 7));
    expectListAsBuilt();

    // So does a command: 刷新显示 shows the whole list.
    window.reset();
    open();
    trigger(QStringLiteral("刷新显示"));
    EXPECT_TRUE(window->listComplete());
    expectListAsBuilt();
}

TEST_F(LongListTest, ACommitOfAnotherProgramHalfWayIsShownAsAFullReadWould)
{
    open();
    {
        RecordStore other;
        ASSERT_TRUE(other.open(stockPath(), QStringLiteral("o")));
        ASSERT_TRUE(other.goTo(3) && other.write(Stock::Quantity, 99));
        ASSERT_TRUE(other.goTo(moreItems) && other.write(Stock::Quantity, 0));
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->listComplete(), 20000);
    EXPECT_EQ(shownText(4, 4), QStringLiteral("99")) << "a row read before the commit";
    expectListAsBuilt();
}

} // namespace
