#include "workbook/xls_reader.h"

#include "common/value_text.h"
#include "support/cell_texts.h"
#include "workbook/workbook_file.h"
#include "workbook/workbook_fixtures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QList<XlsCell> stockCells()
{
    return {
        {2, 1, XlsCell::Text, QStringLiteral("螺栓")},
        {2, 2, XlsCell::Text, QStringLiteral("M12")},
        {2, 4, XlsCell::Number, {}, 12.5},
        {2, 5, XlsCell::Number, {}, 1.0 / 3},
        {2, 6, XlsCell::Integer, {}, 300},
        {3, 1, XlsCell::Text, QStringLiteral("电缆")},
        {3, 2, XlsCell::Text, QStringLiteral("螺栓")}, // the string table holds it once
        {4, 1, XlsCell::Date, {}, 40609},
    };
}

void expectStockCells(const WorkbookResult &result)
{
    ASSERT_TRUE(result.status) << result.status.message().toStdString();
    ASSERT_EQ(result.workbook.sheets.size(), 1);
    const WorkbookSheet &sheet = result.workbook.sheets[0];
    EXPECT_EQ(sheet.name(), QStringLiteral("库存表"));
    EXPECT_TRUE(hasCellTexts(sheet,
        {{3, 2, u"螺栓"}, {3, 3, u"M12"}, {3, 5, u"12.5"}, {3, 6, u"0.3333333333333"},
            {3, 7, u"300"}, {4, 2, u"电缆"}, {4, 3, u"螺栓"},
            {5, 2, dateText(QDate(2011, 3, 7))}}));
    EXPECT_EQ(sheet.cellCount(), 8);
}

TEST(XlsReaderTest, ReadsStringsNumbersAndDatesOfABiff8Workbook)
{
    QTemporaryDir dir;
    const QByteArray bytes = makeXls(QStringLiteral("库存表"), stockCells());
    ASSERT_EQ(detectWorkbookFormat(bytes), WorkbookFormat::Xls);
    const QString path = dir.filePath(QStringLiteral("stock.xls"));
    ASSERT_TRUE(writeFile(path, bytes));
    expectStockCells(readXlsFile(path));
    // Told by its contents, whatever its name says.
    const QString renamed = dir.filePath(QStringLiteral("stock.csv"));
    ASSERT_TRUE(writeFile(renamed, bytes));
    expectStockCells(readWorkbookFile(renamed));
    expectStockCells(readWorkbookData(bytes));
}

TEST(XlsReaderTest, PathsOutsideTheLocalCodePageAreReadThroughACopy)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("库存 ☃ 表.xls"));
    ASSERT_TRUE(writeFile(path, makeXls(QStringLiteral("库存表"), stockCells())));
    expectStockCells(readXlsFile(path));
}

TEST(XlsReaderTest, DamagedCompoundFilesFail)
{
    QTemporaryDir dir;
    const QByteArray good = makeXls(QStringLiteral("S"), stockCells());
    const QList<QByteArray> damaged = {good.left(600), good.left(8) + QByteArray(2000, '\x7F'),
        good.left(512) + QByteArray(good.size() - 512, '\xFF')};
    for (const QByteArray &bytes : damaged) {
        const QString path = dir.filePath(QStringLiteral("bad.xls"));
        ASSERT_TRUE(writeFile(path, bytes));
        const WorkbookResult result = readXlsFile(path);
        EXPECT_FALSE(result.status);
        EXPECT_FALSE(result.status.message().isEmpty());
    }
    EXPECT_FALSE(readXlsFile(dir.filePath(QStringLiteral("missing.xls"))).status);
}

} // namespace
