#include "tableeditor/query_table.h"

#include "data/record_store.h"
#include "data/stock_layout.h"
#include "support/qt_print.h"
#include "table/data_source.h"
#include "table/text_rows.h"
#include "tableeditor/query_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class QueryTableTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        writeQueryFile(qd, threeItems());
    }

    QStringList row(int r) const
    {
        QStringList texts;
        for (int c = 1; c <= table.columnCount(); ++c)
            texts << table.text(r, c);
        return texts;
    }

    QStringList column(const DataSource &t, int c) const
    {
        QStringList texts;
        for (int r = 1; r <= t.rowCount(); ++r)
            texts << t.text(r, c);
        return texts;
    }

    QTemporaryDir dir;
    QString qd = dir.filePath(QStringLiteral("qd.zrb"));
    QString qd4 = dir.filePath(QStringLiteral("qd4.zrb"));
    RecordStore store;
    DataSource table;
};

TEST_F(QueryTableTest, LoadsFieldNamesRecordsAndARoundedTotalRow)
{
    ASSERT_TRUE(QueryTable::load(table, store, qd));

    ASSERT_EQ(table.rowCount(), 5);
    ASSERT_EQ(table.columnCount(), 7);
    EXPECT_EQ(table.headerRows(), 1);
    EXPECT_EQ(row(1),
        QStringList({"品名", "规格型号", "单位", "单价", "出库数量", "出库金额", "出库日期"}));
    EXPECT_EQ(row(2),
        QStringList(
            {"电力电缆", "YJV-3x70", "米", "85.5", "12", "1026.125", "2026年3月7日9时5分"}));
    EXPECT_EQ(row(3).at(6), QStringLiteral("2026年3月6日9时5分"));
    // 1026.125 + 2 + 36.25 = 1064.375, rounded half away from zero.
    EXPECT_EQ(row(5), QStringList({"合      计", "", "", "", "", "1064.38", ""}));
    for (int c = 1; c <= 6; ++c)
        EXPECT_EQ(table.columnWidth(c), 320) << c;
    // The booking time needs more room than a name or a number.
    EXPECT_EQ(table.columnWidth(7), QueryTable::dateTimeColumnWidth);
    // The names were read under "qd", which is closed again.
    EXPECT_FALSE(store.isOpen(QStringLiteral("qd")));
}

TEST_F(QueryTableTest, RowsReadBeforeAreTakenOnlyWhenTheyHaveTheFilesShape)
{
    DataSource fromFile;
    ASSERT_TRUE(QueryTable::load(fromFile, store, qd));
    const auto rows = [](int count, int columns) {
        TextRows made(columns);
        std::vector<QString> texts;
        for (int c = 1; c <= columns; ++c)
            texts.push_back(QStringLiteral("读过%1").arg(c));
        const std::vector<QStringView> views(texts.begin(), texts.end());
        for (int r = 0; r < count; ++r)
            made.append(views.data());
        return made;
    };

    const TextRows shaped = rows(3, 7);
    ASSERT_TRUE(QueryTable::load(table, store, qd, &shaped));
    ASSERT_EQ(table.rowCount(), 5);
    EXPECT_EQ(row(1),
        QStringList({"品名", "规格型号", "单位", "单价", "出库数量", "出库金额", "出库日期"}));
    EXPECT_EQ(row(3).first(), QStringLiteral("读过1"));
    EXPECT_EQ(row(5), QStringList({"合      计", "", "", "", "", "0", ""}));

    for (const TextRows &other : {rows(2, 7), rows(4, 7), rows(3, 6)}) {
        ASSERT_TRUE(QueryTable::load(table, store, qd, &other));
        ASSERT_EQ(table.rowCount(), fromFile.rowCount());
        for (int r = 1; r <= table.rowCount(); ++r)
            EXPECT_EQ(row(r),
                [&] {
                    QStringList texts;
                    for (int c = 1; c <= fromFile.columnCount(); ++c)
                        texts << fromFile.text(r, c);
                    return texts;
                }())
                << "row " << r << " of " << other.rowCount() << " x " << other.columnCount();
    }
}

