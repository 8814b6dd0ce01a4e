#include "issue/issue_note_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "grid/pages_chosen_prompts.h"
#include "support/cell_texts.h"
#include "support/disk_faults.h"
#include "support/modal_window.h"
#include "support/pdf_text.h"
#include "support/qt_print.h"
#include "support/scripted_prompts.h"
#include "support/typing.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class IssueNoteWindowTest : public testing::Test
{
protected:
    void SetUp() override
    {
        state.programDir = dir.path();
        ASSERT_TRUE(Stock::createEmptyFile(state.path(Stock::fileName())));
        RecordStore writer;
        ASSERT_TRUE(writer.open(state.path(Stock::fileName()), Stock::alias()));
        for (const auto &[name, quantity, price] : {std::tuple {"电力电缆", 3.0, 12.5},
                 std::tuple {"悬式绝缘子", 40.0, 36.8}, std::tuple {"隔离开关", 0.0, 1200.0}}) {
            ASSERT_TRUE(writer.add({QString::fromUtf8(name), QStringLiteral("规格A"),
                QStringLiteral("只"), quantity, price, quantity * price}));
            state.issueLines.append({QString::fromUtf8(name), QStringLiteral("规格A"),
                QStringLiteral("只"), price, quantity, quantity * price});
        }
        state.pickedRows = {2, 3, 4};
        writeFile("config.ini",
            "[领料部门]\r\n领料部门=供电所\r\n[领料]\r\n领料=张三\r\n"
            "[仓库名称]\r\n仓库名称=一号库\r\n");
    }

    void writeFile(const char *name, const QString &text)
    {
        QFile file(state.path(QString::fromUtf8(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toUtf8().prepend("\xEF\xBB\xBF"));
    }

    std::unique_ptr<IssueNoteWindow> open()
    {
        auto w = std::make_unique<IssueNoteWindow>(state, store, prompts, clock);
        w->setPdfOutput(pdf);
        return w;
    }

    // A user's edit of one cell, as the grid's editor commits it.
    static void type(IssueNoteWindow &w, int row, int column, const QString &text)
    {
        QAbstractItemModel *model = w.grid()->model();
        ASSERT_TRUE(model->setData(model->index(row - 1, column - 1), text, Qt::EditRole));
    }

    // Clicks the cell, opens its editor, types over its text, Enter.
    static void typeInto(IssueNoteWindow &w, int row, int column, const QString &text)
    {
        w.show();
        ASSERT_TRUE(activated(&w));
        Typing::intoCell(w, w.grid(), row, column, text);
    }

    QByteArray stockBytes() const
    {
        QFile file(state.path(Stock::fileName()));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    double stockOf(const char *name)
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(state.path(Stock::fileName()), QStringLiteral("r")));
        EXPECT_TRUE(reader.findFirstEqual(
            Stock::Name, QString::fromUtf8(name), Stock::Spec, QStringLiteral("规格A")));
        return reader.readNumber(Stock::Quantity);
    }

    QTemporaryDir dir;
    AppState state;
    RecordStore store;
    ScriptedPrompts prompts;
    FixedClock clock {QDateTime(QDate(2026, 12, 7), QTime(10, 30))};
    QString pdf = dir.filePath(QStringLiteral("note.pdf"));
};

TEST_F(IssueNoteWindowTest, LaysOutThePickedLinesAndConsumesThem)
{
    const auto w = open();
    const DataSource &note = w->note();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("澄州禾岭供电有限责任公司材料出库单系统"));
    EXPECT_TRUE(hasCellTexts(note,
        {{2, 1, u"仓库名称：一号库"}, {2, 3, u"领料部门：供电所"}, {3, 6, u"2026年12月7日"},
            {5, 3, u"3"}, {5, 6, u"37.5"}, {6, 6, u"1472"}, {14, 6, u"1509.5"},
            {15, 6, u"领料：张三"}}));
    EXPECT_EQ(note.text(7, 3), QString()) << "stock 0";
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(state.pickedRows.isEmpty());
    EXPECT_EQ(w->grid()->cursorRow(), 15);
    EXPECT_EQ(w->grid()->cursorColumn(), 6);
    EXPECT_TRUE(w->issueButton()->isDefault());
    EXPECT_FALSE(w->printButton()->isDefault());
    EXPECT_EQ(w->issueButton()->text(), QStringLiteral("出库"));
    EXPECT_EQ(
        w->findChild<QPushButton *>(QStringLiteral("按钮1"))->text(), QStringLiteral("打印设置"));
    EXPECT_EQ(
        w->findChild<QPushButton *>(QStringLiteral("按钮3"))->text(), QStringLiteral("打印预览"));
    EXPECT_TRUE(w->issueButton()->isEnabled());
    EXPECT_EQ(w->note().pageSetup().leftMargin, 50) << "no peizi.ini";

    // Opened again without picking: a note without lines and without total.
    const auto again = open();
    EXPECT_EQ(again->note().text(5, 1), QString());
    EXPECT_EQ(again->note().text(14, 6), QString());
}

