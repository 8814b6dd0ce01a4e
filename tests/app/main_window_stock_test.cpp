// The main window as the storekeeper uses it: the stock list on screen, picking
// issue lines and summing numbers with the mouse, clicking items, and the
// backup, restore and clear commands of the "数据" menu. Everything runs through
// the real window and its menu commands on a stock file made here.

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/startup.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "grid/cell_format.h"
#include "grid/data_source.h"
#include "grid/grid.h"
#include "grid/grid_pane.h"
#include "grid/grid_printer.h"
#include "grid/grid_tooltip.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHelpEvent>
#include <QLabel>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Item
{
    QString name;
    QString spec;
    double quantity;
    double alarm;
    bool low; // what the storekeeper expects to see in purple
};

constexpr double price = 12.5;
const QString nineLineMessage
    = QStringLiteral("您的选择已达到或超过了9项,一张票据只能打印9行数,系统将打印前9项");
const QString firstItemHistory = QStringLiteral("数量 1 金额 12.5 部门 供电所 经手 张三\r\n");

// Thirty items. The first three sit on the edges of the low-stock rule; every
// seventh of the rest has run low.
QList<Item> makeItems()
{
    QList<Item> items {
        {QStringLiteral("零库存"), QStringLiteral("空-0"), 0, 0, true},
        {QStringLiteral("微超"), QStringLiteral("M5"), 5.00000005, 5, true},
        {QStringLiteral("略超"), QStringLiteral("M5.001"), 5.001, 5, false},
        {QStringLiteral("盘点"), QStringLiteral("Φ20"), 7.25, 0, false},
    };
    for (int i = 5; i <= 30; ++i) {
        const bool low = i % 7 == 0;
        items.append({QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i),
            low ? 2.0 : 3.0 * i, 10, low});
    }
    return items;
}

