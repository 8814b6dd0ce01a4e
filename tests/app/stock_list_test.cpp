#include "app/stock_list.h"

#include "common/app_state.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "support/cell_texts.h"
#include "support/qt_print.h"
#include "support/reader_threads_param.h"
#include "support/scripted_prompts.h"
#include "table/data_source.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Item
{
    QString name;
    double quantity;
    double alarm;
};

class StockListTest : public testing::Test
{
protected:
    void SetUp() override
    {
        state.programDir = dir.path();
        ASSERT_TRUE(Stock::createEmptyFile(state.path(Stock::fileName())));
    }

    void addItems(const QList<Item> &items)
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(state.path(Stock::fileName()), QStringLiteral("w")));
        for (const Item &item : items) {
            QVariantList values(Stock::fieldCount);
            values[Stock::Name - 1] = item.name;
            values[Stock::Spec - 1] = item.name + QStringLiteral("-规格");
            values[Stock::Unit - 1] = QStringLiteral("个");
            values[Stock::Quantity - 1] = item.quantity;
            values[Stock::UnitPrice - 1] = 2.5;
            values[Stock::Amount - 1] = item.quantity * 2.5;
            values[Stock::AlarmQuantity - 1] = item.alarm;
            ASSERT_TRUE(writer.add(values));
        }
    }

    StockList::BuildResult build() { return StockList::build(table, store, state); }

    quint32 colorOf(int row) const { return table.format(row, 1).textColor; }

    QTemporaryDir dir;
    AppState state;
    RecordStore store;
    DataSource table;
    ScriptedPrompts prompts;
};

TEST_F(StockListTest, BuildsHeaderRowsWidthsAndTexts)
{
    addItems({{QStringLiteral("电缆"), 12.5, 1}, {QStringLiteral("螺栓"), 1.0 / 3, 0}});
    const auto result = build();
    EXPECT_TRUE(result.stockOpened);
    ASSERT_EQ(table.rowCount(), 3);
    ASSERT_EQ(table.columnCount(), 7);
    const QStringList headers
        = {"材  料  品  名", "规  格  型  号", "单位", "库存数量", "单价", "库存金额", "报警数量"};
    const int widths[] = {850, 850, 150, 200, 200, 250, 250};
    for (int c = 1; c <= 7; ++c) {
        EXPECT_EQ(table.text(1, c), headers[c - 1]);
        EXPECT_EQ(table.columnWidth(c), widths[c - 1]);
        EXPECT_EQ(table.format(1, c).alignment, int(CellFormat::Centre));
        EXPECT_EQ(table.format(1, c).style, int(CellFormat::Bold));
        EXPECT_EQ(table.format(2, c).style, 0);
    }
    EXPECT_EQ(table.headerRows(), 1);
    EXPECT_TRUE(hasCellTexts(table,
        {{2, 1, u"电缆"}, {2, 2, u"电缆-规格"}, {2, 3, u"个"}, {2, 4, u"12.5"}, {2, 6, u"31.25"},
            {3, 4, u"0.3333333333333"}, {3, 7, u"0"}}));
    EXPECT_EQ(store.currentAlias(), Stock::alias()) << "the stock file is left open and current";
    EXPECT_FALSE(QFile::exists(state.path(QStringLiteral("data2.zrb"))))
        << "the list is read from the stock file, no copy is written";
}