TEST_F(QueryTableTest, ColumnsNarrowFromTenColumnsOn)
{
    for (const int fields : {9, 10, 12}) {
        Layout layout;
        for (int f = 1; f < fields; ++f)
            layout.append({QStringLiteral("字段%1").arg(f), FieldKind::Number});
        layout.append({QStringLiteral("日期"), FieldKind::DateTime});
        const QString path = dir.filePath(QStringLiteral("wide%1.zrb").arg(fields));
        ASSERT_TRUE(RecordStore::create(path, layout));
        ASSERT_TRUE(QueryTable::load(table, store, path));
        ASSERT_EQ(table.columnCount(), fields);
        const int expected = fields < 10 ? 320 : 270;
        EXPECT_EQ(table.columnWidth(1), expected) << fields;
        EXPECT_EQ(table.columnWidth(fields - 1), expected) << fields;
        EXPECT_EQ(table.columnWidth(fields), QueryTable::dateTimeColumnWidth) << fields;
        // No records: the field names and the total row, which sums nothing.
        EXPECT_EQ(table.rowCount(), 2);
        EXPECT_EQ(table.text(2, 6), QStringLiteral("0"));
    }
}

TEST_F(QueryTableTest, AMissingFileGivesNoColumnsAndLeavesTheCurrentFileAlone)
{
    const QString data = dir.filePath(Stock::fileName());
    ASSERT_TRUE(Stock::createEmptyFile(data));
    ASSERT_TRUE(store.open(data, Stock::alias()));
    table.setSize(3, 3);
    table.setText(2, 2, QStringLiteral("old"));

    EXPECT_FALSE(QueryTable::load(table, store, dir.filePath(QStringLiteral("none.zrb"))));
    // The stock file's field names must not stand in for the missing ones.
    EXPECT_EQ(table.columnCount(), 0);
    EXPECT_EQ(table.text(1, 1), QString());
    EXPECT_EQ(store.currentAlias(), Stock::alias());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("none.zrb"))));
}

TEST_F(QueryTableTest, FillDownWritesOnlyBelowTheCursorInItsColumn)
{
    ASSERT_TRUE(QueryTable::load(table, store, qd));
    QList<QStringList> before;
    for (int c = 1; c <= 7; ++c)
        before << column(table, c);

    QueryTable::fillDown(table, 3, 3);
    EXPECT_EQ(column(table, 3), QStringList({"单位", "米", "片", "片", "片"}));
    for (int c = 1; c <= 7; ++c) {
        if (c != 3) {
            EXPECT_EQ(column(table, c), before[c - 1]) << c;
        }
    }

    // From the last row there is nothing below: nothing changes.
    QueryTable::fillDown(table, 5, 1);
    QueryTable::fillDown(table, 5, 6);
    EXPECT_EQ(column(table, 1), before[0]);
    EXPECT_EQ(column(table, 6), before[5]);
}

TEST_F(QueryTableTest, ColumnSumTakesEveryRowAndShowsTheRememberedCellOfAOneRowTable)
{
    ASSERT_TRUE(QueryTable::load(table, store, qd));
    // The records and the total row: twice 1064.375, less the total's rounding.
    EXPECT_EQ(QueryTable::columnSumText(table, 6, 1, 2), QStringLiteral("本列合计 = 2128.755"));
    EXPECT_EQ(QueryTable::columnSumText(table, 1, 1, 2), QStringLiteral("本列合计 = 0"));

    DataSource one;
    one.setSize(1, 3);
    one.setText(1, 2, QStringLiteral("42 只"));
    EXPECT_EQ(QueryTable::columnSumText(one, 2, 1, 1), QStringLiteral("42 只"));
    // A remembered row outside the table reads as an empty cell.
    EXPECT_EQ(QueryTable::columnSumText(one, 2, 1, 6), QString());
    // Cells read whole: "42 只" is no number, "1,000" in the total is 1000.
    EXPECT_EQ(QueryTable::columnSumText(one, 2, 2, 1), QStringLiteral("本列合计 = 0"));
    one.setSize(3, 6);
    one.setText(2, 6, QStringLiteral("1,000"));
    one.setText(3, 6, QStringLiteral(" ０.125"));
    QueryTable::appendTotalRow(one);
    EXPECT_EQ(one.text(4, 6), QStringLiteral("1000.13"));
}

TEST_F(QueryTableTest, SortByANameThatIsNoFieldWritesNothing)
{
    EXPECT_FALSE(QueryTable::sortQueryFile(store, qd, qd4, QStringLiteral("合计"), false));
    EXPECT_FALSE(QFile::exists(qd4));
    EXPECT_FALSE(store.isOpen(QStringLiteral("qd")));
    EXPECT_FALSE(QueryTable::sortQueryFile(
        store, dir.filePath(QStringLiteral("none.zrb")), qd4, QStringLiteral("品名"), false));
    EXPECT_FALSE(QFile::exists(qd4));
}

} // namespace
