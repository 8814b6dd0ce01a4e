#include "grid/grid_printer.h"

#include "printed_tables.h"
#include "support/pdf_text.h"
#include "table/data_source.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using PdfText::points;

QString nfkc(const QString &text)
{
    return text.normalized(QString::NormalizationForm_KC);
}

QString withoutSpaces(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s+")));
}

// Puts texts into a row from column 1 on.
void putRow(DataSource &t, int row, std::initializer_list<const char *> texts)
{
    int column = 0;
    for (const char *text : texts)
        t.setText(row, ++column, QString::fromUtf8(text));
}

// The issue note as its window builds it: 15 rows of 6 columns.
void fillNote(DataSource &t)
{
    t.setSize(15, 6);
    t.setRowHeights(1, 1, 100);
    t.setColumnWidths(1, 2, 500);
    t.setColumnWidths(3, 3, 200);
    t.setColumnWidths(6, 1, 350);
    t.setAlignment({1, 1, 15, 6}, CellFormat::Centre);
    for (const CellRange &m : {CellRange {1, 1, 1, 6}, CellRange {2, 1, 1, 2},
             CellRange {2, 3, 1, 3}, CellRange {3, 1, 1, 2}, CellRange {3, 3, 1, 3}})
        t.merge(m);
    putRow(t, 1, {"禾岭供电有限责任公司材料出库单"});
    t.setFontSize({1, 1, 1, 1}, 70);
    putRow(t, 2, {"第一仓库", "", "运行检修部"});
    putRow(t, 3, {"线路维护", "", "城南改造", "", "", "2024年5月1日"});
    putRow(t, 4, {"品  名", "规  格", "数  量", "单  位", "单  价", "金  额"});
    putRow(t, 5, {"电力电缆", "YJV22-3×70", "120", "米", "86.5", "10380"});
    putRow(t, 6, {"绝缘子", "XP-70", "24", "片", "31.2", "748.8"});
    putRow(t, 14, {"合       计", "", "", "", "", "11128.8"});
    putRow(t, 15, {"审批：王", "财务：李", "技术：赵", "开票：钱", "保管：孙", "领料：周"});
    t.setBorders({4, 1, 11, 6}, BorderAll);
    t.setPageSetup(setupWith(50));
}

class GridPrinterPdf : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!PdfText::available())
            GTEST_SKIP() << "poppler-utils (pdfinfo, pdftotext, pdftoppm) are not installed";
        ASSERT_TRUE(dir.isValid());
    }

    // Prints onto a PDF writer; the file is complete when this returns.
    QString print(const DataSource &t, const PageSetup &setup, const QString &name = "out.pdf")
    {
        const QString path = dir.filePath(name);
        QPdfWriter writer(path);
        const Status status = GridPrinter(t, setup).print(writer);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return path;
    }

    // The same through a printer writing PDF, as the print dialog's printer does.
    QString printThroughPrinter(
        const DataSource &t, const PageSetup &setup, const QString &name = "printer.pdf")
    {
        const QString path = dir.filePath(name);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        const Status status = GridPrinter(t, setup).print(printer);
        EXPECT_TRUE(status.ok()) << status.message().toStdString();
        return path;
    }

    // The box of a word on a page (the first found), or a null rectangle.
    static QRectF box(const QList<PdfText::Word> &words, int page, const QString &text)
    {
        for (const PdfText::Word &w : words)
            if (w.page == page && w.text == nfkc(text))
                return w.box;
        return {};
    }

    // The box of "第 n 页" on a page, or a null rectangle.
    static QRectF pageNumberBox(const QList<PdfText::Word> &words, int page)
    {
        const QRectF first = box(words, page, QStringLiteral("第"));
        const QRectF last = box(words, page, QStringLiteral("页"));
        return first.isNull() || last.isNull() ? QRectF() : first.united(last);
    }

    QTemporaryDir dir;
};

// The page numbers printed on a page's text.
QList<int> pageNumbersIn(const QString &page)
{
    static const QRegularExpression number(QStringLiteral("第\\s*(\\d+)\\s*页"));
    QList<int> numbers;
    for (auto it = number.globalMatch(page); it.hasNext();)
        numbers.append(it.next().captured(1).toInt());
    return numbers;
}

