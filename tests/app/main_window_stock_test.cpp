// The main window as the storekeeper uses it: the stock list on screen, picking
// issue lines and summing numbers with the mouse, clicking items, and the
// backup, restore and clear commands of the "数据" menu. Everything runs through
// the real window and its menu commands on a stock file made here.

#include "support/main_window_fixture.h"

#include "data/stock_layout.h"
#include "grid/grid_tooltip.h"
#include "support/cell_texts.h"
#include "table/cell_format.h"
#include "table/data_source.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>

namespace {

using MainWindowStockTest = StockWindowTest;

TEST_F(MainWindowStockTest, TheListShowsEveryItemUnderCentredBoldHeadersAtTheGivenWidths)
{
    const DataSource &table = window->stockTable();
    ASSERT_EQ(table.rowCount(), items.size() + 1);
    ASSERT_EQ(grid->model()->rowCount(), items.size() + 1);
    ASSERT_EQ(grid->model()->columnCount(), 7);

    const QStringList headers {
        "材  料  品  名", "规  格  型  号", "单位", "库存数量", "单价", "库存金额", "报警数量"};
    const int widths[] = {850, 850, 150, 200, 200, 250, 250};
    for (int c = 1; c <= 7; ++c) {
        EXPECT_EQ(shownText(1, c), headers[c - 1]);
        EXPECT_EQ(table.columnWidth(c), widths[c - 1]) << "column " << c;
        const QModelIndex header = grid->model()->index(0, c - 1);
        EXPECT_EQ(header.data(Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
        EXPECT_TRUE(header.data(Qt::FontRole).value<QFont>().bold());
        EXPECT_FALSE(grid->model()->index(1, c - 1).data(Qt::FontRole).value<QFont>().bold());
        // On screen the widths keep their proportions.
        EXPECT_NEAR(grid->columnWidth(c - 1), widths[c - 1] * grid->pixelsPerUnitX(), 1.0)
            << "column " << c;
    }
    EXPECT_EQ(table.headerRows(), 1);
    ASSERT_NE(grid->headerRowPane(), nullptr) << "the header row stays in view";

    // Items in stock-file order, numbers as the storekeeper reads them.
    EXPECT_TRUE(hasCellTexts(shownCells(),
        {{2, 1, u"零库存"}, {2, 2, u"空-0"}, {2, 3, u"个"}, {3, 4, u"5.00000005"}, {5, 1, u"盘点"},
            {5, 2, u"Φ20"}, {5, 4, u"7.25"}, {5, 5, u"12.5"}, {5, 6, u"90.625"}, {5, 7, u"0"},
            {31, 1, u"材料30"}, {31, 4, u"90"}}));

    EXPECT_EQ(window->windowTitle(),
        QStringLiteral("禾岭供电有限责任公司材料出库单打印系统---表中红色文本项目表示库存数量"
                       "低于报警数量.共%1项")
            .arg(lowCount()));
    EXPECT_TRUE(prompts.shown().empty()) << "opening the window asks nothing";
}

TEST_F(MainWindowStockTest, LowStockRowsArePurpleUpToTheToleranceAndOthersBlack)
{
    const quint32 purple = rgbColor(128, 0, 128);
    ASSERT_EQ(purple, 0x800080u);
    EXPECT_TRUE(rowDrawnIn(2, purple)) << "stock 0 at alarm 0";
    EXPECT_TRUE(rowDrawnIn(3, purple)) << "0.00000005 above the alarm quantity";
    EXPECT_TRUE(rowDrawnIn(4, CellFormat::black)) << "0.001 above the alarm quantity";
    for (int i = 4; i < items.size(); ++i)
        EXPECT_TRUE(rowDrawnIn(i + 2, items[i].low ? purple : CellFormat::black))
            << items[i].name.toStdString();
    EXPECT_TRUE(rowDrawnIn(1, CellFormat::black)) << "the header row";

    // Once nothing is low any more the title loses its count.
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        for (writer.first(); !writer.atEnd(); writer.skip())
            ASSERT_TRUE(writer.write(Stock::Quantity, 1000));
    }
    trigger(QStringLiteral("刷新显示"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"));
    EXPECT_TRUE(rowDrawnIn(2, CellFormat::black));
}

TEST_F(MainWindowStockTest, DraggingOverRowsPicksThemOnceAndPaintsThemYellow)
{
    const quint32 yellow = rgbColor(255, 255, 0);
    dragRows(6, 8);
    ASSERT_EQ(pickedNames(), namesOfRows(6, 8));
    const IssueLine &first = state.issueLines.first();
    EXPECT_EQ(first.spec, items[4].spec);
    EXPECT_EQ(first.unit, QStringLiteral("个"));
    EXPECT_DOUBLE_EQ(first.quantity, items[4].quantity);
    EXPECT_DOUBLE_EQ(first.unitPrice, price);
    EXPECT_DOUBLE_EQ(first.amount, items[4].quantity * price);
    EXPECT_EQ(state.issueLines[2].name, QStringLiteral("材料7"));
    EXPECT_DOUBLE_EQ(state.issueLines[2].quantity, 2.0);
    for (int r = 6; r <= 8; ++r)
        EXPECT_TRUE(rowDrawnIn(r, yellow)) << "picked, even the low one (row 8)";
    EXPECT_TRUE(rowDrawnIn(9, CellFormat::black));
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(state.selectedItem.name, items[4].name) << "the row pressed on";

    // A larger block over them adds only the rows not picked yet.
    dragRows(6, 11);
    EXPECT_EQ(pickedNames(), namesOfRows(6, 11));
    EXPECT_TRUE(rowDrawnIn(10, yellow));
    EXPECT_TRUE(prompts.messages().isEmpty());

    // A block starting elsewhere adds its rows after the others.
    dragRows(2, 3);
    EXPECT_EQ(pickedNames(), namesOfRows(6, 11) + namesOfRows(2, 3));
    EXPECT_TRUE(rowDrawnIn(2, yellow)) << "a low-stock row picked";

    if (const QString shots = qEnvironmentVariable("WAREHOUSE_SCREENSHOT_DIR"); !shots.isEmpty()) {
        ASSERT_TRUE(QDir().mkpath(shots));
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().save(QDir(shots).filePath(QStringLiteral("main_window.png"))));
    }
}

TEST_F(MainWindowStockTest, ATwelveRowBlockStopsAtNineLinesAndSaysSo)
{
    const quint32 yellow = rgbColor(255, 255, 0);
    dragRows(2, 13);
    EXPECT_EQ(pickedNames(), namesOfRows(2, 10));
    EXPECT_EQ(prompts.messages(), QStringList {nineLineMessage});
    EXPECT_TRUE(rowDrawnIn(10, yellow));
    EXPECT_FALSE(rowDrawnIn(11, yellow)) << "rows beyond the ninth are not taken";

    // With five lines chosen, a block of twelve adds the four that still fit.
    trigger(QStringLiteral("刷新显示"));
    prompts.clearShown();
    dragRows(14, 18);
    ASSERT_EQ(state.issueLines.size(), 5);
    EXPECT_TRUE(prompts.messages().isEmpty()) << "five rows are no reason to warn";
    // The last rows lie below the fold of a small screen: scroll there first.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    QApplication::processEvents();
    dragRows(19, 30);
    EXPECT_EQ(pickedNames(), namesOfRows(14, 22));
    EXPECT_EQ(prompts.messages(), QStringList {nineLineMessage});
    EXPECT_TRUE(rowDrawnIn(22, yellow));
    EXPECT_FALSE(rowDrawnIn(23, yellow));

    // Nine rows fill the note exactly: nothing is left out, nothing to say.
    // (The refresh keeps the view where it was: back to the top first.)
    trigger(QStringLiteral("刷新显示"));
    grid->verticalScrollBar()->setValue(0);
    QApplication::processEvents();
    prompts.clearShown();
    dragRows(2, 7);
    dragRows(8, 10);
    EXPECT_EQ(pickedNames(), namesOfRows(2, 10));
    EXPECT_TRUE(prompts.messages().isEmpty());
    // More rows on a full note are left out, and said so.
    dragRows(11, 19);
    EXPECT_EQ(prompts.messages(), QStringList {StockList::fullNoteMessage()});
    EXPECT_EQ(state.issueLines.size(), AppState::maxIssueLines);
}

TEST_F(MainWindowStockTest, ABlockOfNumbersShowsItsSumInTheTooltipAndPicksNothing)
{
    // The number columns lie right of the wide name columns: scroll there first.
    grid->horizontalScrollBar()->setValue(grid->horizontalScrollBar()->maximum());
    QApplication::processEvents();

    dragRows(2, 5, 4);
    // 0 + 5.00000005 + 5.001 + 7.25
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("合计 = 17.25100005"));
    EXPECT_EQ(grid->toolTipFont().family(), QStringLiteral("宋体"));
    EXPECT_EQ(grid->toolTipFont().pointSize(), 18);
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(state.pickedRows.isEmpty());
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(rowDrawnIn(5, CellFormat::black));

    // Resting the mouse over the grid shows it.
    const QPoint at = spot(3, 4).second;
    QHelpEvent rest(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid->viewport(), &rest);
    ASSERT_TRUE(grid->gridToolTip()->isShown());
    EXPECT_EQ(grid->gridToolTip()->label()->text(), QStringLiteral("合计 = 17.25100005"));
    EXPECT_EQ(grid->gridToolTip()->label()->font().pointSize(), 18);

    // Two columns and two rows: neither a column nor a row to add up.
    drag(6, 4, 7, 5);
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("合计 = 0"));
    // One cell shows its own text.
    click(9, 6);
    EXPECT_EQ(grid->toolTipText(), shownText(9, 6));
    EXPECT_TRUE(state.issueLines.isEmpty());
    grid->gridToolTip()->hide();
}

TEST_F(MainWindowStockTest, RefreshForgetsThePickedLinesAndTheirMarks)
{
    dragRows(12, 14);
    ASSERT_EQ(state.issueLines.size(), 3);

    trigger(QStringLiteral("刷新显示"));
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(state.pickedRows.isEmpty());
    for (int r = 12; r <= 14; ++r)
        EXPECT_TRUE(rowDrawnIn(r, CellFormat::black)) << "row " << r;
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("共%1项").arg(lowCount())));

    // The same rows can be picked again for the next note.
    dragRows(12, 13);
    EXPECT_EQ(pickedNames(), namesOfRows(12, 13));
}

