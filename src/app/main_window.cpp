#include "app/main_window.h"

#include "app/stock_list.h"
#include "common/app_state.h"
#include "common/file_system.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "table/selection_sum.h"
#include "ui/frame_placement.h"
#include "ui/wait_cursor.h"
#include "ui/window_titles.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Records listed before the window first shows: screens full and more.
constexpr int firstPartRecords = 2000;

struct MenuLayout
{
    QString title;
    QStringList items; // "-" is a separator
};

const QString separator = QStringLiteral("-");

struct CommandKey
{
    QString caption;
    QKeySequence key;
};

// F3 goes on with a search, as in most programs; Ctrl+F, which starts a new
// one, is the find's own shortcut (main commands).
const QList<CommandKey> &commandKeys()
{
    static const QList<CommandKey> keys {
        {QStringLiteral("刷新显示"), QKeySequence(Qt::Key_F5)},
        {QStringLiteral("项目查找"), QKeySequence(Qt::Key_F3)},
    };
    return keys;
}

const QList<MenuLayout> &menuLayout()
{
    static const QList<MenuLayout> layout {
        {QStringLiteral("数据"),
            {QStringLiteral("备份数据库"), QStringLiteral("导入  备份 "), separator,
                QStringLiteral("从电子表读"), QStringLiteral("加入数据库"), separator,
                QStringLiteral("清空数据库")}},
        {QStringLiteral("编辑"),
            {QStringLiteral("刷新显示"), separator, QStringLiteral("项目编辑"), separator,
                QStringLiteral("取消进库"), QStringLiteral("取消出库"), separator,
                QStringLiteral("进出库簿"), QStringLiteral("项目查找"), separator,
                QStringLiteral("开票预览")}},
        {QStringLiteral("统计"),
            {QStringLiteral("本日出库"), QStringLiteral("本月出库"), QStringLiteral("本年出库"),
                separator, QStringLiteral("本日进库"), QStringLiteral("本月进库"),
                QStringLiteral("本年进库")}},
        {QStringLiteral("参数"), {QStringLiteral("参数配置")}},
    };
    return layout;
}

} // namespace

MainWindow::MainWindow(
    AppState &state, RecordStore &store, Prompts &prompts, Clock &clock, QWidget *parent)
    : QMainWindow(parent)
    , state_(state)
    , store_(store)
    , prompts_(prompts)
    , clock_(clock)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(baseTitle());
    WindowTitles::follow(this);
    buildMenus();
    buildGrid();
    buildStatusBar();
    placeOnScreen();
    reader_ = new QTimer(this);
    connect(reader_, &QTimer::timeout, this, &MainWindow::readMore);
    grid_->unbind();
    listBuild_ = StockList::beginBuild(table_, store_, state_, firstPartRecords);
    grid_->bind();
    followCursor();
    showListOutcome();
    if (!listBuild_.complete)
        reader_->start(0);
}

MainWindow::~MainWindow()
{
    // The grid goes before the table it shows.
    delete grid_;
    grid_ = nullptr;
    removeTemporaryFiles();
}

void MainWindow::refresh()
{
    finishReading();
    forgetPickedLines();
    const bool showedImport = std::exchange(state_.listShowsImport, false);
    const QScrollBar *down = grid_->verticalScrollBar();
    const QScrollBar *across = grid_->horizontalScrollBar();
    const QPoint scrolled(across->value(), down->value());
    if (showedImport || !StockList::update(table_, store_, state_, listBuild_)) {
        rebuild();
    } else {
        // As after a build, the cursor stays on its cell and the block it
        // began is no longer selected; the view stays where it was.
        const CellRange block = grid_->selectedBlock();
        if (block.rows > 1 || block.columns > 1) {
            grid_->setCursorCell(block.row, block.column);
            grid_->horizontalScrollBar()->setValue(scrolled.x());
            grid_->verticalScrollBar()->setValue(scrolled.y());
        }
    }
    followCursor();
    showListOutcome();
}

void MainWindow::rebuild()
{
    reader_->stop();
    grid_->unbind();
    listBuild_ = StockList::build(table_, store_, state_);
    // The commands act on the cursor's row: it stays where the user left it.
    grid_->bindKeepingPlace();
}

void MainWindow::readMore()
{
    if (!StockList::buildMore(table_, store_, state_, laterPartRecords_, listBuild_)) {
        // Another program changed the file meanwhile: read it whole now.
        rebuild();
        followCursor();
    }
    if (listBuild_.complete) {
        reader_->stop();
        showListOutcome();
        return;
    }
    setListStatus(QStringLiteral("正在读取库存数据：已读 %1 项，共 %2 项")
                      .arg(table_.rowCount() - 1)
                      .arg(store_.recordCount()));
}

void MainWindow::finishReading()
{
    if (listBuild_.complete)
        return;
    const WaitCursor busy;
    while (!listBuild_.complete)
        readMore();
}

