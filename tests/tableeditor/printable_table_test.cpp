#include "tableeditor/printable_table.h"

#include "data/record_store.h"
#include "grid/grid_printer.h"
#include "support/cell_texts.h"
#include "support/pdf_text.h"
#include "support/qt_print.h"
#include "support/record_files.h"
#include "table/data_source.h"
#include "tableeditor/query_file.h"
#include "tableeditor/query_table.h"

#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Record = QVariantList;

QString footerLine(int gap, int trailing)
{
    return QStringLiteral("    制表:") + QString(gap, u' ') + QStringLiteral("报表审核:")
        + QString(trailing, u' ');
}

class PrintableTableTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void makeQueryFile(const Layout &layout, const QList<QVariantList> &records)
    {
        writeRecordFile(query, layout, records);
    }

    // The editor's table of a record file, as the table editor loads it:
    // field names, one row per record, the total row.
    void loadEditor(const QString &file) { ASSERT_TRUE(QueryTable::load(editor, store, file)); }
    void loadEditor() { loadEditor(query); }

    Status build() { return PrintableTable::build(table, store, query, editor, today); }

    int recordsInFile()
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(query, QStringLiteral("r")));
        return reader.recordCount();
    }

    QTemporaryDir dir;
    QString query = dir.filePath(QStringLiteral("qd.zrb"));
    RecordStore store;
    DataSource editor;
    DataSource table;
    QDate today {2011, 12, 4};
};

TEST_F(PrintableTableTest, TitleRowsOfFiveFieldsSplitTheSubtitleTwoToThree)
{
    Layout layout;
    for (const char *name : {"甲", "乙", "丙", "丁", "戊"})
        layout.append({QString::fromUtf8(name), FieldKind::Text});
    makeQueryFile(layout, {});
    loadEditor();
    ASSERT_TRUE(build());

    EXPECT_EQ(table.columnCount(), 5);
    EXPECT_EQ(table.spanAt(1, 3), (CellRange {1, 1, 1, 5}));
    EXPECT_EQ(table.text(1, 1), QStringLiteral("澄州禾岭供电有限责任公司材料出库单"));
    EXPECT_EQ(table.rowHeight(1), 160);
    EXPECT_EQ(table.format(1, 1).alignment, CellFormat::Centre);
    EXPECT_EQ(table.fontName(1, 1), QStringLiteral("宋体"));
    EXPECT_EQ(table.fontSize(1, 1), 85);

    EXPECT_EQ(table.spanAt(2, 2), (CellRange {2, 1, 1, 2}));
    EXPECT_EQ(table.spanAt(2, 3), (CellRange {2, 3, 1, 3}));
    EXPECT_EQ(table.text(2, 1), QStringLiteral("制表：财务室"));
    EXPECT_EQ(table.text(2, 3), QStringLiteral("日期：2011年12月4日"));
    EXPECT_EQ(table.rowHeight(2), 80);
    EXPECT_EQ(table.format(2, 1).alignment, CellFormat::MiddleLeft);
    EXPECT_EQ(table.format(2, 3).alignment, CellFormat::MiddleRight);
    EXPECT_EQ(table.format(2, 4).alignment, CellFormat::MiddleRight);

    for (int column = 1; column <= 5; ++column) {
        EXPECT_EQ(table.fontSize(3, column), 40);
        EXPECT_EQ(table.format(3, column).alignment, CellFormat::Centre);
        for (int row = 1; row <= 3; ++row)
            EXPECT_TRUE(table.format(row, column).style & CellFormat::Bold) << row << column;
    }
    EXPECT_EQ(table.headerRows(), 3);
    // One-character names: 2 bytes at size 40 give 40, so 40 + 22.4 + 36.
    EXPECT_EQ(table.columnWidth(1), 98);
}