TEST_F(MainWindowStockTest, ClickingARowSelectsItsItemAndTheHeaderRowItsTitles)
{
    click(9, 3);
    EXPECT_EQ(state.selectedItem.name, items[7].name);
    EXPECT_EQ(state.selectedItem.spec, items[7].spec);

    click(1, 2);
    EXPECT_EQ(state.selectedItem.name, QStringLiteral("材  料  品  名"));
    EXPECT_EQ(state.selectedItem.spec, QStringLiteral("规  格  型  号"));

    click(5, 1);
    EXPECT_EQ(state.selectedItem.name, QStringLiteral("盘点"));
    EXPECT_EQ(state.selectedItem.spec, QStringLiteral("Φ20"));
}

TEST_F(MainWindowStockTest, ABackupTakenEarlierBringsBackTheListAndTheHistories)
{
    const QStringList before = shownTexts();
    trigger(QStringLiteral("备份数据库"));
    EXPECT_EQ(prompts.messages(), QStringList {QStringLiteral("数据库已备份")});
    const QString backup = backupFolder() + QStringLiteral("/2011年3月7日9时5分.zrb");
    ASSERT_TRUE(QFile::exists(backup));
    EXPECT_TRUE(QFile::exists(backupFolder() + QStringLiteral("/2011年3月7日9时5分.edt")));

    // The stock changes: an item is added and the first one is issued from.
    clock.advanceSeconds(3600);
    addItems({ListedItem {QStringLiteral("新到货"), QStringLiteral("X-1"), 4, 1, false}});
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        ASSERT_TRUE(writer.write(Stock::Quantity, 99));
        ASSERT_TRUE(writer.appendMemo(Stock::IssueHistory, QStringLiteral("后来的出库\r\n")));
    }
    trigger(QStringLiteral("刷新显示"));
    ASSERT_EQ(shownText(32, 1), QStringLiteral("新到货"));
    ASSERT_EQ(shownText(2, 4), QStringLiteral("99"));
    dragRows(3, 4);
    ASSERT_EQ(state.issueLines.size(), 2);

    // The backup chosen, the storekeeper is asked first; No changes nothing.
    prompts.clearShown();
    prompts.answer(backup);
    trigger(QStringLiteral("导入  备份 "));
    ASSERT_EQ(prompts.shown().size(), 2u) << "the file dialog and the question";
    EXPECT_EQ(prompts.shown()[0].kind, QStringLiteral("open"));
    EXPECT_EQ(prompts.shown()[0].text, backupFolder());
    EXPECT_TRUE(prompts.shown()[0].title.contains(QStringLiteral("*.zrb")));
    EXPECT_EQ(prompts.shown()[1].kind, QStringLiteral("question"));
    EXPECT_EQ(prompts.shown()[1].text,
        QStringLiteral("用备份 2011年3月7日9时5分.zrb 替换现在的全部库存数据吗？\n"
                       "替换前，现在的库存数据会先备份到“备份数据库”文件夹。"));
    EXPECT_EQ(QDir(backupFolder()).entryList({QStringLiteral("*.zrb")}).size(), 1);
    // Yes: the stock as it was goes into a backup of its own, named after.
    dragRows(3, 4);
    prompts.clearShown();
    prompts.answer(backup);
    prompts.answer(true);
    trigger(QStringLiteral("导入  备份 "));
    EXPECT_EQ(prompts.messages(),
        QStringList({"已导入备份 2011年3月7日9时5分.zrb。\n导入前的库存数据已先备份为“备份数据库”"
                     "文件夹中的 2011年3月7日10时5分.zrb。"}));
    EXPECT_EQ(
        recordsIn(backupFolder() + QStringLiteral("/2011年3月7日10时5分.zrb")), items.size() + 1);

    EXPECT_EQ(shownTexts(), before);
    EXPECT_TRUE(rowDrawnIn(2, rgbColor(128, 0, 128)));
    EXPECT_TRUE(state.issueLines.isEmpty()) << "the restore refreshes";
    RecordStore reader;
    ASSERT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
    EXPECT_EQ(reader.recordCount(), items.size());
    EXPECT_EQ(reader.readText(Stock::IssueHistory), firstItemHistory);
}