// The record labels (行0001 -> 1) on a page's text, in order.
QList<int> recordsIn(const QString &page)
{
    static const QRegularExpression label(QStringLiteral("行\\s*(\\d{4})"));
    QList<int> records;
    for (auto it = label.globalMatch(page); it.hasNext();)
        records.append(it.next().captured(1).toInt());
    return records;
}

TEST_F(GridPrinterPdf, LongTablesRepeatTheirHeaderRowsAndNumberThePages)
{
    DataSource t;
    fillList(t, 197, 5);
    const PageSetup setup = setupWith(100, PageSetup::BottomCentre);
    const int count = GridPrinter(t, setup).pageCount();
    ASSERT_GE(count, 3);

    const QString pdf = print(t, setup);
    const QStringList pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), count);
    EXPECT_EQ(PdfText::pageSizes(pdf).size(), count);

    QList<int> records;
    for (int i = 0; i < count; ++i) {
        const QString page = withoutSpaces(pages[i]);
        EXPECT_TRUE(page.contains(nfkc(QStringLiteral("材料出库汇总表")))) << i + 1;
        EXPECT_TRUE(page.contains(nfkc(QStringLiteral("制表：财务室")))) << i + 1;
        for (int c = 1; c <= 5; ++c)
            EXPECT_TRUE(page.contains(nfkc(QStringLiteral("字段%1").arg(c)))) << i + 1;
        EXPECT_EQ(pageNumbersIn(pages[i]), QList<int> {i + 1});
        records += recordsIn(pages[i]);
    }
    // Every record once, in order: none lost or doubled at a page break.
    QList<int> all;
    for (int r = 1; r <= 197; ++r)
        all.append(r);
    EXPECT_EQ(records, all);

    // Page 1 holds as many rows of 6 mm as fit below the 24 mm of header rows.
    const int fit = (GridPrinter::printableHeight(setup) - (160 + 80 + 60)) / 60;
    EXPECT_EQ(recordsIn(pages[0]).size(), fit);

    // The number sits in the bottom margin, centred on the paper.
    const QRectF number = pageNumberBox(PdfText::words(pdf), 2);
    ASSERT_FALSE(number.isNull());
    EXPECT_GT(number.top(), points(2970 - 100));
    EXPECT_NEAR(number.center().x(), points(1050), points(15));
}

TEST_F(GridPrinterPdf, OrientationMarginsAndScaleDecideThePages)
{
    DataSource t;
    fillList(t, 150, 5);
    PageSetup portrait = setupWith(100);
    PageSetup landscape = portrait;
    landscape.orientation = 1;

    const QList<QSizeF> tall = PdfText::pageSizes(print(t, portrait, "portrait.pdf"));
    const QList<QSizeF> wide = PdfText::pageSizes(print(t, landscape, "landscape.pdf"));
    ASSERT_FALSE(tall.isEmpty());
    ASSERT_FALSE(wide.isEmpty());
    for (const QSizeF &size : tall) {
        EXPECT_NEAR(size.width(), points(2100), 1.0);
        EXPECT_NEAR(size.height(), points(2970), 1.0);
    }
    for (const QSizeF &size : wide) {
        EXPECT_NEAR(size.width(), points(2970), 1.0);
        EXPECT_NEAR(size.height(), points(2100), 1.0);
    }
    EXPECT_GT(wide.size(), tall.size());
    EXPECT_EQ(GridPrinter(t, landscape).pageCount(), wide.size());

    PageSetup roomy = portrait;
    roomy.topMargin = roomy.bottomMargin = 500;
    const int roomyCount = GridPrinter(t, roomy).pageCount();
    EXPECT_GT(roomyCount, tall.size());
    EXPECT_EQ(PdfText::pageSizes(print(t, roomy, "roomy.pdf")).size(), roomyCount);

    // Half the size, about half the pages; 0 means 100 %.
    PageSetup half = portrait;
    half.scale = 50;
    const int full = GridPrinter(t, portrait).pageCount();
    EXPECT_LE(GridPrinter(t, half).pageCount(), (full + 1) / 2 + 1);
    EXPECT_LT(GridPrinter(t, half).pageCount(), full);
    PageSetup zero = portrait;
    zero.scale = 0;
    EXPECT_EQ(GridPrinter(t, zero).pageCount(), full);
}