TEST_F(PrintableTableTest, RecordsBecomeBorderedRowsWithTheEditorsAmountAndDate)
{
    makeQueryFile(statisticsLayout(),
        {{QStringLiteral("电力电缆"), QStringLiteral("YJV22"), QStringLiteral("米"), 12.5, 3.0,
             37.5, QDateTime(QDate(2011, 12, 1), {})},
            {QStringLiteral("真空断路器柜体附件专用螺栓组合"), QStringLiteral("M12"),
                QStringLiteral("套"), 36.8, 40.0, 1472.0, QDateTime(QDate(2011, 12, 2), {})},
            {QStringLiteral("刀闸"), QStringLiteral("GW4"), QStringLiteral("台"), 900.0, 1.0, 900.0,
                QDateTime(QDate(2011, 12, 3), {})}});
    loadEditor();
    // Cells as the editor shows them, edits and a find's colour included.
    editor.setText(2, 6, QStringLiteral("100.00"));
    editor.setText(4, 7, QStringLiteral("2011年12月3日下午"));
    editor.setTextColor({3, 1, 1, 7}, rgbColor(128, 0, 128));
    ASSERT_TRUE(build());

    ASSERT_EQ(table.rowCount(), 7) << "3 title rows, 3 records, the footer";
    EXPECT_TRUE(hasCellTexts(table,
        {{3, 5, u"出库数量"}, {4, 1, u"电力电缆"}, {4, 4, u"12.5"}, {5, 5, u"40"},
            {4, 6, u"100.00"}, {4, 7, u"2011年12月1日"}, {6, 6, u"900"},
            {6, 7, u"2011年12月3日下午"}}));
    EXPECT_EQ(table.format(4, 1), CellFormat()) << "data rows keep the default format";
    EXPECT_EQ(table.format(5, 1), CellFormat()) << "the editor's colours stay there";

    // The long name widened column 1 (30 bytes at 32: 480 + 268.8 + 36); the
    // shorter name after it did not narrow it again.
    EXPECT_EQ(table.columnWidth(1), 784);
    // "单位" at 40 (160) is wider than any unit: the column keeps that.
    EXPECT_EQ(table.columnWidth(3), 160);
    // The editor's date (17 bytes at 32) is wider than the field name.
    EXPECT_EQ(table.columnWidth(7), 460);

    const CellEdges all = BorderLeft | BorderTop | BorderRight | BorderBottom;
    for (int row = 3; row <= 6; ++row)
        for (int column = 1; column <= 7; ++column)
            EXPECT_EQ(table.edges(row, column), all) << row << "," << column;
    EXPECT_EQ(table.edges(2, 1), 0);
    EXPECT_EQ(table.edges(7, 1), 0) << "the footer has no lines";

    EXPECT_EQ(table.spanAt(7, 4), (CellRange {7, 1, 1, 7}));
    EXPECT_EQ(table.format(7, 1).alignment, CellFormat::MiddleLeft);
    EXPECT_EQ(table.text(7, 1), footerLine(50, 6));
    EXPECT_EQ(table.headerRows(), 3);
}

TEST_F(PrintableTableTest, EveryBuildLeavesABlankRecordThatTheNextOneShows)
{
    makeQueryFile(statisticsLayout(),
        {{QStringLiteral("电力电缆"), QStringLiteral("YJV22"), QStringLiteral("米"), 12.5, 3.0,
            37.5, QDateTime(QDate(2011, 12, 1), {})}});
    loadEditor();

    ASSERT_TRUE(build());
    EXPECT_EQ(recordsInFile(), 2);
    EXPECT_EQ(table.rowCount(), 5);
    EXPECT_EQ(table.text(5, 1), footerLine(50, 6));

    ASSERT_TRUE(build());
    EXPECT_EQ(recordsInFile(), 3);
    ASSERT_EQ(table.rowCount(), 6);
    // The first blank record is now a data row, empty and bordered: the
    // editor's total row is no record.
    EXPECT_EQ(table.text(4, 1), QStringLiteral("电力电缆"));
    for (int column = 1; column <= 7; ++column)
        EXPECT_EQ(table.text(5, column), QString()) << column;
    EXPECT_NE(table.edges(5, 1), 0);
    EXPECT_EQ(table.text(6, 1), footerLine(50, 6));
    EXPECT_EQ(table.spanAt(6, 1), (CellRange {6, 1, 1, 7}));
    // Nothing of the first build is left over.
    EXPECT_EQ(table.merges().size(), 4);
}