TEST_F(StockListTest, LowStockRowsAreColouredAndCountedInTheTitle)
{
    addItems({
        {QStringLiteral("零零"), 0, 0}, // at the alarm quantity
        {QStringLiteral("微高"), 5.00000005, 5}, // within the tolerance
        {QStringLiteral("略高"), 5.001, 5}, // above it
        {QStringLiteral("低"), -2, 3},
        {QStringLiteral("够"), 100, 3},
    });
    const auto result = build();
    EXPECT_EQ(result.lowStockCount, 3);
    const quint32 low = StockList::lowStockColor;
    EXPECT_EQ(QList<quint32>({colorOf(2), colorOf(3), colorOf(4), colorOf(5), colorOf(6)}),
        QList<quint32>({low, low, 0, low, 0}));
    EXPECT_EQ(table.format(5, 7).textColor, StockList::lowStockColor) << "the whole row";
    EXPECT_EQ(StockList::title(result.lowStockCount),
        QStringLiteral("禾岭供电有限责任公司材料出库单打印系统---表中红色文本项目表示库存"
                       "数量低于报警数量.共3项"));
    EXPECT_EQ(StockList::title(0), QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"));
}

class LongStockListTest : public ReaderThreadsParam, public StockListTest
{
};

TEST_P(LongStockListTest, ALongFileListsEveryRecordAsARecordReadGivesIt)
{
    // Long enough to be read in two parts at once on more than one core:
    // they must meet in order at the middle, low stock told on both sides.
    const int count = 20001;
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(state.path(Stock::fileName()), QStringLiteral("w")));
        RecordStore::Transaction batch(writer);
        for (int i = 1; i <= count; ++i) {
            QVariantList values(Stock::fieldCount);
            values[Stock::Name - 1] = QStringLiteral("材料%1").arg(i);
            values[Stock::Spec - 1] = i % 5 == 0 ? QString() : QStringLiteral("型%1").arg(i % 97);
            values[Stock::Unit - 1] = QStringLiteral("米");
            values[Stock::Quantity - 1] = (i % 13) * 1.25;
            values[Stock::UnitPrice - 1] = 0.1 * (i % 7);
            values[Stock::Amount - 1] = (i % 13) * 1.25 * 0.1 * (i % 7);
            values[Stock::AlarmQuantity - 1] = i % 11;
            ASSERT_TRUE(writer.add(values));
        }
        ASSERT_TRUE(batch.commit());
    }
    const auto result = build();
    ASSERT_TRUE(result.stockOpened);
    ASSERT_EQ(table.rowCount(), count + 1);

    RecordStore reader;
    ASSERT_TRUE(reader.open(state.path(Stock::fileName()), QStringLiteral("r")));
    const int fields[] = {Stock::Name, Stock::Spec, Stock::Unit, Stock::Quantity, Stock::UnitPrice,
        Stock::Amount, Stock::AlarmQuantity};
    int low = 0;
    int row = 2;
    for (reader.first(); !reader.atEnd(); reader.skip(), ++row) {
        for (int c = 0; c < StockList::columns; ++c)
            ASSERT_EQ(table.text(row, c + 1), reader.readText(fields[c])) << row << "," << c + 1;
        const bool isLow
            = reader.readNumber(Stock::AlarmQuantity) - reader.readNumber(Stock::Quantity)
            >= -StockList::lowStockTolerance;
        low += isLow;
        ASSERT_EQ(colorOf(row), isLow ? StockList::lowStockColor : 0u) << row;
    }
    EXPECT_EQ(result.lowStockCount, low);
    EXPECT_GT(low, 0);
    EXPECT_EQ(result.lowStockRows.size(), size_t(count));

    // Records another connection adds after this store counted the file are
    // listed too, wherever the middle falls.
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(state.path(Stock::fileName()), QStringLiteral("w")));
        for (const char *name : {"后加一", "后加二", "后加三"})
            ASSERT_TRUE(writer.add({QString::fromUtf8(name)}));
    }
    const auto grown = build();
    ASSERT_EQ(table.rowCount(), count + 4);
    EXPECT_EQ(table.text(count + 1, 1), QStringLiteral("材料%1").arg(count));
    EXPECT_EQ(table.text(count + 4, 1), QStringLiteral("后加三"));
    EXPECT_EQ(grown.lowStockRows.size(), size_t(count + 3));
}

INSTANTIATE_READER_THREADS(LongStockListTest);

TEST_F(StockListTest, ExactlyThePickedRowsAreMarked)
{
    addItems(
        {{QStringLiteral("甲"), 0, 1}, {QStringLiteral("乙"), 9, 1}, {QStringLiteral("丙"), 9, 1}});
    state.pickedRows = {2, 3, 40};
    build();
    EXPECT_EQ(colorOf(2), StockList::markedColor) << "marked wins over low stock";
    EXPECT_EQ(colorOf(3), StockList::markedColor);
    EXPECT_EQ(colorOf(4), 0u);
}

TEST_F(StockListTest, AMissingOrForeignStockFileShowsTheHeaderOnly)
{
    addItems({{QStringLiteral("甲"), 1, 0}});
    build();
    ASSERT_EQ(table.rowCount(), 2);
    store.closeAll();
    ASSERT_TRUE(QFile::remove(state.path(QStringLiteral("data.zrb"))));
    const auto missing = build();
    EXPECT_FALSE(missing.stockOpened);
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_EQ(missing.lowStockCount, 0);
    EXPECT_FALSE(QFile::exists(state.path(QStringLiteral("data2.zrb"))));

    QFile foreign(state.path(QStringLiteral("data.zrb")));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("not a stock file");
    foreign.close();
    EXPECT_FALSE(build().stockOpened);
    EXPECT_EQ(table.rowCount(), 1);
}

class StockSelectionTest : public StockListTest
{
protected:
    void SetUp() override
    {
        StockListTest::SetUp();
        QList<Item> items;
        for (int i = 1; i <= 20; ++i)
            items.append({QStringLiteral("材料%1").arg(i), double(i), 0});
        addItems(items);
        build();
    }

    QString select(const CellRange &range)
    {
        return StockList::select(range, table, store, state, prompts).toolTip;
    }
};