TEST_F(MainWindowStockTest, AFileThatIsNoStockBackupIsRefusedAndChangesNothing)
{
    const QStringList before = shownTexts();
    const QString title = window->windowTitle();
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());

    QByteArray noise(4096, '\0');
    QRandomGenerator generator(20110307);
    for (char &byte : noise)
        byte = char(generator.bounded(256));
    const QString junk = elsewhere.filePath(QStringLiteral("x.zrb"));
    {
        QFile file(junk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(noise);
    }

    const QString other = elsewhere.filePath(QStringLiteral("价格表.zrb"));
    ASSERT_TRUE(RecordStore::create(other,
        {{QStringLiteral("品名"), FieldKind::Text}, {QStringLiteral("单价"), FieldKind::Number}}));
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(other, QStringLiteral("w")));
        ASSERT_TRUE(writer.add({QStringLiteral("外来"), 1.0}));
    }

    // A stock backup whose companion did not come along.
    trigger(QStringLiteral("备份数据库"));
    const QString lonely = elsewhere.filePath(QStringLiteral("单独.zrb"));
    ASSERT_TRUE(QFile::copy(backupFolder() + QStringLiteral("/2011年3月7日9时5分.zrb"), lonely));

    for (const QString &chosen : {junk, other, lonely}) {
        prompts.clearShown();
        dragRows(3, 4);
        prompts.answer(chosen);
        trigger(QStringLiteral("导入  备份 "));
        const QStringList messages = prompts.messages();
        ASSERT_EQ(messages.size(), 1) << chosen.toStdString();
        EXPECT_TRUE(messages[0].startsWith(QStringLiteral("无法导入所选备份")))
            << messages[0].toStdString();
        EXPECT_EQ(shownTexts(), before) << chosen.toStdString();
        EXPECT_EQ(window->windowTitle(), title);
        EXPECT_TRUE(state.issueLines.isEmpty()) << "refreshed all the same";
    }
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), noise) << "the chosen file is only read";
    QDir folder(backupFolder());
    EXPECT_EQ(folder.entryList({QStringLiteral("*.zrb")}, QDir::Files).size(), 1)
        << "a refused restore takes no safety backup";
}

