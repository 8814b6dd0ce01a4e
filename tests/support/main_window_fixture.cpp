#include "support/main_window_fixture.h"

#include "app/main_commands.h"
#include "app/startup.h"
#include "app/stock_list.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "grid/grid_printer.h"
#include "support/modal_window.h"
#include "table/data_source.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QWindow>

const QString StockWindowTest::nineLineMessage
    = QStringLiteral("您的选择已达到或超过了9项,一张票据只能打印9行数,系统将打印前9项");
const QString StockWindowTest::firstItemHistory
    = QStringLiteral("数量 1 金额 12.5 部门 供电所 经手 张三\r\n");

namespace {

QColor rgb(quint32 color)
{
    return QColor(int(color & 0xFF), int(color >> 8 & 0xFF), int(color >> 16 & 0xFF));
}

} // namespace

QList<ListedItem> StockWindowTest::makeItems()
{
    QList<ListedItem> list {
        {QStringLiteral("零库存"), QStringLiteral("空-0"), 0, 0, true},
        {QStringLiteral("微超"), QStringLiteral("M5"), 5.00000005, 5, true},
        {QStringLiteral("略超"), QStringLiteral("M5.001"), 5.001, 5, false},
        {QStringLiteral("盘点"), QStringLiteral("Φ20"), 7.25, 0, false},
    };
    for (int i = 5; i <= 30; ++i) {
        const bool low = i % 7 == 0;
        list.append({QStringLiteral("材料%1").arg(i), QStringLiteral("型号-%1").arg(i),
            low ? 2.0 : 3.0 * i, 10, low});
    }
    return list;
}

void MainWindowFixture::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    state.programDir = QDir::cleanPath(dir.path());
    ASSERT_TRUE(Stock::createEmptyFile(stockPath()));
}

void MainWindowFixture::makeWindow(bool withCommands)
{
    window = std::make_unique<MainWindow>(state, store, prompts, clock);
    if (withCommands)
        installMainCommands(*window);
}

QString MainWindowFixture::stockPath() const
{
    return state.path(Stock::fileName());
}

QString MainWindowFixture::backupFolder() const
{
    return StockFile::backupFolder(state.programDir);
}