QColor rgb(quint32 color)
{
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

class MainWindowStockTest : public testing::Test
{
protected:
    void SetUp() override
    {
        // The fonts main() gives the program.
        savedFont = QApplication::font();
        QApplication::setFont(StartUp::applicationFont(savedFont));
        GridPrinter::installFontSubstitutes();

        ASSERT_TRUE(dir.isValid());
        state.programDir = QDir::cleanPath(dir.path());
        ASSERT_TRUE(Stock::createEmptyFile(stockPath()));
        addItems(items);

        window = std::make_unique<MainWindow>(state, store, prompts, clock);
        installMainCommands(*window);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        grid = window->stockGrid();
        ASSERT_NE(grid, nullptr);
    }

    void TearDown() override
    {
        window.reset();
        QApplication::setFont(savedFont);
        EXPECT_EQ(prompts.pendingAnswers(), 0) << "every prepared answer was asked for";
    }

    QString stockPath() const { return state.path(Stock::fileName()); }
    QString backupFolder() const { return StockFile::backupFolder(state.programDir); }

    // Writes through a connection of its own, as another part of the program
    // would; the window sees it at its next refresh.
    void addItems(const QList<Item> &list)
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")))
            << writer.lastError().toStdString();
        for (const Item &item : list) {
            QVariantList values(Stock::fieldCount);
            values[Stock::Name - 1] = item.name;
            values[Stock::Spec - 1] = item.spec;
            values[Stock::Unit - 1] = QStringLiteral("个");
            values[Stock::Quantity - 1] = item.quantity;
            values[Stock::UnitPrice - 1] = price;
            values[Stock::Amount - 1] = item.quantity * price;
            values[Stock::AlarmQuantity - 1] = item.alarm;
            if (item.name == items.first().name)
                values[Stock::IssueHistory - 1] = firstItemHistory;
            ASSERT_TRUE(writer.add(values)) << writer.lastError().toStdString();
        }
    }

    int lowCount() const
    {
        return int(std::count_if(items.begin(), items.end(), [](const Item &i) { return i.low; }));
    }

    void trigger(const QString &caption)
    {
        QAction *command = window->action(caption);
        ASSERT_NE(command, nullptr) << caption.toStdString();
        ASSERT_TRUE(command->isEnabled()) << caption.toStdString();
        command->trigger();
    }

    // The list as shown: the texts of every cell the grid's model offers.
    QStringList shownTexts() const
    {
        QStringList texts;
        const QAbstractItemModel *model = grid->model();
        for (int r = 0; r < model->rowCount(); ++r)
            for (int c = 0; c < model->columnCount(); ++c)
                texts << model->index(r, c).data().toString();
        return texts;
    }
    QString shownText(int row, int column) const
    {
        return grid->model()->index(row - 1, column - 1).data().toString();
    }
    QColor shownColor(int row, int column) const
    {
        return grid->model()
            ->index(row - 1, column - 1)
            .data(Qt::ForegroundRole)
            .value<QBrush>()
            .color();
    }
    // Whether the whole row is drawn in one text colour.
    ::testing::AssertionResult rowDrawnIn(int row, quint32 color) const
    {
        for (int c = 1; c <= 7; ++c) {
            if (window->stockTable().format(row, c).textColor != color)
                return ::testing::AssertionFailure()
                    << "row " << row << " column " << c << " has colour " << std::hex
                    << window->stockTable().format(row, c).textColor;
            if (shownColor(row, c) != rgb(color))
                return ::testing::AssertionFailure()
                    << "row " << row << " column " << c << " is drawn in "
                    << shownColor(row, c).name().toStdString();
        }
        return ::testing::AssertionSuccess();
    }

    // Where a cell is on screen: the widget that shows it (the header pane for
    // the frozen row) and a point in it.
    std::pair<QWidget *, QPoint> spot(int row, int column) const
    {
        const QPoint inViewport
            = grid->visualRect(grid->model()->index(row - 1, column - 1)).center();
        const QPoint global = grid->viewport()->mapToGlobal(inViewport);
        if (GridPane *pane = grid->headerRowPane()) {
            const QPoint local = pane->viewport()->mapFromGlobal(global);
            if (pane->viewport()->rect().contains(local))
                return {pane->viewport(), local};
        }
        EXPECT_TRUE(grid->viewport()->rect().contains(inViewport))
            << "cell " << row << "," << column << " is out of view";
        return {grid->viewport(), inViewport};
    }

    // Presses on one cell, moves row by row (then column by column) to the
    // other and lets go, as a hand on the mouse does.
    void drag(int fromRow, int fromColumn, int toRow, int toColumn)
    {
        const auto [widget, start] = spot(fromRow, fromColumn);
        const auto at = [&](int r, int c) {
            const auto [w, p] = spot(r, c);
            return widget->mapFromGlobal(w->mapToGlobal(p));
        };
        QTest::mousePress(widget, Qt::LeftButton, {}, start);
        for (int r = fromRow + 1; r <= toRow; ++r)
            QTest::mouseMove(widget, at(r, fromColumn));
        for (int c = fromColumn + 1; c <= toColumn; ++c)
            QTest::mouseMove(widget, at(toRow, c));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at(toRow, toColumn));
    }
    void dragRows(int fromRow, int toRow, int column = 1) { drag(fromRow, column, toRow, column); }
    void click(int row, int column) { drag(row, column, row, column); }

    QStringList pickedNames() const
    {
        QStringList names;
        for (const IssueLine &line : state.issueLines)
            names << line.name;
        return names;
    }
    // The names of the items in rows first..last.
    QStringList namesOfRows(int first, int last) const
    {
        QStringList names;
        for (int r = first; r <= last; ++r)
            names << items[r - 2].name;
        return names;
    }

    QFont savedFont;
    const QList<Item> items = makeItems();
    QTemporaryDir dir;
    AppState state;
    RecordStore store;
    ScriptedPrompts prompts;
    FixedClock clock {QDateTime(QDate(2011, 3, 7), QTime(9, 5))};
    std::unique_ptr<MainWindow> window;
    Grid *grid = nullptr;
};