void MainWindow::showImported()
{
    // The table was replaced: the marks went with it, so the lines go too.
    forgetPickedLines();
    state_.listShowsImport = true;
    showEmptyHint(false);
    followCursor();
    showPickedCount();
}

void MainWindow::forgetPickedLines()
{
    state_.issueLines.clear();
    state_.pickedRows.clear();
}

void MainWindow::showListOutcome()
{
    const StockList::BuildResult &result = listBuild_;
    if (!result.complete) {
        // The counts come with the last part.
        setWindowTitle(StockList::bareTitle());
        setListStatus(QStringLiteral("正在读取库存数据……"));
        showPickedCount();
        return;
    }
    setWindowTitle(StockList::title(result.lowStockCount));
    const int items = std::max(table_.rowCount() - 1, 0);
    const bool empty = result.stockOpened && items == 0;
    setListStatus(!result.stockOpened ? QStringLiteral("库存数据文件无法打开")
            : empty                   ? QStringLiteral("库存中还没有材料：请先“参数配置”，再“从电子表读”或“项目编辑”")
                    : QStringLiteral("共 %1 项材料，其中 %2 项库存数量不高于报警数量")
                          .arg(items)
                          .arg(result.lowStockCount));
    showEmptyHint(empty);
    showPickedCount();
    // A status line is easily missed: a stock file that cannot be used is
    // told in a message box, once for each new reason.
    const QString message
        = result.stockOpened ? QString() : StockList::unopenedMessage(result.stockProblem);
    if (!message.isEmpty() && message != reportedProblem_)
        prompts_.message(message, Prompts::defaultTitle(), Prompts::Icon::Error);
    reportedProblem_ = message;
}

QString MainWindow::emptyStockHint()
{
    return QStringLiteral("库存中还没有材料。第一次使用时请按顺序：\n"
                          "1. 用“参数”菜单的“参数配置”填写仓库名称、领料部门等出库单参数；\n"
                          "2. 用“数据”菜单的“从电子表读”读入库存电子表格，核对后用“加入数据库”"
                          "加入库存；\n"
                          "   或者用“编辑”菜单的“项目编辑”逐项添加材料。");
}

void MainWindow::showEmptyHint(bool shown)
{
    if (!shown) {
        emptyHint_->hide();
        return;
    }
    // Under the header row; its lines are short enough for any screen.
    const QRect header = grid_->visualRect(grid_->model()->index(0, 0));
    const int margin = 16;
    emptyHint_->adjustSize();
    emptyHint_->move(margin, std::max(header.bottom(), 0) + margin);
    emptyHint_->show();
}

void MainWindow::setListStatus(const QString &text)
{
    listStatus_->setText(text);
}

void MainWindow::setResultStatus(const QString &text)
{
    resultStatus_->setText(text);
}

void MainWindow::showPickedCount()
{
    const qsizetype picked = state_.issueLines.size();
    pickedStatus_->setText(picked
            ? QStringLiteral("已选 %1/%2 行").arg(picked).arg(AppState::maxIssueLines)
            : QString());
    pickedStatus_->setVisible(picked > 0);
}

void MainWindow::placeOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame, caption bar included, goes to (1, 1): the title carries the
    // low-stock count and must be on screen.
    const QRect area = screen->availableGeometry();
    FramePlacement::place(this,
        QRect(area.left() + 1, area.top() + 1, std::max(area.width() - 2, 640),
            std::max(area.height() - 40, 480)));
}

QStringList MainWindow::temporaryFileNames()
{
    return {Stock::displayFileName(), QStringLiteral("qd.zrb"), QStringLiteral("qd4.zrb")};
}

QAction *MainWindow::action(const QString &caption) const
{
    return commands_.action(caption);
}

QMenu *MainWindow::menu(const QString &title) const
{
    return commands_.menu(title);
}

bool MainWindow::setCommand(const QString &caption, std::function<void()> handler)
{
    // No command acts on a list still being read.
    return commands_.setCommand(this, caption, [this, handler = std::move(handler)] {
        finishReading();
        handler();
    });
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setAccessibleName(QStringLiteral("主菜单"));
    for (const MenuLayout &layout : menuLayout()) {
        QMenu *topMenu = bar->addMenu(layout.title);
        topMenu->setObjectName(layout.title);
        topMenu->setAccessibleName(layout.title);
        commands_.addMenu(layout.title, topMenu);
        for (const QString &caption : layout.items) {
            if (caption == separator) {
                topMenu->addSeparator();
                continue;
            }
            auto *command = new QAction(caption, this);
            command->setObjectName(caption.trimmed());
            command->setEnabled(false);
            for (const CommandKey &key : commandKeys())
                if (key.caption == caption)
                    command->setShortcut(key.key);
            topMenu->addAction(command);
            commands_.addAction(caption, command);
        }
    }

    // The captions carry no mnemonics; F10 opens the menu bar on every
    // platform, and the arrow keys go on from there.
    auto *openMenus = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenus, &QShortcut::activated, this, [bar] {
        if (!bar->actions().isEmpty())
            bar->setActiveAction(bar->actions().constFirst());
    });
}

