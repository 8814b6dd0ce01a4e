#include "test_files.h"

#include "data/stock_layout.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(StockLayout, FieldsAreNumberedAndNamedAsStored)
{
    const Layout &layout = Stock::layout();
    ASSERT_EQ(layout.size(), Stock::fieldCount);
    const QStringList names = {"品名", "规格型号", "单位", "数量", "单价", "金额", "出库数量",
        "出库金额", "出库日期", "出库记录", "进库数量", "进库金额", "进库日期", "进库记录",
        "报警数量", "本月出库数量", "本月出库金额", "本年出库数量", "本年出库金额", "本月进库数量",
        "本月进库金额", "本年进库数量", "本年进库金额"};
    for (int i = 0; i < Stock::fieldCount; ++i)
        EXPECT_EQ(layout[i].name, names[i]) << i + 1;
    EXPECT_EQ(layout[Stock::Name - 1].kind, FieldKind::Text);
    EXPECT_EQ(layout[Stock::Unit - 1].kind, FieldKind::Text);
    EXPECT_EQ(layout[Stock::IssueDate - 1].kind, FieldKind::DateTime);
    EXPECT_EQ(layout[Stock::ReceiptDate - 1].kind, FieldKind::DateTime);
    EXPECT_EQ(layout[Stock::IssueHistory - 1].kind, FieldKind::Memo);
    EXPECT_EQ(layout[Stock::ReceiptHistory - 1].kind, FieldKind::Memo);
    for (const int no : {4, 5, 6, 7, 8, 11, 12, 15, 16, 17, 18, 19, 20, 21, 22, 23})
        EXPECT_EQ(layout[no - 1].kind, FieldKind::Number) << no;
    EXPECT_EQ(Stock::displayFields(),
        QStringList({"品名", "规格型号", "单位", "数量", "单价", "金额", "报警数量"}));

    Layout other = layout;
    other[Stock::Quantity - 1].kind = FieldKind::Text;
    EXPECT_FALSE(Stock::isStockLayout(other));
    EXPECT_FALSE(Stock::isStockLayout(Layout(layout.begin(), layout.end() - 1)));
}

TEST(StockLayout, EmptyStockFileOpensEverywhereAndIsNeverOverwritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(path));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("data.edt"))));

    RecordStore store;
    ASSERT_TRUE(store.open(path, Stock::alias()));
    EXPECT_EQ(store.recordCount(), 0);
    EXPECT_EQ(store.layout(), Stock::layout());
    ASSERT_TRUE(store.add({QStringLiteral("电缆")}));
    store.closeAll();

    EXPECT_FALSE(Stock::createEmptyFile(path));
    ASSERT_TRUE(store.open(path, Stock::alias()));
    EXPECT_EQ(store.recordCount(), 1) << "creating again must not empty an existing file";
}

TEST(StockLayout, EveryFieldRoundTripsThroughTheStore)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(path));
    RecordStore store;
    ASSERT_TRUE(store.open(path, Stock::alias()));
    ASSERT_TRUE(store.add());
    const QDateTime moment(QDate(2026, 12, 7), QTime(8, 30));
    for (int no = 1; no <= Stock::fieldCount; ++no) {
        switch (store.fieldKind(no)) {
        case FieldKind::Text:
            ASSERT_TRUE(store.write(no, QStringLiteral("文本%1").arg(no)));
            break;
        case FieldKind::Number:
            ASSERT_TRUE(store.write(no, no + 0.25));
            break;
        case FieldKind::DateTime:
            ASSERT_TRUE(store.write(no, moment.addDays(no)));
            break;
        case FieldKind::Memo:
            ASSERT_TRUE(store.appendMemo(no, QStringLiteral("记录%1\r\n").arg(no)));
            break;
        case FieldKind::Logical:
            FAIL() << "the stock file has no logical field";
        }
    }
    store.closeAll();
    ASSERT_TRUE(store.open(path, Stock::alias()));
    for (int no = 1; no <= Stock::fieldCount; ++no) {
        switch (store.fieldKind(no)) {
        case FieldKind::Text:
            EXPECT_EQ(store.readText(no), QStringLiteral("文本%1").arg(no));
            break;
        case FieldKind::Number:
            EXPECT_EQ(store.readNumber(no), no + 0.25);
            break;
        case FieldKind::DateTime:
            EXPECT_EQ(store.readDateTime(no), moment.addDays(no));
            break;
        case FieldKind::Memo:
            EXPECT_EQ(store.readText(no), QStringLiteral("记录%1\r\n").arg(no));
            break;
        case FieldKind::Logical:
            break;
        }
    }
}

} // namespace