TEST_F(MainWindowStockTest, TheListShowsEveryItemUnderCentredBoldHeadersAtTheGivenWidths)
{
    const DataSource &table = window->stockTable();
    ASSERT_EQ(table.rowCount(), items.size() + 1);
    ASSERT_EQ(grid->model()->rowCount(), items.size() + 1);
    ASSERT_EQ(grid->model()->columnCount(), 7);

    const QStringList headers {QStringLiteral("材  料  品  名"), QStringLiteral("规  格  型  号"),
        QStringLiteral("单位"), QStringLiteral("库存数量"), QStringLiteral("单价"),
        QStringLiteral("库存金额"), QStringLiteral("报警数量")};
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
    EXPECT_EQ(shownText(2, 1), QStringLiteral("零库存"));
    EXPECT_EQ(shownText(2, 2), QStringLiteral("空-0"));
    EXPECT_EQ(shownText(2, 3), QStringLiteral("个"));
    EXPECT_EQ(shownText(3, 4), QStringLiteral("5.00000005"));
    EXPECT_EQ(shownText(5, 1), QStringLiteral("盘点"));
    EXPECT_EQ(shownText(5, 2), QStringLiteral("Φ20"));
    EXPECT_EQ(shownText(5, 4), QStringLiteral("7.25"));
    EXPECT_EQ(shownText(5, 5), QStringLiteral("12.5"));
    EXPECT_EQ(shownText(5, 6), QStringLiteral("90.625"));
    EXPECT_EQ(shownText(5, 7), QStringLiteral("0"));
    EXPECT_EQ(shownText(31, 1), QStringLiteral("材料30"));
    EXPECT_EQ(shownText(31, 4), QStringLiteral("90"));

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

    // Another block from the same top row adds nothing, however large.
    dragRows(6, 11);
    EXPECT_EQ(pickedNames(), namesOfRows(6, 8));
    EXPECT_TRUE(rowDrawnIn(10, CellFormat::black));
    EXPECT_TRUE(prompts.messages().isEmpty());

    // A block starting elsewhere adds its rows after the others.
    dragRows(2, 3);
    EXPECT_EQ(pickedNames(), namesOfRows(6, 8) + namesOfRows(2, 3));
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
    dragRows(19, 30);
    EXPECT_EQ(pickedNames(), namesOfRows(14, 22));
    EXPECT_EQ(prompts.messages(), QStringList {nineLineMessage});
    EXPECT_TRUE(rowDrawnIn(22, yellow));
    EXPECT_FALSE(rowDrawnIn(23, yellow));

    // Nine rows fill the note exactly: nothing is left out, nothing to say.
    trigger(QStringLiteral("刷新显示"));
    prompts.clearShown();
    dragRows(2, 7);
    dragRows(8, 10);
    EXPECT_EQ(pickedNames(), namesOfRows(2, 10));
    dragRows(11, 19);
    EXPECT_TRUE(prompts.messages().isEmpty());
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
    EXPECT_TRUE(state.usedSelectionRows.isEmpty());
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

TEST_F(MainWindowStockTest, RefreshForgetsThePickedLinesButTheirRowsStayYellow)
{
    const quint32 yellow = rgbColor(255, 255, 0);
    dragRows(12, 14);
    ASSERT_EQ(state.issueLines.size(), 3);

    trigger(QStringLiteral("刷新显示"));
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(state.usedSelectionRows.isEmpty());
    for (int r = 12; r <= 14; ++r)
        EXPECT_TRUE(rowDrawnIn(r, yellow)) << "row " << r;
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
    addItems({{QStringLiteral("新到货"), QStringLiteral("X-1"), 4, 1, false}});
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

    prompts.clearShown();
    prompts.answer(backup);
    trigger(QStringLiteral("导入  备份 "));
    ASSERT_EQ(prompts.shown().size(), 1u) << "the file dialog only";
    EXPECT_EQ(prompts.shown()[0].kind, QStringLiteral("open"));
    EXPECT_EQ(prompts.shown()[0].text, backupFolder());
    EXPECT_TRUE(prompts.shown()[0].title.contains(QStringLiteral("*.zrb")));

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
    addItems({{QStringLiteral("新到货"), QStringLiteral("X-1"), 4, 1, false}});
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
    trigger(QStringLiteral("导入  备份 "));
    EXPECT_EQ(shownTexts(), before);
}

} // namespace