TEST_F(GridPrinterPdf, APageRangePrintsExactlyThosePages)
{
    DataSource t;
    fillList(t, 197, 5);
    PageSetup setup = setupWith(100, PageSetup::BottomRight);
    setup.paperKind = 9; // the printer's own paper may be Letter
    const QStringList all = PdfText::pages(print(t, setup, "all.pdf"));
    ASSERT_GE(all.size(), 4);

    setup.printRange = 1;
    setup.firstPage = 2;
    setup.lastPage = 3;
    const QStringList some = PdfText::pages(print(t, setup, "some.pdf"));
    ASSERT_EQ(some.size(), 2);
    EXPECT_EQ(pageNumbersIn(some[0]), QList<int> {2});
    EXPECT_EQ(pageNumbersIn(some[1]), QList<int> {3});
    EXPECT_EQ(recordsIn(some[0]), recordsIn(all[1]));
    EXPECT_EQ(recordsIn(some[1]), recordsIn(all[2]));

    // Last page 0 runs to the end; a range past the end prints nothing.
    setup.firstPage = 3;
    setup.lastPage = 0;
    const QStringList tail = PdfText::pages(printThroughPrinter(t, setup, "tail.pdf"));
    ASSERT_EQ(tail.size(), all.size() - 2);
    EXPECT_EQ(pageNumbersIn(tail.last()), QList<int> {int(all.size())});

    setup.firstPage = int(all.size()) + 1;
    const QString none = print(t, setup, "none.pdf");
    EXPECT_TRUE(PdfText::pageSizes(none).isEmpty());
}

// --- What a page shows -----------------------------------------------------------------

TEST_F(GridPrinterPdf, TheIssueNoteFitsOnePageWithItsChineseTexts)
{
    DataSource t;
    fillNote(t);
    EXPECT_EQ(GridPrinter(t).pageCount(), 1);
    const QString pdf = print(t, t.pageSetup(), "note.pdf");
    const QStringList pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 1);
    const QString text = withoutSpaces(pages[0]);
    for (const char *expected : {"禾岭供电有限责任公司材料出库单", "第一仓库", "运行检修部",
             "2024年5月1日", "品名", "规格", "数量", "单位", "单价", "金额", "电力电缆",
             "YJV22-3×70", "绝缘子", "合计", "11128.8", "审批：王", "领料：周"})
        EXPECT_TRUE(text.contains(withoutSpaces(nfkc(QString::fromUtf8(expected))))) << expected;
    EXPECT_TRUE(pageNumbersIn(pages[0]).isEmpty()) << "no page numbers were asked for";

    // Font sizes are character heights in tenths of a millimetre, and Chinese
    // characters are as wide as high: the title's 70 is 7 mm a character, a
    // body cell's 32 is 3.2 mm. The title is centred over the six merged
    // columns (5 mm margin + 195 mm of columns).
    const QList<PdfText::Word> words = PdfText::words(pdf);
    const QRectF title = box(words, 1, QStringLiteral("禾岭供电有限责任公司材料出库单"));
    ASSERT_FALSE(title.isNull());
    EXPECT_NEAR(title.width(), 15 * points(70), 15 * points(70) * 0.05);
    EXPECT_NEAR(title.center().x(), points(50 + 1950 / 2), points(10));
    EXPECT_NEAR(title.center().y(), points(50 + 50), points(15));
    const QRectF body = box(words, 1, QStringLiteral("绝缘子"));
    ASSERT_FALSE(body.isNull());
    EXPECT_NEAR(body.width(), 3 * points(32), 3 * points(32) * 0.05);
}

// Whether a text's offset from its cell's centre lies where the third of
// the alignment code says: 0 more than `far` before it, 1 on it (within
// 1 mm), 2 more than `far` after it.
testing::AssertionResult placed(double offset, int third, double far)
{
    const bool ok = third == 0 ? offset < -far
        : third == 2           ? offset > far
                               : std::abs(offset) <= points(10);
    if (ok)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "offset " << offset << " is not in third " << third;
}