void MainWindow::buildGrid()
{
    table_.setObjectName(QStringLiteral("数据源1"));
    grid_ = new Grid(this);
    grid_->setObjectName(QStringLiteral("表格1"));
    grid_->setAccessibleName(QStringLiteral("库存列表"));
    grid_->setDataSource(&table_);
    grid_->setGridLineColor(QColor(0, 116, 174));
    // The list shows the stock file; items are changed in the item window.
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(grid_, &Grid::rightButtonPressed, this, &MainWindow::popUpEditMenu);
    connect(grid_, &Grid::cursorMoved, this, &MainWindow::followCursor);
    connect(grid_, &Grid::leftButtonPressed, this, &MainWindow::takeClickedItem);
    connect(grid_, &Grid::leftButtonReleased, this, &MainWindow::takeClickedItem);
    connect(grid_, &Grid::gestureFinished, this, &MainWindow::onGesture);
    connect(grid_, &Grid::keyPressed, this, &MainWindow::onKeyPressed);

    // Told over the empty list, where a new user looks first.
    emptyHint_ = new QLabel(emptyStockHint(), grid_->viewport());
    emptyHint_->setObjectName(QStringLiteral("空库存提示"));
    emptyHint_->setTextFormat(Qt::PlainText);
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    emptyHint_->hide();

    auto *area = new QWidget(this);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->addWidget(grid_);
    setCentralWidget(area);
    grid_->setFocus();
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setAccessibleName(QStringLiteral("状态栏"));
    const auto part = [bar](const QString &name, int stretch) {
        auto *label = new QLabel(bar);
        label->setObjectName(name);
        label->setTextFormat(Qt::PlainText);
        bar->addPermanentWidget(label, stretch);
        return label;
    };
    listStatus_ = part(QStringLiteral("列表概况"), 0);
    pickedStatus_ = part(QStringLiteral("已选行数"), 0);
    resultStatus_ = part(QStringLiteral("操作结果"), 1);
}

void MainWindow::takeClickedItem()
{
    // A click on the header row makes the column titles the item (no
    // record); the cursor arriving there otherwise leaves no item.
    state_.selectedItem = StockList::itemOfRow(table_, store_, state_, grid_->cursorRow());
}

void MainWindow::followCursor()
{
    const int row = grid_->cursorRow();
    state_.selectedItem = row > table_.headerRows() && row <= table_.rowCount()
        ? StockList::itemOfRow(table_, store_, state_, row)
        : SelectedItem();
}

void MainWindow::onGesture(Grid::Gesture gesture)
{
    // Picked lines and sums count on the whole list.
    finishReading();
    const CellRange block = grid_->selectedBlock();
    StockList::SelectionOutcome outcome;
    if (StockList::isSumColumn(block.column) || gesture != Grid::Gesture::Step) {
        // A cursor merely stepping over a row must not put it on the note:
        // each line proposes the item's whole stock.
        if (gesture == Grid::Gesture::ToggleClick && !StockList::isSumColumn(block.column))
            outcome
                = StockList::toggle(block.row, table_, store_, state_, prompts_, lowStockRows());
        else
            outcome = StockList::select(block, table_, store_, state_, prompts_);
    }
    // A sum belongs to its selection: picking lines puts an old one away.
    grid_->setToolTipFont(selectionSumFontFamily(), selectionSumFontPointSize());
    grid_->setToolTipText(outcome.toolTip);
    showPickedCount();
}

void MainWindow::onKeyPressed(int key, Qt::KeyboardModifiers modifiers)
{
    if (key != Qt::Key_Delete || (modifiers & ~Qt::KeypadModifier))
        return;
    finishReading();
    const CellRange block = grid_->selectedBlock();
    if (StockList::unpick(table_, state_, block.row, block.lastRow(), lowStockRows()) > 0)
        showPickedCount();
}

const std::vector<bool> &MainWindow::lowStockRows() const
{
    static const std::vector<bool> none;
    return state_.listShowsImport ? none : listBuild_.lowStockRows;
}

void MainWindow::popUpEditMenu(const QPoint &globalPos)
{
    editMenu()->popup(globalPos);
}

void MainWindow::removeTemporaryFiles()
{
    for (const QString &name : temporaryFileNames()) {
        const QString path = state_.path(name);
        // A file still open cannot be deleted on Windows.
        store_.closePath(path);
        // None of these layouts has memos today; a companion is removed all the
        // same, so it can never be attached to a later file of the same name.
        // The journal goes first: one left alone would be played back into the
        // next file of that name.
        // A file that cannot be removed now is replaced whole when next made.
        for (const QString &file : {path, RecordStore::companionPath(path)}) {
            (void)FileSystem::removeIfExists(file + QStringLiteral("-journal"));
            (void)FileSystem::removeIfExists(file);
        }
    }
}
