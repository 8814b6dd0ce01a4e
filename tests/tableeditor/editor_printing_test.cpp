// The road from a statistics result to paper, through the real windows: the
// table editor over booking texts as the statistics write them, its sort and
// find, "&C.生成打印表格", and the print window's buttons, drags and printing.

#include "tableeditor/editor_window_fixture.h"

#include "support/pdf_text.h"
#include "support/qt_print.h"

#include "grid/grid_printer.h"

#include <QFile>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

namespace {

class EditorPrintingTest : public EditorWindowFixture
{
protected:
    // A month of bookings, several pages long.
    void writeManyBookings(int count)
    {
        QList<QueryRecord> records;
        for (int i = 1; i <= count; ++i)
            records.append({QStringLiteral("物资%1").arg(i, 3, 10, QLatin1Char('0')),
                QStringLiteral("型号"), QStringLiteral("个"), 2.5, double(i), 2.5 * i,
                QDateTime(QDate(2026, 3, 1 + i % 28), QTime(8 + i % 9, i % 60))});
        replaceQueryFile(records);
    }
};

// Looks at the progress dialog of a print while the print runs, and clicks
// its cancel button once `cancelAt` pages are done (never when negative).
class ProgressWatch
{
public:
    explicit ProgressWatch(int cancelAt)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this, cancelAt] {
            for (QWidget *window : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QProgressDialog *>(window);
                if (!dialog || !dialog->isVisible())
                    continue;
                maximum = dialog->maximum();
                values << dialog->value();
                if (cancelAt >= 0 && dialog->value() >= cancelAt && !cancelled) {
                    cancelled = true;
                    QTest::mouseClick(dialog->findChild<QPushButton *>(), Qt::LeftButton);
                }
            }
        });
        timer_.start(0);
    }

    int maximum = 0;
    QList<int> values;
    bool cancelled = false;

private:
    QTimer timer_;
};

TEST_F(EditorPrintingTest, APrintedRowIsTheRowTheSortedEditorShows)
{
    auto w = sorted(openEditor(), 6, "&Z.排序↑");
    ASSERT_EQ(w->table().text(2, 1), QStringLiteral("隔离开关"));

    // A find marks a row purple and a click ends the walk; neither the colour
    // nor the order of the file reaches the paper.
    QAction *find = w->action(QStringLiteral("&Y.查找"));
    click(w.get(), w->grid(), 2, 1);
    prompts.answer(QStringLiteral("螺栓"));
    find->trigger();
    w->editMenu()->hide();
    ASSERT_EQ(find->text(), QStringLiteral("&Y.下一个"));
    ASSERT_EQ(w->table().format(3, 1).textColor, rgbColor(128, 0, 128));
    click(w.get(), w->grid(), 4, 2);
    ASSERT_EQ(find->text(), QStringLiteral("&Y.查找"));

    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);
    const QList<QStringList> rows = printedRows(print->table());
    ASSERT_EQ(rows.size(), 3);
    QStringList order;
    for (const QStringList &row : rows) {
        order << row[0];
        EXPECT_EQ(row.mid(1), shown().value(row[0])) << row.join(u' ').toStdString();
    }
    EXPECT_EQ(order, QStringList({"隔离开关", "镀锌螺栓", "电力电缆"}));
    for (int r = PrintableTable::firstDataRow; r < print->table().rowCount(); ++r)
        EXPECT_EQ(print->table().format(r, 1).textColor, CellFormat::black) << r;

    // On paper each line holds one item's own amount and date.
    print->printButton()->click();
    if (!PdfText::available())
        GTEST_SKIP() << "poppler-utils are not installed";
    const QStringList pages = PdfText::pages(dir.filePath(QStringLiteral("table.pdf")));
    ASSERT_EQ(pages.size(), 1);
    int lines = 0;
    for (const QString &line : pages[0].split(u'\n')) {
        const QStringList words
            = line.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        for (auto it = shown().cbegin(); it != shown().cend(); ++it) {
            if (!words.contains(it.key()))
                continue;
            ++lines;
            EXPECT_TRUE(words.contains(it.value()[0])) << line.toStdString();
            EXPECT_TRUE(words.contains(it.value()[1])) << line.toStdString();
        }
    }
    EXPECT_EQ(lines, 3);
}

TEST_F(EditorPrintingTest, ASecondGenerationShowsAnEmptyRowWithoutTheTotal)
{
    const auto w = openEditor();
    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);
    ASSERT_EQ(print->table().rowCount(), 7);
    print->exitButton()->click();

    print = generate(w.get());
    ASSERT_NE(print, nullptr);
    const DataSource &t = print->table();
    ASSERT_EQ(t.rowCount(), 8) << "the blank record of the first generation is a row now";
    for (int column = 1; column <= 7; ++column)
        EXPECT_EQ(t.text(7, column), QString()) << column;
    EXPECT_NE(t.edges(7, 6), 0);
    EXPECT_EQ(printedRows(t).mid(0, 3),
        QList<QStringList>(
            {{"电力电缆", "300", "2026年3月7日9时5分"}, {"隔离开关", "5", "2026年3月5日14时30分"},
                {"镀锌螺栓", "40", "2026年3月12日16时45分20秒"}}));
}