TEST_F(PrintableTableTest, AFileWithoutRecordsGivesTitlesAndTheFooterInRowFour)
{
    makeQueryFile(statisticsLayout(), {});
    loadEditor();
    table.setSize(9, 9); // an earlier table
    table.setText(8, 8, QStringLiteral("旧"));
    ASSERT_TRUE(build());

    EXPECT_EQ(table.rowCount(), 4);
    EXPECT_EQ(table.columnCount(), 7);
    EXPECT_EQ(table.text(4, 1), footerLine(50, 6));
    EXPECT_EQ(table.spanAt(4, 7), (CellRange {4, 1, 1, 7}));
    EXPECT_NE(table.edges(3, 1), 0);
    EXPECT_EQ(table.edges(4, 1), 0);
    EXPECT_EQ(table.pageSetup().pageNumberPosition, PageSetup::NoPageNumber);
}

TEST_F(PrintableTableTest, AMissingFileFailsWithAnEmptyTableAndKeepsTheCurrentFile)
{
    const QString other = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(RecordStore::create(other, statisticsLayout()));
    ASSERT_TRUE(store.open(other, QStringLiteral("other")));

    EXPECT_FALSE(build());
    EXPECT_EQ(table.columnCount(), 0);
    EXPECT_EQ(store.currentAlias(), QStringLiteral("other"));

    makeQueryFile(statisticsLayout(), {});
    ASSERT_TRUE(build());
    EXPECT_EQ(store.currentAlias(), QStringLiteral("other"));
    EXPECT_FALSE(store.isOpen(QStringLiteral("qd")));
}

TEST_F(PrintableTableTest, RowsComeInTheOrderOfTheSortedEditorWhole)
{
    makeQueryFile(statisticsLayout(),
        {{QStringLiteral("电力电缆"), QStringLiteral("YJV22"), QStringLiteral("米"), 25.0, 12.0,
             300.0, QDateTime(QDate(2026, 3, 7), QTime(9, 5))},
            {QStringLiteral("隔离开关"), QStringLiteral("GW4"), QStringLiteral("台"), 5.0, 1.0, 5.0,
                QDateTime(QDate(2026, 3, 5), QTime(14, 30))},
            {QStringLiteral("镀锌螺栓"), QStringLiteral("M16"), QStringLiteral("套"), 0.5, 80.0,
                40.0, QDateTime(QDate(2026, 3, 6), QTime(8, 0))}});
    const QString sorted = dir.filePath(QStringLiteral("qd4.zrb"));
    ASSERT_TRUE(QueryTable::sortQueryFile(store, query, sorted, QStringLiteral("出库金额"), false));
    loadEditor(sorted);
    ASSERT_TRUE(build());

    ASSERT_EQ(table.rowCount(), 7);
    const auto row = [&](int r) {
        QStringList texts;
        for (int c = 1; c <= 7; ++c)
            texts << table.text(r, c);
        return texts;
    };
    EXPECT_EQ(
        row(4), QStringList({"隔离开关", "GW4", "台", "5", "1", "5", "2026年3月5日14时30分"}));
    EXPECT_EQ(row(5), QStringList({"镀锌螺栓", "M16", "套", "0.5", "80", "40", "2026年3月6日8时"}));
    EXPECT_EQ(
        row(6), QStringList({"电力电缆", "YJV22", "米", "25", "12", "300", "2026年3月7日9时5分"}));
    EXPECT_EQ(recordsInFile(), 4) << "the blank end record goes into the query file";
}

TEST(PrintableDateFormat, PureDatesGoRoundTheFourForms)
{
    const QStringList forms {"2011年12月4日", "2011-12-4", "2011.12.4", "2011/12/4"};
    for (int step = 1; step <= 8; ++step)
        EXPECT_EQ(PrintableTable::dateFormatForStep(forms[(step - 1) % 4], step), forms[step % 4])
            << step;
}

