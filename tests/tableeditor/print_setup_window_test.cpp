#include "tableeditor/print_setup_window.h"

#include "data/record_store.h"
#include "grid/grid.h"
#include "grid/pages_chosen_prompts.h"
#include "support/pdf_text.h"
#include "support/qt_print.h"
#include "support/record_files.h"
#include "support/scripted_prompts.h"
#include "tableeditor/printable_table.h"
#include "tableeditor/query_table.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class PrintSetupWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(RecordStore::create(query, statisticsLayout()));
        RecordStore writer;
        ASSERT_TRUE(writer.open(query, QStringLiteral("w")));
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(writer.add({QStringLiteral("物资%1").arg(i), QStringLiteral("型号"),
                QStringLiteral("个"), 2.0, double(i), 2.0 * i, QDateTime(QDate(2011, 12, 4), {})}));
        }
        // The table editor's table of the file, which the printable table shows.
        ASSERT_TRUE(QueryTable::load(editor, store, query));
    }

    std::unique_ptr<PrintSetupWindow> open()
    {
        auto w = std::make_unique<PrintSetupWindow>(state, prompts);
        w->setPdfOutput(dir.filePath(QStringLiteral("print.pdf")));
        w->generate(store, query, editor, QDate(2011, 12, 4));
        return w;
    }

    // A pick in a drop-down list, as the user makes it.
    static void pick(QComboBox *box, const QString &text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    static bool keptOnTop(const QWidget &w)
    {
        return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    }

    QTemporaryDir dir;
    QString query = dir.filePath(QStringLiteral("qd.zrb"));
    RecordStore store;
    DataSource editor;
    PrintSetupState state;
    ScriptedPrompts prompts;
};

TEST_F(PrintSetupWindowTest, ShowsTheTableWithTheControlsAboveIt)
{
    const auto w = open();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_TRUE(keptOnTop(*w));
    EXPECT_EQ(w->windowTitle(), QString());
    EXPECT_EQ(w->table().objectName(), QStringLiteral("数据源1"));
    EXPECT_EQ(w->grid()->dataSource(), &w->table());
    EXPECT_TRUE(w->grid()->isBound());
    EXPECT_EQ(w->grid()->cursorRow(), 1);
    EXPECT_EQ(w->grid()->cursorColumn(), 1);
    EXPECT_EQ(w->table().text(4, 1), QStringLiteral("物资1"));

    QStringList captions;
    for (const QPushButton *b : w->findChildren<QPushButton *>(QRegularExpression("^按钮")))
        captions << b->text();
    EXPECT_EQ(captions,
        (QStringList {
            "日期格式", "右对齐", "更多字体", "－缩小", "＋放大", "打印预览", "退 出", "打 印"}));
    QStringList labels;
    for (const QLabel *l : w->findChildren<QLabel *>(QRegularExpression("^标签"))) {
        labels << l->text();
        EXPECT_NE(l->buddy(), nullptr);
        EXPECT_EQ(l->buddy()->accessibleName(), l->text());
    }
    EXPECT_EQ(labels, (QStringList {"行高", "正文字体", "页号位置", "标题字尺寸", "标题字体"}));

    const auto items = [](const QComboBox *box) {
        QStringList texts;
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
        return texts;
    };
    const QStringList fonts {
        "仿宋_GB2312", "楷体_GB2312", "黑体", "华文新魏", "华文行楷", "宋体", "隶书"};
    EXPECT_EQ(items(w->bodyFontBox()), fonts);
    EXPECT_EQ(items(w->titleFontBox()), fonts);
    EXPECT_EQ(items(w->pageNumberBox()),
        (QStringList {"无页号", "上左", "上中", "上右", "下左", "下中", "下右"}));
    EXPECT_EQ(items(w->titleSizeBox()),
        (QStringList {"100", "95", "90", "85", "80", "75", "70", "65", "60", "55"}));
    EXPECT_EQ(w->titleSizeBox()->currentText(), QStringLiteral("85"));
    EXPECT_EQ(w->titleFontBox()->currentText(), QStringLiteral("宋体"));
    EXPECT_EQ(w->bodyFontBox()->currentText(), QStringLiteral("宋体"));
    EXPECT_EQ(w->pageNumberBox()->currentIndex(), 0);

    // The band of controls lies above the grid.
    const QRect grid = w->grid()->geometry();
    EXPECT_EQ(grid.topLeft(), QPoint(35, 27));
    EXPECT_EQ(grid.width(), w->width() - 70);
    EXPECT_GT(grid.top(), w->dateFormatButton()->mapTo(w.get(), QPoint(0, 0)).y());

    // Showing it filled nothing in the table (the lists act on picks only).
    EXPECT_EQ(w->table().fontSize(2, 1), 32);
    EXPECT_EQ(state.pageSetup, w->table().pageSetup());
}