TEST_F(IssueNoteWindowTest, UserEditsRecomputeAmountsAndSelectionsShowSums)
{
    const auto w = open();
    type(*w, 5, 3, QStringLiteral("2"));
    EXPECT_EQ(w->note().text(5, 6), QStringLiteral("25"));
    EXPECT_EQ(w->note().text(14, 6), QStringLiteral("1497"));

    w->grid()->selectRange({5, 6, 2, 1});
    emit w->grid()->selectionChangedByUser();
    EXPECT_EQ(w->grid()->toolTipText(), QStringLiteral("合计 = 1497"));
    EXPECT_EQ(w->grid()->toolTipFont().pointSize(), 18);
    w->grid()->selectRange({5, 5, 2, 2});
    emit w->grid()->selectionChangedByUser();
    EXPECT_EQ(w->grid()->toolTipText(), QStringLiteral("合计 = 0"));
    w->grid()->selectRange({5, 1, 1, 1});
    emit w->grid()->selectionChangedByUser();
    EXPECT_EQ(w->grid()->toolTipText(), QStringLiteral("电力电缆"));
}

TEST_F(IssueNoteWindowTest, PrintsTheNoteOnOnePageOfTheConfiguredPaper)
{
    if (!PdfText::available())
        GTEST_SKIP() << "poppler tools are missing";
    writeFile("peizi.ini", "[dyzx]\r\ndyzx=9\r\n[dyfx]\r\ndyfx=1\r\n[dyzb]\r\ndyzb=150\r\n");
    const auto w = open();
    w->print();
    ASSERT_TRUE(QFile::exists(pdf)) << prompts.messages().join(u' ').toStdString();
    const QList<QSizeF> sizes = PdfText::pageSizes(pdf);
    ASSERT_EQ(sizes.size(), 1);
    EXPECT_NEAR(sizes[0].width(), 842, 2) << "A4 landscape";
    EXPECT_NEAR(sizes[0].height(), 595, 2);
    const QString text = PdfText::pages(pdf).join(u'\n');
    for (const char *expected : {"禾岭供电有限责任公司材料出库单", "一号库", "供电所", "品", "金",
             "电力电缆", "悬式绝缘子", "1509.5", "张三", "2026年12月7日"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_EQ(prompts.shown().back().kind, QStringLiteral("print"));

    // For a look by eye: the window and its print.
    const QString shots = qEnvironmentVariable("WAREHOUSE_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        w->show();
        w->grab().save(shots + QStringLiteral("/issue_note_window.png"));
        PdfText::render(pdf, 1, 60).save(shots + QStringLiteral("/issue_note_page1.png"));
    }
}

TEST_F(IssueNoteWindowTest, ANoteIsBookedOnceThenOnlyReprinted)
{
    const auto w = open();
    typeInto(*w, 6, 3, QStringLiteral("10"));
    prompts.answer(true); // 电力电缆 goes to zero
    QTest::mouseClick(w->issueButton(), Qt::LeftButton);
    EXPECT_EQ(stockOf("电力电缆"), 0.0);
    EXPECT_EQ(stockOf("悬式绝缘子"), 30.0);
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(prompts.messages().isEmpty()) << "a booked and printed note needs no message";
    EXPECT_EQ(w->bookedSummary(), QStringLiteral("出库已记账：3 行物资，金额合计 405.50"));
    EXPECT_TRUE(hasCellTexts(w->note(),
        {{1, 1, u"禾岭供电有限责任公司材料出库单"}, {5, 6, u"37.50"}, {6, 6, u"368.00"},
            {7, 3, u"0"}, {7, 6, u"0.00"}, {14, 6, u"405.50"}}));
    EXPECT_TRUE(w->statusLabel()->text().startsWith(w->bookedSummary()));

    // A second press books nothing; the keyboard is on 打印, which reprints
    // the note as booked, and the note takes no more edits.
    QTest::mouseClick(w->issueButton(), Qt::LeftButton);
    ASSERT_TRUE(QFile::remove(pdf));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(QFile::exists(pdf));
    typeInto(*w, 6, 3, QStringLiteral("1"));
    EXPECT_EQ(w->note().text(6, 3), QStringLiteral("10"));
    EXPECT_EQ(stockOf("悬式绝缘子"), 30.0);
}

TEST_F(IssueNoteWindowTest, AnEmptyNoteOrALineThatCannotBeBookedBooksAndPrintsNothing)
{
    const QList<IssueLine> picked = state.issueLines;
    const QByteArray before = stockBytes();
    const struct
    {
        int column;
        const char *typed;
        const char *said;
    } cases[] = {
        {0, "", "出库单上没有要出库的物资，没有记账。"},
        {2, "A", "第 2 行“悬式绝缘子 A”在库存中找不到"}, // the 规格型号 mistyped
        {3, "12abc", "第 2 行“悬式绝缘子 规格A”的数量“12abc”不是数字"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.said);
        state.issueLines = c.column ? picked : QList<IssueLine>();
        prompts.clearShown();
        const auto w = open();
        if (c.column)
            typeInto(*w, 6, c.column, QString::fromUtf8(c.typed));
        QTest::mouseClick(w->issueButton(), Qt::LeftButton);
        ASSERT_EQ(prompts.messages().size(), 1);
        EXPECT_TRUE(prompts.messages()[0].contains(QString::fromUtf8(c.said)));
        EXPECT_EQ(stockBytes(), before) << "not even the good lines";
        EXPECT_FALSE(QFile::exists(pdf));
        EXPECT_TRUE(w->issueButton()->isEnabled()) << "corrected, the note can be booked";
    }
}

TEST_F(IssueNoteWindowTest, StockToZeroOrBelowValuePastTheStockAndNegativesAreAskedOnce)
{
    const auto w = open();
    typeInto(*w, 6, 3, QStringLiteral("1,234.5"));
    EXPECT_EQ(w->note().text(6, 6), QStringLiteral("45429.6"));
    typeInto(*w, 7, 3, QStringLiteral("-1")); // 隔离开关 at 1200 each
    const QByteArray before = stockBytes();
    for (const bool yes : {false, true}) {
        prompts.clearShown();
        prompts.answer(yes);
        QTest::mouseClick(w->issueButton(), Qt::LeftButton);
        ASSERT_EQ(prompts.shown().size(), yes ? 2u : 1u) << "the question, then printing";
        ASSERT_EQ(prompts.shown()[0].kind, QStringLiteral("question"));
        const QString asked = prompts.shown()[0].text;
        for (const char16_t *said : {u"电力电缆 规格A：出库 3，出库后库存 0",
                 u"悬式绝缘子 规格A：出库 1234.5，出库后库存 -1194.5",
                 u"悬式绝缘子 规格A：出库金额 45429.6，库存金额 1472，出库后库存金额 0",
                 u"第 3 行“隔离开关 规格A”：数量 -1，金额 -1200，出库后库存 1，库存金额 1200"})
            EXPECT_TRUE(asked.contains(QString::fromUtf16(said)))
                << QString::fromUtf16(said).toStdString();
        EXPECT_EQ(QFile::exists(pdf), yes);
        EXPECT_EQ(stockBytes() == before, !yes) << "否 books nothing";
    }
    EXPECT_EQ(stockOf("悬式绝缘子"), -1194.5);
    EXPECT_EQ(stockOf("隔离开关"), 1.0);
}

// What is printed says whether it was booked, and shows what was: the
// numbers booked, each parameter beside its caption; the ledger gets names.
TEST_F(IssueNoteWindowTest, PaperSaysWhetherTheNoteIsBookedAndShowsWhatWas)
{
    if (!PdfText::available())
        GTEST_SKIP() << "poppler tools are missing";
    const auto w = open();
    typeInto(*w, 6, 3, QStringLiteral("１０"));
    typeInto(*w, 5, 3, QStringLiteral("2"));
    typeInto(*w, 15, 6, QStringLiteral("李四"));
    EXPECT_EQ(w->note().text(15, 6), QStringLiteral("领料：李四"));
    // Enter in the grid goes down a row: it neither prints nor books.
    QTest::keyClick(w->grid(), Qt::Key_Return);
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_EQ(stockOf("悬式绝缘子"), 40.0);

    const auto printed = [&] {
        const QString text = PdfText::pages(pdf).join(u'\n');
        EXPECT_TRUE(QFile::remove(pdf));
        return text;
    };
    const auto nfkc = [](const char16_t *text) {
        return QString::fromUtf16(text).normalized(QString::NormalizationForm_KC);
    };
    QTest::mouseClick(w->printButton(), Qt::LeftButton);
    const QString before = printed();
    EXPECT_TRUE(before.contains(nfkc(u"材料出库单（未记账）"))) << before.toStdString();
    for (const char16_t *caption : {u"仓库名称：一号库", u"领料部门：供电所", u"领料：李四"})
        EXPECT_TRUE(before.contains(nfkc(caption))) << QString::fromUtf16(caption).toStdString();

    QTest::mouseClick(w->issueButton(), Qt::LeftButton);
    const QString after = printed();
    EXPECT_FALSE(after.contains(nfkc(u"未记账")));
    for (const char *booked : {"25.00", "368.00", "393.00"})
        EXPECT_TRUE(after.contains(QString::fromUtf8(booked))) << booked;
    EXPECT_EQ(w->note().text(6, 3), QStringLiteral("10")) << "as booked, not as typed";
    EXPECT_TRUE(after.contains(nfkc(u"领料：李四")));
    RecordStore reader;
    ASSERT_TRUE(reader.open(state.path(Stock::fileName()), QStringLiteral("r")));
    ASSERT_TRUE(reader.findFirstEqual(
        Stock::Name, QStringLiteral("悬式绝缘子"), Stock::Spec, QStringLiteral("规格A")));
    EXPECT_EQ(reader.readText(Stock::IssueHistory),
        QStringLiteral(
            "数量 10 金额 368.00 部门 供电所 经手 李四  时间 2026年12月7日10时30分\r\n"));
}

TEST_F(IssueNoteWindowTest, EachLineBooksTheRecordItWasPickedFrom)
{
    // An import added a second 电力电缆 规格A, and the user picked that one.
    RecordStore writer;
    ASSERT_TRUE(writer.open(state.path(Stock::fileName()), Stock::alias()));
    ASSERT_TRUE(writer.add({"电力电缆", "规格A", "只", 50.0, 12.5, 625.0}));
    ASSERT_TRUE(writer.goTo(4));
    state.issueLines = {{"电力电缆", "规格A", "只", 12.5, 50, 625, writer.recordId()}};
    const auto w = open();
    typeInto(*w, 5, 3, QStringLiteral("20"));
    QTest::mouseClick(w->issueButton(), Qt::LeftButton);
    EXPECT_EQ(stockOf("电力电缆"), 3.0) << "the first of the twins is untouched";
    ASSERT_TRUE(writer.goTo(4));
    EXPECT_EQ(writer.readNumber(Stock::Quantity), 30.0);
}

TEST_F(IssueNoteWindowTest, APageRangePastTheNoteIsToldAsNotPrinted)
{
    PagesChosenPrompts pages(2, 3);
    pages.answer(true); // to zero
    IssueNoteWindow w(state, store, pages, clock);
    w.setPdfOutput(pdf);
    QTest::mouseClick(w.issueButton(), Qt::LeftButton);
    EXPECT_EQ(stockOf("悬式绝缘子"), 0.0) << "booked";
    EXPECT_FALSE(QFile::exists(pdf));
    ASSERT_EQ(pages.messages().size(), 1);
    EXPECT_TRUE(pages.messages()[0].startsWith(IssueNoteWindow::notPrintedMessage()));
    EXPECT_TRUE(pages.messages()[0].contains(QStringLiteral("第 2 至 3 页")));
}

TEST_F(IssueNoteWindowTest, AFailedIssueIsNotPrinted)
{
    const auto w = open();
    RecordStore locker;
    ASSERT_TRUE(locker.open(state.path(Stock::fileName()), QStringLiteral("lock")));
    RecordStore::Transaction lock(locker);
    ASSERT_TRUE(lock.active());
    locker.first();
    ASSERT_TRUE(locker.write(Stock::Unit, QStringLiteral("米")));
    prompts.answer(true); // to zero
    w->issue();
    lock.rollback();
    EXPECT_FALSE(QFile::exists(pdf));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("出库失败")));
    EXPECT_EQ(stockOf("电力电缆"), 3.0);
}

// The disk complains after the note is safely booked: it is printed, and the
// storekeeper hears that it is booked, so it is not issued a second time.
TEST_F(IssueNoteWindowTest, ANoteBookedBeforeTheDiskComplainedIsPrintedAndToldAsBooked)
{
    const auto w = open();
    type(*w, 6, 3, QStringLiteral("10"));
    prompts.answer(true); // to zero
    {
        FolderSyncFault::Armed fault;
        QTest::mouseClick(w->issueButton(), Qt::LeftButton);
    }
    EXPECT_EQ(stockOf("悬式绝缘子"), 30.0);
    EXPECT_TRUE(QFile::exists(pdf));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("出库已完成")))
        << prompts.messages()[0].toStdString();
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("请不要重复出库")));
}

} // namespace