TEST_F(MainWindowStockTest, CancellingTheRestoreKeepsTheStockFileButStillRefreshes)
{
    dragRows(3, 4);
    ASSERT_EQ(state.issueLines.size(), 2);
    addItems({ListedItem {QStringLiteral("新到货"), QStringLiteral("X-1"), 4, 1, false}});
    ASSERT_EQ(grid->model()->rowCount(), items.size() + 1) << "not seen before a refresh";

    trigger(QStringLiteral("导入  备份 ")); // no answer: the dialog is cancelled
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, QStringLiteral("open"));
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_TRUE(state.issueLines.isEmpty());
    ASSERT_EQ(grid->model()->rowCount(), items.size() + 2);
    EXPECT_EQ(shownText(items.size() + 2, 1), QStringLiteral("新到货"));
    EXPECT_FALSE(QDir(backupFolder()).exists()) << "nothing was replaced, nothing backed up";
}

TEST_F(MainWindowStockTest, ClearingEmptiesTheListAndKeepsASafetyBackupToComeBackFrom)
{
    const QStringList before = shownTexts();
    trigger(QStringLiteral("清空数据库"));
    EXPECT_EQ(prompts.messages(), QStringList {QStringLiteral("数据库已清空")});
    ASSERT_EQ(grid->model()->rowCount(), 1) << "the header row only";
    EXPECT_EQ(shownText(1, 1), QStringLiteral("材  料  品  名"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"));

    const QStringList saved
        = QDir(backupFolder()).entryList({QStringLiteral("*.zrb")}, QDir::Files);
    ASSERT_EQ(saved.size(), 1);
    const QString safety = backupFolder() + u'/' + saved.first();
    {
        RecordStore reader;
        ASSERT_TRUE(reader.open(safety, QStringLiteral("r")));
        EXPECT_EQ(reader.recordCount(), items.size());
    }

    // The storekeeper regrets it.
    clock.advanceSeconds(60);
    prompts.answer(safety);
    prompts.answer(true);
    trigger(QStringLiteral("导入  备份 "));
    EXPECT_EQ(shownTexts(), before);
}

} // namespace
