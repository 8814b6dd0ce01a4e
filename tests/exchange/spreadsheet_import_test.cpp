#include "exchange/spreadsheet_import.h"

#include "table/data_source.h"
#include "workbook/excel_automation.h"
#include "workbook_fixtures.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SpreadsheetImportTest : public testing::Test
{
protected:
    void SetUp() override
    {
        excel.CreateApplication();
        ASSERT_TRUE(excel.AddWorkbook());
    }

    // Fills column B (names) of the given spreadsheet rows.
    void names(int first, int last)
    {
        for (int row = first; row <= last; ++row)
            EXPECT_TRUE(excel.SetCell(1, row, 2, QStringLiteral("品名%1").arg(row)));
    }

    void import() { SpreadsheetImport::importInto(table, excel); }

    // How many of the table's data rows carry a name.
    int namedRows() const
    {
        int named = 0;
        for (int row = 2; row <= table.rowCount(); ++row)
            named += table.text(row, 1).isEmpty() ? 0 : 1;
        return named;
    }

    static WorkbookReader reader()
    {
        return WorkbookReader(QCoreApplication::applicationFilePath(), 30'000);
    }

    ExcelAutomation excel {reader()};
    DataSource table;
};

TEST_F(SpreadsheetImportTest, HeadingRowAndLayoutReplaceWhatTheTableHeld)
{
    table.setSize(40, 23);
    table.setText(5, 5, QStringLiteral("old"));
    table.setBackground({1, 1, 40, 23}, rgbColor(255, 255, 0));
    table.merge({2, 1, 1, 3});
    table.setHeaderColumns(1);
    names(3, 3);
    import();

    EXPECT_EQ(table.columnCount(), 7);
    EXPECT_EQ(table.rowCount(), 8); // the heading, one named row, six without
    const QStringList headings = {QStringLiteral("材  料  品  名"),
        QStringLiteral("规  格  型  号"), QStringLiteral("单位"), QStringLiteral("库存数量"),
        QStringLiteral("单价"), QStringLiteral("库存金额"), QStringLiteral("报警数量")};
    for (int column = 1; column <= 7; ++column) {
        EXPECT_EQ(table.text(1, column), headings[column - 1]);
        EXPECT_EQ(table.format(1, column).alignment, CellFormat::Centre);
        EXPECT_EQ(table.format(1, column).style, CellFormat::Bold);
        EXPECT_EQ(table.format(2, column).style, 0);
        EXPECT_EQ(table.format(2, column).background, CellFormat::white);
    }
    EXPECT_EQ(table.columnWidth(1), 850);
    EXPECT_EQ(table.columnWidth(2), 850);
    EXPECT_EQ(table.columnWidth(3), 140);
    EXPECT_EQ(table.columnWidth(4), 140);
    EXPECT_EQ(table.columnWidth(5), DataSource::defaultColumnWidth);
    EXPECT_EQ(table.headerRows(), 1);
    EXPECT_EQ(table.headerColumns(), 0);
    EXPECT_TRUE(table.merges().isEmpty());
    EXPECT_EQ(table.text(5, 5), QString());
}

TEST_F(SpreadsheetImportTest, TenNamesThenBlanksEndAtTheSixthBlankRow)
{
    names(3, 12);
    import();
    EXPECT_EQ(table.rowCount(), 17);
    for (int row = 2; row <= 11; ++row)
        EXPECT_EQ(table.text(row, 1), QStringLiteral("品名%1").arg(row + 1));
    for (int row = 12; row <= 17; ++row)
        EXPECT_EQ(table.text(row, 1), QString());
}

TEST_F(SpreadsheetImportTest, BlankNamesCountOverTheWholeReadNotInARow)
{
    names(3, 5); // three names, three blanks (6..8), three names, then blanks
    names(9, 11);
    names(15, 20); // never reached: the sixth blank is row 14
    import();
    EXPECT_EQ(table.rowCount(), 13); // spreadsheet rows 3..14
    EXPECT_EQ(namedRows(), 6);
    EXPECT_EQ(table.text(10, 1), QStringLiteral("品名11"));
    EXPECT_EQ(table.text(13, 1), QString());
}

TEST_F(SpreadsheetImportTest, AtMostFiveHundredRowsAreRead)
{
    names(1, 700);
    import();
    EXPECT_EQ(table.rowCount(), 501);
    EXPECT_EQ(namedRows(), 500);
    EXPECT_EQ(table.text(2, 1), QStringLiteral("品名3"));
    EXPECT_EQ(table.text(501, 1), QStringLiteral("品名502"));
}

TEST_F(SpreadsheetImportTest, ColumnsMapWithPriceAndQuantityInTheirPlaces)
{
    const char *columns = "BCDEFGH";
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("%1%2").arg(QChar(columns[i])).arg(4),
            QStringLiteral("%1-value").arg(QChar(columns[i]))));
    // Rows without a name keep the other columns as read.
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("F3"), QStringLiteral("12.5")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("E3"), QStringLiteral("３０")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("A4"), QStringLiteral("not read")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("I4"), QStringLiteral("not read")));
    import();
    EXPECT_EQ(table.text(2, 1), QString());
    EXPECT_EQ(table.text(2, 5), QStringLiteral("12.5"));
    EXPECT_EQ(table.text(2, 4), QStringLiteral("３０")); // as read, not converted
    const QStringList expected = {QStringLiteral("B-value"), QStringLiteral("C-value"),
        QStringLiteral("D-value"), QStringLiteral("E-value"), QStringLiteral("F-value"),
        QStringLiteral("G-value"), QStringLiteral("H-value")};
    for (int column = 1; column <= 7; ++column)
        EXPECT_EQ(table.text(3, column), expected[column - 1]) << column;
}