TEST(PrintableDateFormat, BookingTimesKeepTheirTimeApartFromTheDate)
{
    const QStringList forms {
        "2026年3月7日9时5分", "2026-3-7 9时5分", "2026.3.7 9时5分", "2026/3/7 9时5分"};
    for (int step = 1; step <= 4; ++step)
        EXPECT_EQ(PrintableTable::dateFormatForStep(forms[(step - 1) % 4], step), forms[step % 4])
            << step;
    const struct
    {
        const char16_t *text;
        int step;
        const char16_t *expected;
    } cases[] = {
        {u"2026年12月31日23时59分59秒", 1, u"2026-12-31 23时59分59秒"},
        {u"2026年3月7日17时", 3, u"2026/3/7 17时"},
        // Whatever form a date is in, a click gives the form of its step: no
        // click leaves it as it was, none adds a second "日".
        {u"2026年3月7日9时5分", 4, u"2026年3月7日9时5分"},
        {u"2026.3.7 9时5分", 1, u"2026-3-7 9时5分"},
        {u"2011年12月4日", 2, u"2011.12.4"},
        // Texts without a date are rewritten character by character.
        {u"3月上旬", 1, u"3-上旬"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PrintableTable::dateFormatForStep(QString::fromUtf16(c.text), c.step),
            QString::fromUtf16(c.expected))
            << c.step;
    EXPECT_EQ(PrintableTable::dateFormatForStep(QString(), 4), QString()) << "empty stays empty";
}

// --- The page ---------------------------------------------------------------------

class PrintablePageTest : public testing::Test
{
protected:
    // A table of four equally wide columns with `dataRows` data rows.
    void makeTable(int totalWidth, int dataRows = 1)
    {
        table.setSize(3 + dataRows + 1, 4);
        table.setColumnWidths(1, 4, totalWidth / 4);
        ASSERT_EQ(PrintableTable::totalWidth(table), totalWidth);
    }

    DataSource table;
};

TEST_F(PrintablePageTest, OrientationFollowsTheWidthAndTheTableIsCentred)
{
    struct Case
    {
        int width;
        int orientation;
        int margin;
    };
    // A4 is 2100 across, 2970 turned; margins never exceed 150.
    for (const Case c : {Case {2000, 1, 150}, Case {1900, 0, 100}, Case {1960, 1, 150},
             Case {1952, 0, 74}, Case {2800, 1, 85}, Case {3200, 1, 0}}) {
        makeTable(c.width);
        PrintableTable::setUpPage(table, 1);
        const PageSetup &setup = table.pageSetup();
        EXPECT_EQ(setup.orientation, c.orientation) << c.width;
        EXPECT_EQ(setup.leftMargin, c.margin) << c.width;
        EXPECT_EQ(setup.rightMargin, c.margin) << c.width;
        EXPECT_EQ(setup.topMargin, 170);
        EXPECT_EQ(setup.bottomMargin, 180);
        EXPECT_EQ(setup.paperKind, 2);
    }
}

TEST_F(PrintablePageTest, PageNumbersOnlyForTablesLongerThanAPage)
{
    // Portrait: 2970 - 350 = 2620 printable; 42 rows estimate 2590, 43 2649.
    makeTable(1800, 42);
    PrintableTable::setUpPage(table, 42);
    EXPECT_EQ(table.pageSetup().pageNumberPosition, PageSetup::NoPageNumber);
    PrintableTable::setUpPage(table, 43);
    EXPECT_EQ(table.pageSetup().pageNumberPosition, PageSetup::BottomCentre);

    // Landscape: 2100 - 350 = 1750; 27 rows estimate 1705, 28 1764.
    makeTable(2400);
    PageSetup none = table.pageSetup();
    none.pageNumberPosition = PageSetup::NoPageNumber;
    table.setPageSetup(none);
    PrintableTable::setUpPage(table, 27);
    EXPECT_EQ(table.pageSetup().pageNumberPosition, PageSetup::NoPageNumber);
    PrintableTable::setUpPage(table, 28);
    EXPECT_EQ(table.pageSetup().pageNumberPosition, PageSetup::BottomCentre);

    // A short table keeps the position it had (the print window's "退 出"
    // turns it off for good).
    PageSetup topRight = table.pageSetup();
    topRight.pageNumberPosition = PageSetup::TopRight;
    table.setPageSetup(topRight);
    PrintableTable::setUpPage(table, 2);
    EXPECT_EQ(table.pageSetup().pageNumberPosition, PageSetup::TopRight);
}

TEST_F(PrintablePageTest, RelayoutTurnsThePageBothWaysAndCentresAgain)
{
    makeTable(1800);
    PrintableTable::setUpPage(table, 1);
    ASSERT_EQ(table.pageSetup().orientation, 0);

    table.setColumnWidths(1, 4, 500);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.pageSetup().orientation, 1);
    EXPECT_EQ(table.pageSetup().leftMargin, 150);
    EXPECT_EQ(table.pageSetup().rightMargin, 150);

    table.setColumnWidths(1, 4, 480); // 1920
    PrintableTable::relayout(table);
    EXPECT_EQ(table.pageSetup().orientation, 0);
    EXPECT_EQ(table.pageSetup().leftMargin, 90);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.pageSetup().leftMargin, 90) << "centring does not drift";

    // Exactly the limit leaves either orientation as it is.
    table.setColumnWidths(1, 4, 490);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.pageSetup().orientation, 0);

    // A paper the user chose keeps its orientation.
    PageSetup a3 = table.pageSetup();
    a3.paperKind = 8;
    table.setPageSetup(a3);
    table.setColumnWidths(1, 4, 700);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.pageSetup().orientation, 0);
}