TEST_F(PrintSetupWindowTest, TitleAndBodyFontsAndSizes)
{
    const auto w = open();
    DataSource &t = w->table();
    pick(w->titleSizeBox(), QStringLiteral("70"));
    EXPECT_EQ(t.fontSize(1, 1), 70);
    for (int column = 1; column <= 7; ++column) {
        EXPECT_EQ(t.fontSize(2, column), 25);
        EXPECT_EQ(t.fontSize(3, column), 25);
        EXPECT_EQ(t.fontSize(4, column), 32) << "data rows keep their size";
    }

    pick(w->titleFontBox(), QStringLiteral("隶书"));
    EXPECT_EQ(t.fontName(1, 1), QStringLiteral("隶书"));
    EXPECT_EQ(t.fontName(2, 1), QStringLiteral("宋体"));

    pick(w->bodyFontBox(), QStringLiteral("黑体"));
    EXPECT_EQ(t.fontName(1, 1), QStringLiteral("隶书"));
    for (int row = 2; row <= t.rowCount(); ++row)
        EXPECT_EQ(t.fontName(row, 7), QStringLiteral("黑体")) << row;

    const QString chosen = QStringLiteral("Noto Serif CJK SC");
    prompts.answer(chosen);
    w->moreFontsButton()->click();
    EXPECT_EQ(prompts.shown().back().kind, QStringLiteral("font"));
    EXPECT_EQ(prompts.shown().back().text, QStringLiteral("隶书"))
        << "starts from the title's font";
    EXPECT_EQ(w->titleFontBox()->currentText(), chosen);
    EXPECT_GE(w->bodyFontBox()->findText(chosen), 0);
    EXPECT_EQ(w->bodyFontBox()->currentText(), QStringLiteral("黑体"));
    EXPECT_EQ(t.fontName(1, 1), chosen);
    EXPECT_EQ(w->titleFontBox()->count(), 8);

    // Cancelled: nothing changes.
    prompts.answer(QVariant());
    w->moreFontsButton()->click();
    EXPECT_EQ(w->titleFontBox()->count(), 8);
    EXPECT_EQ(t.fontName(1, 1), chosen);
}

TEST_F(PrintSetupWindowTest, RowHeightSpinnerChangesDataRowsFiveAtATime)
{
    const auto w = open();
    DataSource &t = w->table();
    const int last = t.rowCount();
    w->rowHeightSpinner()->stepDown();
    EXPECT_EQ(t.rowHeight(4), 55);
    EXPECT_EQ(t.rowHeight(last), 55);
    EXPECT_EQ(t.fontSize(4, 1), 27);
    EXPECT_EQ(t.fontSize(last, 1), 27);
    w->rowHeightSpinner()->stepUp();
    w->rowHeightSpinner()->stepUp();
    EXPECT_EQ(t.rowHeight(5), 65);
    EXPECT_EQ(t.fontSize(5, 3), 37);
    EXPECT_EQ(t.rowHeight(3), 60) << "the field names keep theirs";
    EXPECT_EQ(t.fontSize(3, 1), 40);
    EXPECT_EQ(t.rowHeight(1), 160);
}

TEST_F(PrintSetupWindowTest, AlignmentCyclesRightCentreLeftAndTheCaptionNamesTheNext)
{
    const auto w = open();
    DataSource &t = w->table();
    const int footer = t.rowCount();
    const struct
    {
        int alignment;
        const char *caption;
    } expected[] = {{6, "中对齐"}, {5, "左对齐"}, {4, "右对齐"}, {6, "中对齐"}};
    for (const auto &e : expected) {
        w->alignmentButton()->click();
        EXPECT_EQ(t.format(4, 1).alignment, e.alignment);
        EXPECT_EQ(t.format(footer - 1, 7).alignment, e.alignment);
        EXPECT_EQ(w->alignmentButton()->text(), QString::fromUtf8(e.caption));
        EXPECT_EQ(t.format(footer, 1).alignment, CellFormat::MiddleLeft)
            << "the footer keeps its own";
        EXPECT_EQ(t.format(3, 1).alignment, CellFormat::Centre);
    }
    EXPECT_EQ(state.alignmentStep, 4);

    // The counter lives for the run: a new window goes on from it.
    const auto again = open();
    EXPECT_EQ(again->alignmentButton()->text(), QStringLiteral("中对齐"));
    again->alignmentButton()->click();
    EXPECT_EQ(again->table().format(4, 1).alignment, CellFormat::Centre);
}