// Nine cells, each with its own alignment code, in a 3 x 3 table of 6 x 2 cm.
TEST_F(GridPrinterPdf, AlignmentCodesPlaceTextInReadingOrder)
{
    DataSource t;
    t.setSize(3, 3);
    t.setColumnWidths(1, 3, 600);
    t.setRowHeights(1, 3, 200);
    for (int code = 1; code <= 9; ++code) {
        const int r = (code - 1) / 3 + 1;
        const int c = (code - 1) % 3 + 1;
        t.setText(r, c, QStringLiteral("X%1").arg(code));
        t.setAlignment({r, c, 1, 1}, code);
    }
    for (int scale : {100, 50}) {
        PageSetup setup = setupWith(100);
        setup.scale = scale;
        const double s = scale / 100.0;
        // Through a PDF writer and through a printer, whose origins differ.
        const QString name = QStringLiteral("align%1").arg(scale);
        for (const QString &pdf :
            {print(t, setup, name + ".pdf"), printThroughPrinter(t, setup, name + "p.pdf")}) {
            const QList<PdfText::Word> words = PdfText::words(pdf);
            for (int code = 1; code <= 9; ++code) {
                const QRectF word = box(words, 1, QStringLiteral("X%1").arg(code));
                ASSERT_FALSE(word.isNull()) << code;
                const double left = points(100 + (code - 1) % 3 * 600 * s);
                const double top = points(100 + (code - 1) / 3 * 200 * s);
                const QRectF cell(left, top, points(600 * s), points(200 * s));
                const double x = word.center().x() - cell.center().x();
                const double y = word.center().y() - cell.center().y();
                const double across = points(200 * s); // well off the centre
                const double down = points(20 * s);
                EXPECT_TRUE(placed(x, (code - 1) % 3, across)) << code << " at " << scale;
                EXPECT_TRUE(placed(y, (code - 1) / 3, down)) << code << " at " << scale;
                EXPECT_TRUE(cell.contains(word)) << code << " at " << scale;
            }
        }
    }
}

TEST_F(GridPrinterPdf, PageNumbersGoWhereTheSetupSays)
{
    DataSource t;
    fillList(t, 5, 3);
    for (int position = PageSetup::TopLeft; position <= PageSetup::BottomRight; ++position) {
        const PageSetup setup = setupWith(200, position);
        const QList<PdfText::Word> words
            = PdfText::words(print(t, setup, QStringLiteral("n%1.pdf").arg(position)));
        const QRectF number = pageNumberBox(words, 1);
        ASSERT_FALSE(number.isNull()) << position;
        if (position <= PageSetup::TopRight) {
            EXPECT_LT(number.bottom(), points(200)) << position;
        } else {
            EXPECT_GT(number.top(), points(2970 - 200)) << position;
        }
        switch ((position - 1) % 3) {
        case 0:
            EXPECT_NEAR(number.left(), points(200), points(5)) << position;
            break;
        case 1:
            EXPECT_NEAR(number.center().x(), points(1050), points(5)) << position;
            break;
        case 2:
            EXPECT_NEAR(number.right(), points(2100 - 200), points(5)) << position;
            break;
        }
    }
    EXPECT_TRUE(pageNumberBox(PdfText::words(print(t, setupWith(200), "none.pdf")), 1).isNull());

    // A margin too narrow for the number: the table makes room for it.
    DataSource list;
    fillList(list, 120, 3);
    const QString pdf = print(list, setupWith(30, PageSetup::BottomCentre), "narrow.pdf");
    const QList<PdfText::Word> words = PdfText::words(pdf);
    const QRectF number = pageNumberBox(words, 1);
    ASSERT_FALSE(number.isNull());
    EXPECT_LT(number.bottom(), points(2970 - 30));
    for (const PdfText::Word &w : words) {
        if (w.page == 1 && !number.contains(w.box)) {
            EXPECT_LT(w.box.bottom(), number.top()) << w.text.toStdString();
        }
    }
}

