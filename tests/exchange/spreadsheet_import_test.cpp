#include "exchange/spreadsheet_import.h"

#include "support/cell_texts.h"
#include "table/data_source.h"
#include "workbook/excel_automation.h"
#include "workbook/workbook_fixtures.h"

#include <QCoreApplication>
#include <QFile>
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
    const QStringList headings
        = {"材  料  品  名", "规  格  型  号", "单位", "库存数量", "单价", "库存金额", "报警数量"};
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

// Reading runs from spreadsheet row 3 until the sixth row without a name,
// counted over the whole read, or 500 rows; table row r shows spreadsheet
// row r + 1.
TEST_F(SpreadsheetImportTest, ReadingEndsAtTheSixthBlankNameOrAfterFiveHundredRows)
{
    const struct
    {
        QList<std::pair<int, int>> named; // spreadsheet rows with names
        int rows; // of the table, the heading included
        int namedRows;
    } cases[] = {
        {{{3, 12}}, 17, 10}, // ten names, then blanks
        // Three names, three blanks (6..8), three names, then blanks; the
        // names from row 15 are never reached: the sixth blank is row 14.
        {{{3, 5}, {9, 11}, {15, 20}}, 13, 6},
        {{{1, 700}}, 501, 500},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rows);
        excel.CloseWorkbooks();
        ASSERT_TRUE(excel.AddWorkbook());
        for (const auto &[first, last] : c.named)
            names(first, last);
        import();
        ASSERT_EQ(table.rowCount(), c.rows);
        EXPECT_EQ(namedRows(), c.namedRows);
        for (int row = 2; row <= c.rows; ++row) {
            const bool named = std::any_of(c.named.begin(), c.named.end(), [&](const auto &range) {
                return range.first <= row + 1 && row + 1 <= range.second;
            });
            EXPECT_EQ(table.text(row, 1), named ? QStringLiteral("品名%1").arg(row + 1) : QString())
                << row;
        }
    }
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
    const QStringList expected
        = {"B-value", "C-value", "D-value", "E-value", "F-value", "G-value", "H-value"};
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
    const QStringList row = {"螺栓", "M12", "个", "30", "0.3333333333333", "10", "5"};
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

TEST_F(ImportFileTest, FormulasSavedWithoutAResultAreCountedAndThoseWithOneReadAsIt)
{
    // 库存数量 of row 3 is a formula saved with its result; that of row 4 and
    // the 单价 of row 3 were saved without one.
    const QByteArray package = makeXlsxPackage({"<row r=\"3\"><c r=\"B3\" t=\"inlineStr\">"
                                                "<is><t>螺栓</t></is></c>"
                                                "<c r=\"E3\"><f>2*6</f><v>12</v></c>"
                                                "<c r=\"F3\"><f>E3/4</f></c></row>"
                                                "<row r=\"4\"><c r=\"B4\" t=\"inlineStr\">"
                                                "<is><t>垫圈</t></is></c>"
                                                "<c r=\"E4\"><f>SUM(E1:E3)</f></c></row>"});
    const QString path = dir.filePath(QStringLiteral("公式.xlsx"));
    ASSERT_TRUE(writeFile(path, package));
    SpreadsheetImport::Findings findings;
    ASSERT_TRUE(SpreadsheetImport::importFile(table, path, reader, &findings));
    EXPECT_TRUE(hasCellTexts(table, {{2, 4, u"12"}, {2, 5, u""}, {3, 4, u""}}));
    EXPECT_EQ(findings.formulasWithoutResult, 2);
}

} // namespace

// One 10 MB shared string in every cell of 500 rows: each cell takes the
// first 32 767 characters, and the user learns which cells were cut.
TEST_F(ImportFileTest, ALongSharedStringIsCutToACellsLengthInEveryCell)
{
    const QByteArray longText(10 * 1024 * 1024, 'x');
    QByteArray rows;
    for (int row = 3; row <= 502; ++row) {
        const QByteArray n = QByteArray::number(row);
        rows += "<row r=\"" + n + "\">";
        for (char column = 'B'; column <= 'I'; ++column)
            rows += "<c r=\"" + (column + n) + "\" t=\"s\"><v>0</v></c>";
        rows += "</row>";
    }
    const QString path = dir.filePath(QStringLiteral("长文字.xlsx"));
    ASSERT_TRUE(writeFile(path, makeXlsxPackage({rows}, "<si><t>" + longText + "</t></si>")));

    SpreadsheetImport::Findings findings;
    ASSERT_TRUE(SpreadsheetImport::importFile(table, path, reader, &findings));
    ASSERT_EQ(table.rowCount(), 501);
    const QString cut(Workbook::maxTextLength, u'x');
    for (int row : {2, 250, 501})
        for (int column = 1; column <= 7; ++column)
            EXPECT_EQ(table.text(row, column), cut) << row << ' ' << column;
    ASSERT_EQ(findings.cutCells.size(), 500 * 7);
    EXPECT_EQ(findings.cutCells.first(), QStringLiteral("B3"));
    const QString note = SpreadsheetImport::findingsNote(findings);
    EXPECT_TRUE(note.contains(QStringLiteral("3500 个单元格的文字超过 32767 个字符")))
        << note.toStdString();
    EXPECT_TRUE(note.contains(QStringLiteral("B3、C3"))) << note.toStdString();
}

// A CSV far longer than the import reads: its first 500 data rows come in, a
// field over a cell's length is cut and named, nothing is refused.
TEST_F(ImportFileTest, ALongCsvGivesItsFirstRowsAndLongFieldsAreCut)
{
    const QString path = dir.filePath(QStringLiteral("长.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("库存表\n品名,规格,单位,数量,单价,金额,报警\n");
    const QByteArray longField(Workbook::maxTextLength + 10, 'y');
    for (int row = 3; row <= 200'000; ++row) {
        const QByteArray n = QByteArray::number(row);
        const QByteArray spec = row == 7 ? longField : "M" + n;
        file.write(",品名" + n + ',' + spec + ",个," + n + ",1.5,2,3\n");
    }
    file.close();

    SpreadsheetImport::Findings findings;
    ASSERT_TRUE(SpreadsheetImport::importFile(table, path, reader, &findings));
    ASSERT_EQ(table.rowCount(), 501);
    EXPECT_TRUE(hasCellTexts(table,
        {{2, 1, u"品名3"}, {501, 1, u"品名502"}, {501, 4, u"502"},
            {6, 2, QString(Workbook::maxTextLength, u'y')}}));
    EXPECT_EQ(findings.cutCells, QStringList {QStringLiteral("C7")});
    EXPECT_TRUE(SpreadsheetImport::findingsNote(findings).contains(QStringLiteral("（C7）")));
}
