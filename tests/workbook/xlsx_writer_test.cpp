#include "workbook/xlsx_writer.h"

#include "support/cell_texts.h"
#include "workbook/xlsx_reader.h"

#include <gtest/gtest.h>

namespace {

TEST(XlsxWriterTest, WhatIsWrittenReadsBackTheSame)
{
    Workbook workbook;
    WorkbookSheet stock(QStringLiteral("库存"));
    stock.setValue(3, 2, QStringLiteral("螺栓 <M12> & \"x\""));
    stock.setValue(3, 5, QStringLiteral("12.50"));
    stock.setValue(3, 6, QStringLiteral("0.1"));
    stock.setValue(3, 7, QStringLiteral("-1e-7"));
    stock.setValue(4, 2, QStringLiteral("  leading and trailing  "));
    // Control characters and text that looks like the format's own escapes.
    stock.setValue(5, 2,
        QStringLiteral("a\x01"
                       "b _x000D_ c\r\nd"));
    stock.setCell(6, 4, {QStringLiteral("25"), QStringLiteral("=E3*2")});
    stock.setCell(6, 5, {QStringLiteral("ab"), QStringLiteral("=B3&\"b\"")});
    stock.setCell(6, 6, {QString(), QStringLiteral("=SUM(E3:E5)")});
    stock.setValue(1048576, 16384, QStringLiteral("corner"));
    workbook.sheets = {stock, WorkbookSheet(QStringLiteral("二"))};
    workbook.activeSheet = 1;

    const WorkbookResult read = XlsxReader().read(xlsxBytes(workbook));
    ASSERT_TRUE(read.status) << read.status.message().toStdString();
    EXPECT_EQ(read.workbook.activeSheet, 1);
    ASSERT_EQ(read.workbook.sheets.size(), 2);
    const WorkbookSheet &back = read.workbook.sheets[0];
    EXPECT_EQ(back.name(), QStringLiteral("库存"));
    EXPECT_EQ(back.value(3, 2), stock.value(3, 2));
    EXPECT_EQ(back.value(3, 5), QStringLiteral("12.5")); // stored as the number
    EXPECT_TRUE(hasCellTexts(back,
        {{3, 6, u"0.1"}, {3, 7, u"-1e-07"}, {4, 2, stock.value(4, 2)}, {5, 2, stock.value(5, 2)},
            {1048576, 16384, u"corner"}}));
    EXPECT_EQ(back.cell(6, 4), stock.cell(6, 4));
    EXPECT_EQ(back.cell(6, 5), stock.cell(6, 5));
    EXPECT_EQ(back.cell(6, 6), stock.cell(6, 6));
    EXPECT_EQ(back.cellCount(), stock.cellCount());
}

TEST(XlsxWriterTest, SheetNamesASpreadsheetRefusesAreMended)
{
    Workbook workbook;
    for (const QString &name : {QStringLiteral("a/b"), QString(), QStringLiteral("A_B"),
             QStringLiteral("'quoted'"), QString(40, u'长'), QStringLiteral("[x]:*?\\")})
        workbook.sheets.append(WorkbookSheet(name));
    const WorkbookResult read = XlsxReader().read(xlsxBytes(workbook));
    ASSERT_TRUE(read.status) << read.status.message().toStdString();
    QStringList names;
    for (const WorkbookSheet &sheet : read.workbook.sheets)
        names.append(sheet.name());
    EXPECT_EQ(
        names, (QStringList {"a_b", "Sheet2", "Sheet3", "Sheet4", QString(31, u'长'), "_x_____"}));
}

TEST(XlsxWriterTest, OnlyPlainDecimalsCountAsNumbers)
{
    double value = 0;
    EXPECT_TRUE(isDecimalNumber(QStringLiteral("007"), &value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(isDecimalNumber(QStringLiteral("-.5"), &value));
    EXPECT_EQ(value, -0.5);
    EXPECT_TRUE(isDecimalNumber(QStringLiteral("1E3")));
    for (const char *text :
        {"", " 1", "1 ", "1e", "0x10", "inf", "nan", "1,5", "１２", "1e999", "+", "."})
        EXPECT_FALSE(isDecimalNumber(QString::fromUtf8(text))) << text;
}

} // namespace