// Columns beyond the page continue on further pages, down first, then across;
// the header column (the record labels) comes again on every page.
TEST_F(GridPrinterPdf, WideTablesContinueAcrossWithTheirHeaderColumn)
{
    DataSource t;
    const int records = 90;
    const int columns = 12;
    t.setSize(1 + records, columns);
    for (int c = 1; c <= columns; ++c)
        t.setText(1, c, QStringLiteral("列%1").arg(c));
    for (int r = 1; r <= records; ++r) {
        t.setText(1 + r, 1, QStringLiteral("行%1").arg(r, 4, 10, QLatin1Char('0')));
        for (int c = 2; c <= columns; ++c)
            t.setText(1 + r, c, QStringLiteral("R%1C%2").arg(r).arg(c));
    }
    t.setColumnWidths(1, columns, 400);
    t.setHeaderRows(1);
    t.setHeaderColumns(1);
    const PageSetup setup = setupWith(100);
    const QStringList pages = PdfText::pages(print(t, setup));
    EXPECT_EQ(pages.size(), GridPrinter(t, setup).pageCount());
    ASSERT_GE(pages.size(), 4);

    static const QRegularExpression cellText(QStringLiteral("R(\\d+)C(\\d+)"));
    QSet<QString> seen;
    QList<QSet<int>> rowsOf;
    QList<QSet<int>> columnsOf;
    for (const QString &page : pages) {
        QSet<int> rows;
        QSet<int> cols;
        for (auto it = cellText.globalMatch(page); it.hasNext();) {
            const auto m = it.next();
            EXPECT_FALSE(seen.contains(m.captured(0)))
                << "printed twice: " << m.captured(0).toStdString();
            seen.insert(m.captured(0));
            rows.insert(m.captured(1).toInt());
            cols.insert(m.captured(2).toInt());
        }
        const QList<int> labels = recordsIn(page);
        EXPECT_EQ(QSet<int>(labels.begin(), labels.end()), rows) << "header column repeated";
        EXPECT_TRUE(withoutSpaces(page).contains(nfkc(QStringLiteral("列1"))));
        rowsOf.append(rows);
        columnsOf.append(cols);
    }
    EXPECT_EQ(seen.size(), records * (columns - 1));
    // Down first: page 2 goes on with the rows of page 1's columns; page 3
    // starts again at the top with the next columns.
    EXPECT_EQ(columnsOf[1], columnsOf[0]);
    EXPECT_TRUE(rowsOf[1].contains(records));
    EXPECT_EQ(rowsOf[2], rowsOf[0]);
    EXPECT_GT(*std::min_element(columnsOf[2].begin(), columnsOf[2].end()),
        *std::max_element(columnsOf[0].begin(), columnsOf[0].end()));
}

// Rendered pages, looked at pixel by pixel: 127 dpi makes 1 mm five pixels.
class GridPrinterPixels : public GridPrinterPdf
{
protected:
    static constexpr int dpi = 127;

    static QPoint pixel(double xUnits, double yUnits)
    {
        return QPoint(qRound(xUnits * dpi / 254.0), qRound(yUnits * dpi / 254.0));
    }

    // Pixels in a rectangle of paper (tenths of a millimetre) that pass a test.
    static int count(
        const QImage &image, const QRectF &units, const std::function<bool(QRgb)> &test)
    {
        const QRect area(pixel(units.left(), units.top()), pixel(units.right(), units.bottom()));
        int n = 0;
        for (int y = area.top(); y < area.bottom(); ++y)
            for (int x = area.left(); x < area.right(); ++x)
                if (test(image.pixel(x, y)))
                    ++n;
        return n;
    }

    static bool dark(QRgb c) { return qGray(c) < 100; }
    static bool yellow(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) < 80; }
    static bool red(QRgb c) { return qRed(c) > 180 && qGreen(c) < 90 && qBlue(c) < 90; }
    static bool blue(QRgb c) { return qBlue(c) > 180 && qRed(c) < 90 && qGreen(c) < 90; }
};