TEST_F(StockSelectionTest, NumericColumnsShowSumsAndPickNothing)
{
    EXPECT_EQ(select({2, 4, 4, 1}), QStringLiteral("合计 = 10")); // 1+2+3+4
    EXPECT_EQ(select({2, 4, 2, 2}), QStringLiteral("合计 = 0"));
    EXPECT_EQ(select({3, 4, 1, 3}), QStringLiteral("合计 = 9.5")); // 2 + 2.5 + 5 along the row
    EXPECT_EQ(select({5, 6, 1, 1}), QStringLiteral("10")) << "one cell shows its own text";
    EXPECT_EQ(select({1, 4, 1, 1}), QStringLiteral("库存数量"));
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(StockSelectionTest, BlocksPickAtMostNineLines)
{
    EXPECT_EQ(select({2, 1, 3, 2}), QString());
    ASSERT_EQ(state.issueLines.size(), 3);
    const IssueLine &first = state.issueLines[0];
    EXPECT_EQ(first.name, QStringLiteral("材料1"));
    EXPECT_EQ(first.spec, QStringLiteral("材料1-规格"));
    EXPECT_EQ(first.unit, QStringLiteral("个"));
    EXPECT_EQ(first.quantity, 1.0);
    EXPECT_EQ(first.unitPrice, 2.5);
    EXPECT_EQ(first.amount, 2.5);
    EXPECT_EQ(state.pickedRows, QList<int>({2, 3, 4}));
    EXPECT_EQ(colorOf(3), StockList::markedColor);
    EXPECT_TRUE(prompts.messages().isEmpty());

    // A row already picked is passed over, alone or inside a larger block.
    select({3, 1, 1, 1});
    EXPECT_EQ(state.issueLines.size(), 3);
    select({2, 1, 6, 1});
    EXPECT_EQ(state.pickedRows, QList<int>({2, 3, 4, 5, 6, 7}));

    // Twelve more rows: three fit, and the nine-line message is shown.
    select({8, 2, 12, 1});
    EXPECT_EQ(state.issueLines.size(), 9);
    EXPECT_EQ(state.issueLines[8].name, QStringLiteral("材料9"));
    EXPECT_EQ(prompts.messages(),
        QStringList({"您的选择已达到或超过了9项,一张票据只能打印9行数,"
                     "系统将打印前9项"}));
    EXPECT_EQ(colorOf(11), 0u) << "rows beyond the ninth line stay unmarked";
}

TEST_F(StockSelectionTest, TheHeaderRowIsNoIssueLine)
{
    select({1, 1, 1, 1});
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty()) << "a click on the titles is no failed pick";
    select({1, 1, 3, 2}); // a drag from the titles into the items
    ASSERT_EQ(state.issueLines.size(), 2);
    EXPECT_EQ(state.issueLines[0].name, QStringLiteral("材料1"));
    EXPECT_EQ(state.pickedRows, QList<int>({2, 3}));
}

TEST_F(StockSelectionTest, TwelveRowsOnAnEmptyNoteAddNine)
{
    select({2, 1, 12, 7});
    EXPECT_EQ(state.issueLines.size(), 9);
    EXPECT_EQ(prompts.messages().size(), 1);
}

TEST_F(StockSelectionTest, NothingPickedAsksForADrag)
{
    state.issueLines = QList<IssueLine>(9);
    select({2, 1, 1, 1});
    EXPECT_EQ(state.issueLines.size(), 9);
    EXPECT_EQ(prompts.messages(), QStringList {StockList::fullNoteMessage()})
        << "a full note is told as full, not as empty";

    state.issueLines.clear();
    select({30, 1, 1, 1}); // outside the table: the header-only case
    ASSERT_EQ(state.issueLines.size(), 1);
    EXPECT_EQ(state.issueLines[0].name, QString());

    // A refresh forgets the chosen lines; a table without items gives none.
    state.issueLines.clear();
    state.pickedRows.clear();
    table.setSize(1, 7);
    state.issueLines.clear();
    StockList::select({3, 1, 0, 1}, table, store, state, prompts);
    EXPECT_EQ(
        prompts.messages().last(), QStringLiteral("请选择要打印的材料,您可以按下鼠标左键拖选"));
}

// A line keeps the record its row shows, trusted only when the texts agree;
// a spreadsheet's row is no stock record.
TEST_F(StockSelectionTest, ALineKeepsTheRecordItsRowShows)
{
    ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
    ASSERT_TRUE(store.goTo(1));
    const qint64 first = store.recordId();
    table.setText(3, 2, QStringLiteral("别的规格")); // a change not yet rebuilt for
    select({2, 1, 2, 1});
    state.listShowsImport = true;
    select({4, 1, 1, 1});
    ASSERT_EQ(state.issueLines.size(), 3);
    EXPECT_EQ(state.issueLines[0].recordId, first);
    EXPECT_EQ(state.issueLines[1].recordId, 0) << "a row that names another record";
    EXPECT_EQ(state.issueLines[2].recordId, 0) << "an imported row";
}

} // namespace