TEST_F(EditorPrintingTest, DateFormatsRewriteTheDateAndKeepTheTime)
{
    const auto w = openEditor();
    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);
    EXPECT_TRUE(activated(print));
    const DataSource &t = print->table();
    click(print, print->grid(), 5, 7);
    const QList<QStringList> cycle {
        {"2026-3-7 9时5分", "2026-3-5 14时30分", "2026-3-12 16时45分20秒"},
        {"2026.3.7 9时5分", "2026.3.5 14时30分", "2026.3.12 16时45分20秒"},
        {"2026/3/7 9时5分", "2026/3/5 14时30分", "2026/3/12 16时45分20秒"},
        {"2026年3月7日9时5分", "2026年3月5日14时30分", "2026年3月12日16时45分20秒"},
    };
    for (const QStringList &expected : cycle) {
        QTest::mouseClick(print->dateFormatButton(), Qt::LeftButton);
        EXPECT_EQ(QStringList({t.text(4, 7), t.text(5, 7), t.text(6, 7)}), expected);
    }

    // Two clicks into the next table: a new table starts the cycle afresh.
    QTest::mouseClick(print->dateFormatButton(), Qt::LeftButton);
    QTest::mouseClick(print->dateFormatButton(), Qt::LeftButton);
    ASSERT_EQ(t.text(4, 7), QStringLiteral("2026.3.7 9时5分"));
    print = generate(w.get());
    ASSERT_NE(print, nullptr);
    click(print, print->grid(), 4, 7);
    QTest::mouseClick(print->dateFormatButton(), Qt::LeftButton);
    EXPECT_EQ(print->table().text(4, 7), QStringLiteral("2026-3-7 9时5分"));
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(EditorPrintingTest, TheEditorShowsWholeDateTimes)
{
    replaceQueryFile({{QStringLiteral("电力电缆"), QStringLiteral("YJV22-3x70"),
        QStringLiteral("米"), 25, 12, 300, QDateTime(QDate(2026, 12, 28), QTime(23, 58, 59))}});
    const auto w = openEditor();
    Grid *grid = w->grid();
    const QModelIndex date = grid->model()->index(1, 6);
    ASSERT_EQ(date.data().toString(), QStringLiteral("2026年12月28日23时58分59秒"));
    const QFontMetrics metrics(date.data(Qt::FontRole).value<QFont>());
    // The delegate keeps 4 pixels each side and draws the line in the last.
    EXPECT_GE(grid->columnWidth(6), metrics.horizontalAdvance(date.data().toString()) + 9);
    EXPECT_EQ(w->table().columnWidth(1), 320) << "other columns as before";
}

TEST_F(EditorPrintingTest, ALongPrintShowsItsProgressPageByPage)
{
    writeManyBookings(150);
    const auto w = openEditor();
    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);
    const int pages = GridPrinter(print->table()).pageCount();
    ASSERT_GE(pages, 3);

    ProgressWatch watch(-1);
    print->printButton()->click();
    EXPECT_EQ(watch.maximum, pages);
    EXPECT_TRUE(watch.values.contains(pages - 1)) << "one step per page";
    EXPECT_TRUE(prompts.messages().isEmpty());
    if (PdfText::available()) {
        EXPECT_EQ(PdfText::pages(dir.filePath(QStringLiteral("table.pdf"))).size(), pages);
    }
}

TEST_F(EditorPrintingTest, ACancelledPrintLeavesNoHalfDocument)
{
    writeManyBookings(150);
    const auto w = openEditor();
    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);

    ProgressWatch watch(1);
    print->printButton()->click();
    EXPECT_TRUE(watch.cancelled);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("table.pdf"))));
    EXPECT_TRUE(prompts.messages().isEmpty()) << "a cancel is no error";
}

TEST_F(EditorPrintingTest, AOnePagePrintShowsNoProgress)
{
    const auto w = openEditor();
    PrintSetupWindow *print = generate(w.get());
    ASSERT_NE(print, nullptr);
    ProgressWatch watch(-1);
    print->printButton()->click();
    QApplication::processEvents();
    EXPECT_TRUE(watch.values.isEmpty());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("table.pdf"))));
}

TEST_F(EditorPrintingTest, AQueryFileGoneMissingIsReportedNotShownEmpty)
{
    const auto w = openEditor();
    ASSERT_TRUE(QFile::remove(state.path(QStringLiteral("qd.zrb"))));
    w->action(QStringLiteral("&C.生成打印表格"))->trigger();
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("无法生成打印表格：")))
        << prompts.messages()[0].toStdString();
    auto *print = w->findChild<PrintSetupWindow *>();
    EXPECT_TRUE(!print || !print->isVisible());
}

} // namespace