TEST_F(GridPrinterPixels, CellsShowColoursBordersAndClippedText)
{
    DataSource t;
    t.setSize(4, 4);
    t.setColumnWidths(1, 4, 400);
    t.setRowHeights(1, 4, 100);
    t.setText(1, 1, QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWW"));
    t.setBackground({2, 1, 1, 1}, rgbColor(255, 255, 0));
    t.setText(2, 2, QStringLiteral("WWWW"));
    t.setFontSize({2, 2, 1, 1}, 60);
    t.setTextColor({2, 2, 1, 1}, rgbColor(255, 0, 0));
    t.setBorders({3, 1, 2, 4}, BorderAll);
    t.merge({3, 1, 1, 2});
    const QImage page = PdfText::render(print(t, setupWith(100)), 1, dpi);
    ASSERT_FALSE(page.isNull());

    const auto cell = [](int r, int c) {
        return QRectF(100 + (c - 1) * 400, 100 + (r - 1) * 100, 400, 100);
    };
    // A text wider than its cell stops at the cell's edge.
    EXPECT_GT(count(page, cell(1, 1), dark), 0);
    EXPECT_EQ(count(page, cell(1, 2).adjusted(5, 0, 0, 0), dark), 0);
    // Colours are 0xBBGGRR.
    EXPECT_GT(count(page, cell(2, 1).adjusted(20, 20, -20, -20), yellow), 3000);
    EXPECT_GT(count(page, cell(2, 2), red), 50);
    EXPECT_EQ(count(page, cell(2, 2), blue), 0);
    EXPECT_EQ(count(page, cell(2, 3), yellow), 0);
    // Borders outline each cell of rows 3-4, but not the inside of a merge.
    const auto verticalLine = [&](int r, double x) {
        const QRectF c = cell(r, 1);
        return count(page, QRectF(x - 6, c.top() + 30, 12, 40), dark);
    };
    EXPECT_GT(verticalLine(4, 500), 0);
    EXPECT_EQ(verticalLine(3, 500), 0);
    EXPECT_GT(verticalLine(3, 900), 0);
    EXPECT_GT(count(page, QRectF(150, 400 - 6, 100, 12), dark), 0) << "line between rows 3 and 4";
    EXPECT_EQ(count(page, QRectF(150, 200 - 6, 100, 12), dark), 0)
        << "no borders where none were set";
}

TEST_F(GridPrinterPixels, AMergeCutByThePageShowsItsPartOnEachPage)
{
    // Eight columns of 4 cm: four fit between margins of 1 cm, so the merge of
    // columns 3-6 is cut after column 4.
    DataSource t;
    t.setSize(2, 8);
    t.setColumnWidths(1, 8, 400);
    t.setRowHeights(1, 2, 100);
    t.merge({1, 3, 1, 4});
    t.setText(1, 3, QStringLiteral("合并单元格合并单元格"));
    t.setAlignment({1, 3, 1, 1}, CellFormat::Centre);
    t.setBackground({1, 3, 1, 1}, rgbColor(255, 255, 0));
    t.setBorders({1, 1, 2, 8}, BorderAll);
    const QString pdf = print(t, setupWith(100));
    ASSERT_EQ(GridPrinter(t, setupWith(100)).pageCount(), 2);
    const QImage first = PdfText::render(pdf, 1, dpi);
    const QImage second = PdfText::render(pdf, 2, dpi);
    ASSERT_FALSE(first.isNull());
    ASSERT_FALSE(second.isNull());

    // Page 1 has columns 1-4 (x 100..1700), page 2 columns 5-8.
    EXPECT_GT(count(first, QRectF(920, 110, 760, 80), yellow), 1000);
    EXPECT_EQ(count(first, QRectF(120, 110, 760, 80), yellow), 0);
    EXPECT_GT(count(second, QRectF(120, 110, 760, 80), yellow), 1000);
    EXPECT_EQ(count(second, QRectF(920, 110, 760, 80), yellow), 0);
    // The text is centred on the whole merge, so each page shows half of it
    // next to the cut.
    EXPECT_GT(count(first, QRectF(1500, 110, 200, 80), dark), 0);
    EXPECT_GT(count(second, QRectF(100, 110, 200, 80), dark), 0);
    // The cut itself has no line (looked for above the text); row 2 has its
    // cell borders there.
    EXPECT_EQ(count(first, QRectF(1700 - 6, 104, 12, 20), dark), 0);
    EXPECT_GT(count(first, QRectF(1700 - 6, 204, 12, 20), dark), 0);
}

} // namespace