TEST_F(PrintSetupWindowTest, DateFormatCyclesTheCursorColumnAndRefusesOtherColumns)
{
    const auto w = open();
    DataSource &t = w->table();
    w->grid()->setCursorCell(5, 7);
    const QStringList cycle {"2011-12-4", "2011.12.4", "2011/12/4", "2011年12月4日"};
    for (const QString &expected : cycle) {
        w->dateFormatButton()->click();
        EXPECT_EQ(t.text(4, 7), expected);
        EXPECT_EQ(t.text(6, 7), expected);
        EXPECT_EQ(w->grid()->cursorRow(), 3);
        EXPECT_EQ(w->grid()->cursorColumn(), 7);
    }
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(keptOnTop(*w));

    w->dateFormatButton()->click();
    ASSERT_EQ(t.text(4, 7), QStringLiteral("2011-12-4"));
    EXPECT_EQ(state.dateFormatStep, 5);

    // The name column: a message, nothing rewritten, the cycle starts over.
    w->grid()->setCursorCell(4, 1);
    w->dateFormatButton()->click();
    EXPECT_EQ(prompts.messages(),
        QStringList {QStringLiteral("请先选择需要调整日期格式的日期列,光标放在该列的任一行即可")});
    EXPECT_EQ(prompts.shown().back().title, Prompts::defaultTitle());
    EXPECT_FALSE(keptOnTop(*w)) << "the message must not open behind the window";
    EXPECT_EQ(state.dateFormatStep, 0);
    EXPECT_EQ(t.text(4, 1), QStringLiteral("物资1"));
    EXPECT_EQ(t.text(4, 7), QStringLiteral("2011-12-4"));
    EXPECT_TRUE(w->grid()->isBound());

    w->grid()->setCursorCell(4, 7);
    w->dateFormatButton()->click();
    EXPECT_EQ(t.text(4, 7), QStringLiteral("2011-12-4")) << "step 1 again: 年 and 月 are gone";
}

TEST_F(PrintSetupWindowTest, WideningColumnsTurnsThePageAndCentresTheTable)
{
    const auto w = open();
    DataSource &t = w->table();
    ASSERT_EQ(t.pageSetup().orientation, 0);
    ASSERT_LT(PrintableTable::totalWidth(t), 1960);

    t.setColumnWidths(1, 7, 300); // 2100
    EXPECT_EQ(t.pageSetup().orientation, 1);
    EXPECT_EQ(t.pageSetup().leftMargin, 150);
    EXPECT_EQ(state.pageSetup, t.pageSetup()) << "the run's record follows";

    t.setColumnWidths(1, 7, 260); // 1820
    EXPECT_EQ(t.pageSetup().orientation, 0);
    EXPECT_EQ(t.pageSetup().leftMargin, 140);
    EXPECT_EQ(t.pageSetup().rightMargin, 140);
    EXPECT_EQ(state.pageSetup.leftMargin, 140);

    // Heights are no column layout: the page stays as it is.
    PageSetup moved = t.pageSetup();
    moved.leftMargin = 20;
    t.setPageSetup(moved);
    t.setRowHeights(4, 1, 90);
    EXPECT_EQ(t.pageSetup().leftMargin, 20);
}

TEST_F(PrintSetupWindowTest, PageNumbersZoomAndExit)
{
    auto w = open();
    pick(w->pageNumberBox(), QStringLiteral("上右"));
    EXPECT_EQ(w->table().pageSetup().pageNumberPosition, PageSetup::TopRight);
    EXPECT_EQ(state.pageSetup.pageNumberPosition, PageSetup::TopRight);

    const double zoom = w->grid()->zoom();
    w->zoomInButton()->click();
    w->zoomInButton()->click();
    EXPECT_DOUBLE_EQ(w->grid()->zoom(), zoom + 20);
    w->zoomOutButton()->click();
    EXPECT_DOUBLE_EQ(w->grid()->zoom(), zoom + 10);

    // A new table shows the position of the run's record...
    w = open();
    EXPECT_EQ(w->pageNumberBox()->currentIndex(), PageSetup::TopRight);
    // ...until "退 出" turns page numbers off for the next short table.
    w->exitButton()->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(state.pageSetup.pageNumberPosition, PageSetup::NoPageNumber);
    w = open();
    EXPECT_EQ(w->table().pageSetup().pageNumberPosition, PageSetup::NoPageNumber);
    EXPECT_EQ(w->pageNumberBox()->currentIndex(), 0);
}

TEST_F(PrintSetupWindowTest, PreviewAndPrintGoThroughThePrinterDialogs)
{
    const auto w = open();
    const QString pdf = dir.filePath(QStringLiteral("print.pdf"));
    w->previewButton()->click();
    EXPECT_EQ(prompts.shown().back().kind, QStringLiteral("preview"));
    EXPECT_FALSE(keptOnTop(*w));

    QFile::remove(pdf);
    prompts.answer(false);
    w->printButton()->click();
    EXPECT_EQ(prompts.shown().back().kind, QStringLiteral("print"));
    EXPECT_FALSE(QFile::exists(pdf)) << "a cancelled print dialog prints nothing";

    w->printButton()->click();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(prompts.messages().isEmpty());
    if (PdfText::available()) {
        const QStringList pages = PdfText::pages(pdf);
        ASSERT_EQ(pages.size(), 1);
        EXPECT_TRUE(pages[0].contains(QStringLiteral("物资3")));
    }
}

TEST_F(PrintSetupWindowTest, APageRangePastTheTableIsToldAsNotPrinted)
{
    PagesChosenPrompts pages(2, 3);
    PrintSetupWindow w(state, pages);
    w.setPdfOutput(dir.filePath(QStringLiteral("print.pdf")));
    ASSERT_TRUE(w.generate(store, query, editor, QDate(2011, 12, 4)));
    w.printButton()->click();
    EXPECT_EQ(pages.messages(),
        QStringList {"没有打印：所选的页码范围（第 2 至 3 页）内没有页，这份表格共 1 页。"});
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("print.pdf"))));
}

} // namespace