void MainWindowFixture::readSpreadsheet(const QString &items)
{
    QFile csv(dir.filePath(QStringLiteral("库存.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write((QStringLiteral("序号,品名,规格,单位,数量,单价,金额,报警\r\n,,,,,,,\r\n") + items)
                  .toUtf8());
    csv.close();
    prompts.answer(csv.fileName());
    QAction *read = window->action(QStringLiteral("从电子表读"));
    ASSERT_NE(read, nullptr);
    ASSERT_TRUE(read->isEnabled());
    read->trigger();
}

int MainWindowFixture::recordsIn(const QString &path)
{
    RecordStore reader;
    return reader.open(path, QStringLiteral("r")) ? reader.recordCount() : -1;
}

void StockWindowTest::SetUp()
{
    // The fonts main() gives the program.
    savedFont = QApplication::font();
    QApplication::setFont(StartUp::applicationFont(savedFont));
    GridPrinter::installFontSubstitutes();

    MainWindowFixture::SetUp();
    if (HasFatalFailure())
        return;
    addItems(items);
    makeWindow(true);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(activated(window.get()));
    grid = window->stockGrid();
    ASSERT_NE(grid, nullptr);
}

void StockWindowTest::TearDown()
{
    window.reset();
    QApplication::setFont(savedFont);
    EXPECT_EQ(prompts.pendingAnswers(), 0) << "every prepared answer was asked for";
}

void StockWindowTest::addItems(const QList<ListedItem> &list)
{
    RecordStore writer;
    ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w"))) << writer.lastError().toStdString();
    for (const ListedItem &item : list) {
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

int StockWindowTest::lowCount() const
{
    return int(
        std::count_if(items.begin(), items.end(), [](const ListedItem &i) { return i.low; }));
}

void StockWindowTest::trigger(const QString &caption)
{
    QAction *command = window->action(caption);
    ASSERT_NE(command, nullptr) << caption.toStdString();
    ASSERT_TRUE(command->isEnabled()) << caption.toStdString();
    command->trigger();
}

void StockWindowTest::runModal(const QString &caption, const std::function<void(QWidget *)> &inside)
{
    runModalWindow(
        caption, [&] { trigger(caption); }, inside);
}

QStringList StockWindowTest::shownTexts() const
{
    QStringList texts;
    const QAbstractItemModel *model = grid->model();
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c)
            texts << model->index(r, c).data().toString();
    return texts;
}

QString StockWindowTest::shownText(int row, int column) const
{
    return grid->model()->index(row - 1, column - 1).data().toString();
}

QColor StockWindowTest::shownColor(int row, int column) const
{
    return grid->model()
        ->index(row - 1, column - 1)
        .data(Qt::ForegroundRole)
        .value<QBrush>()
        .color();
}

::testing::AssertionResult StockWindowTest::rowDrawnIn(int row, quint32 color) const
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

std::pair<QWidget *, QPoint> StockWindowTest::spotIn(const Grid *g, int row, int column)
{
    const QPoint inViewport = g->visualRect(g->model()->index(row - 1, column - 1)).center();
    EXPECT_TRUE(g->viewport()->rect().contains(inViewport) || inViewport.y() < 0)
        << "cell " << row << "," << column << " is out of view";
    const QPoint global = g->viewport()->mapToGlobal(inViewport);
    QWidget *top = g->window();
    QWidget *target = top->childAt(top->mapFromGlobal(global));
    EXPECT_NE(target, nullptr) << "nothing on screen at cell " << row << "," << column;
    if (!target)
        target = g->viewport();
    return {target, target->mapFromGlobal(global)};
}

void StockWindowTest::clickCell(const Grid *g, int row, int column)
{
    const auto [widget, point] = spotIn(g, row, column);
    QTest::mouseClick(widget, Qt::LeftButton, {}, point);
}

void StockWindowTest::doubleClickCell(const Grid *g, int row, int column)
{
    clickCell(g, row, column);
    const auto [widget, point] = spotIn(g, row, column);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, point);
}

void StockWindowTest::drag(int fromRow, int fromColumn, int toRow, int toColumn)
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

void StockWindowTest::typeKeys(const QString &text)
{
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the keyboard";
    QTest::keyClicks(focus, text);
}

void StockWindowTest::pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    QWidget *focus = QApplication::focusWidget();
    ASSERT_NE(focus, nullptr) << "no widget has the keyboard";
    QTest::keyClick(focus, key, modifiers);
}

QStringList StockWindowTest::pickedNames() const
{
    QStringList names;
    for (const IssueLine &line : state.issueLines)
        names << line.name;
    return names;
}

QStringList StockWindowTest::namesOfRows(int first, int last) const
{
    QStringList names;
    for (int r = first; r <= last; ++r)
        names << items[r - 2].name;
    return names;
}

double StockWindowTest::stockOf(const QString &name) const
{
    RecordStore reader;
    EXPECT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
    for (reader.first(); !reader.atEnd(); reader.skip())
        if (reader.readText(Stock::Name) == name)
            return reader.readNumber(Stock::Quantity);
    ADD_FAILURE() << "no item " << name.toStdString();
    return 0;
}

void StockWindowTest::expectListAsBuilt()
{
    DataSource built;
    const StockList::BuildResult result = StockList::build(built, store, state);
    const DataSource &shown = window->stockTable();
    ASSERT_EQ(shown.rowCount(), built.rowCount());
    for (int r = 1; r <= built.rowCount(); ++r)
        for (int c = 1; c <= StockList::columns; ++c) {
            ASSERT_EQ(shown.text(r, c), built.text(r, c)) << r << "," << c;
            ASSERT_TRUE(shown.format(r, c) == built.format(r, c)) << r << "," << c;
        }
    for (int c = 1; c <= StockList::columns; ++c)
        EXPECT_EQ(shown.columnWidth(c), built.columnWidth(c));
    EXPECT_EQ(shown.headerRows(), 1);
    EXPECT_EQ(window->windowTitle(), StockList::title(result.lowStockCount));
    EXPECT_EQ(window->listStatus()->text(),
        QStringLiteral("共 %1 项材料，其中 %2 项库存数量不高于报警数量")
            .arg(built.rowCount() - 1)
            .arg(result.lowStockCount));
}