TEST_F(PrintablePageTest, RelayoutShortensAFooterThatNoLongerFits)
{
    // 5 columns, the footer in row 4 at the default size 32.
    table.setSize(4, 5);
    table.setText(4, 1, footerLine(50, 6)); // 74 bytes
    table.setColumnWidths(1, 5, 400); // 2000: 125 bytes fit
    PrintableTable::relayout(table);
    EXPECT_EQ(table.text(4, 1), footerLine(50, 6)) << "a footer that fits is left alone";

    // 1140 wide: 71 bytes fit, 3 blanks go from the gap before the second
    // signature.
    table.setColumnWidths(1, 5, 228);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.text(4, 1), footerLine(47, 6));

    // 800 wide: 50 bytes fit; only the blanks of the last 21 bytes may go.
    table.setText(4, 1, footerLine(50, 6));
    table.setColumnWidths(1, 5, 160);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.text(4, 1), footerLine(44, 0));

    // Widening again does not pad it back.
    table.setColumnWidths(1, 5, 400);
    PrintableTable::relayout(table);
    EXPECT_EQ(table.text(4, 1), footerLine(44, 0));
}

// --- On paper ---------------------------------------------------------------------

TEST_F(PrintableTableTest, PrintsWithTitlesOnEveryPageAndPageNumbers)
{
    if (!PdfText::available())
        GTEST_SKIP() << "poppler-utils are not installed";
    QList<Record> records;
    for (int i = 1; i <= 60; ++i)
        records.append(
            {QStringLiteral("物资%1").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("型号"),
                QStringLiteral("个"), 2.5, double(i), 2.5 * i, QDateTime(QDate(2011, 12, 1), {})});
    makeQueryFile(statisticsLayout(), records);
    loadEditor();
    ASSERT_TRUE(build());
    ASSERT_EQ(table.pageSetup().pageNumberPosition, PageSetup::BottomCentre);
    ASSERT_EQ(table.pageSetup().orientation, 0);

    const QString pdf = dir.filePath(QStringLiteral("table.pdf"));
    {
        QPdfWriter writer(pdf);
        ASSERT_TRUE(GridPrinter(table).print(writer));
    }
    const QStringList pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 2);
    const auto flat = [](QString text) {
        return text.remove(QRegularExpression(QStringLiteral("\\s+")));
    };
    for (const QString &page : pages) {
        EXPECT_TRUE(flat(page).contains(QStringLiteral("材料出库单"))) << page.toStdString();
        EXPECT_TRUE(flat(page).contains(QStringLiteral("出库金额"))) << page.toStdString();
    }
    EXPECT_TRUE(flat(pages[0]).contains(QStringLiteral("物资001")));
    EXPECT_TRUE(flat(pages[0]).contains(QStringLiteral("第1页")));
    EXPECT_TRUE(flat(pages[1]).contains(QStringLiteral("物资060")));
    EXPECT_TRUE(flat(pages[1]).contains(QStringLiteral("报表审核")));
    EXPECT_TRUE(flat(pages[1]).contains(QStringLiteral("第2页")));
}

} // namespace