TEST_F(SpreadsheetImportTest, NoWorkbookReadsSixEmptyRows)
{
    excel.CloseWorkbooks();
    import();
    EXPECT_EQ(table.rowCount(), 7);
    EXPECT_EQ(namedRows(), 0);

    DataSource cancelled;
    cancelled.setSize(3, 3);
    cancelled.setText(2, 2, QStringLiteral("old"));
    ASSERT_TRUE(SpreadsheetImport::importFile(cancelled, QString(), reader()));
    EXPECT_EQ(cancelled.rowCount(), 7);
    EXPECT_EQ(cancelled.columnCount(), 7);
    EXPECT_EQ(cancelled.text(2, 2), QString());
}

class ImportFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        table.setSize(3, 7);
        table.setText(2, 1, QStringLiteral("库存里的"));
        table.setColumnWidths(1, 1, 600);
    }

    void expectUntouched()
    {
        EXPECT_EQ(table.rowCount(), 3);
        EXPECT_EQ(table.text(2, 1), QStringLiteral("库存里的"));
        EXPECT_EQ(table.text(1, 1), QString());
        EXPECT_EQ(table.columnWidth(1), 600);
    }

    QTemporaryDir dir;
    DataSource table;
    WorkbookReader reader {QCoreApplication::applicationFilePath(), 30'000};
};

TEST_F(ImportFileTest, ReadsAWorkbookFileThroughTheChildProcess)
{
    const QString path = copyXlsxFixture("import.xlsx", dir.filePath(QStringLiteral("库存.xlsx")));
    ASSERT_TRUE(SpreadsheetImport::importFile(table, path, reader));
    EXPECT_EQ(table.rowCount(), 8);
    const QStringList row = {QStringLiteral("螺栓"), QStringLiteral("M12"), QStringLiteral("个"),
        QStringLiteral("30"), QStringLiteral("0.3333333333333"), QStringLiteral("10"),
        QStringLiteral("5")};
    for (int column = 1; column <= 7; ++column)
        EXPECT_EQ(table.text(2, column), row[column - 1]);
}

TEST_F(ImportFileTest, AFileThatCannotBeReadLeavesTheTableAsItWas)
{
    const QByteArray good = makeXlsxPackage({"<row r=\"3\"><c r=\"B3\"><v>1</v></c></row>"});
    QByteArray randomBytes(3000, Qt::Uninitialized);
    for (qsizetype i = 0; i < randomBytes.size(); ++i)
        randomBytes[i] = char((i * 7919 + 13) % 251);
    const std::pair<const char *, QByteArray> files[] = {
        {"corrupt.xlsx", good.left(good.size() - 30)},
        {"random.xls", randomBytes},
        {"empty.csv", QByteArray()},
    };
    for (const auto &[name, bytes] : files) {
        SCOPED_TRACE(name);
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_TRUE(writeFile(path, bytes));
        const Status status = SpreadsheetImport::importFile(table, path, reader);
        EXPECT_FALSE(status);
        EXPECT_TRUE(status.message().startsWith(QStringLiteral("无法读取电子表格文件：")))
            << status.message().toStdString();
        expectUntouched();
    }
}

} // namespace
