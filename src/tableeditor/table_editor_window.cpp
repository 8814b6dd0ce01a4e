#include "tableeditor/table_editor_window.h"

#include "exchange/find_in_grid.h"
#include "tableeditor/html_export.h"
#include "tableeditor/print_setup_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "table/selection_sum.h"
#include "tableeditor/editor_files.h"
#include "tableeditor/query_table.h"
#include "tableeditor/table_editor_state.h"
#include "ui/dialog_look.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QClipboard>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QVBoxLayout>

#include <optional>
#include <utility>

namespace {

// Without a "&" the caption is what a screen reader should say.
QString spoken(QString caption)
{
    return caption.remove(u'&');
}

} // namespace

TableEditorWindow::TableEditorWindow(AppState &state, RecordStore &store, Prompts &prompts,
    const Clock &clock, TableEditorState &editorState, const QRect &mainGeometry, QWidget *parent)
    : QDialog(parent)
    , state_(state)
    , store_(store)
    , prompts_(prompts)
    , clock_(clock)
    , editorState_(editorState)
{
    DialogLook::apply(this, QStringLiteral("TableEditorWindow"),
        editorState.title.isEmpty() ? title() : editorState.title, 9);
    // A table wants all the room it can get.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    table_.setObjectName(QStringLiteral("数据源1"));
    buildMenus();
    buildClient();
    find_ = std::make_unique<FindInGrid>(editorState.find, action(QStringLiteral("&Y.查找")), grid_,
        &table_, prompts, editMenu(),
        FindInGrid::Words {QStringLiteral("查找"), QStringLiteral("查找"), QStringLiteral("查找")},
        rgbColor(128, 0, 128));
    setCommand(QStringLiteral("&Y.查找"), [this] { find_->step(); });
    addFindKeys();
    // The window lies over the main window, which it hides while it is open.
    if (mainGeometry.isValid())
        setGeometry(mainGeometry);
    else
        resize(800, 600);
    loadQueryFile();
    grid_->setFocus();
}

TableEditorWindow::~TableEditorWindow()
{
    // The grid goes before the table it shows.
    delete grid_;
    grid_ = nullptr;
    if (store_.isOpen(Stock::alias()))
        (void)store_.select(Stock::alias()); // open, so it is selected
}

void TableEditorWindow::openModal(AppState &state, RecordStore &store, Prompts &prompts,
    const Clock &clock, TableEditorState &editorState, const QRect &mainGeometry)
{
    int result = QDialog::Rejected;
    do {
        TableEditorWindow window(state, store, prompts, clock, editorState, mainGeometry);
        result = window.exec();
    } while (result == ReopenSorted);
}

// --- Building ------------------------------------------------------------------

QMenu *TableEditorWindow::addMenu(QMenu *parentMenu, const QString &caption)
{
    QMenu *added = parentMenu ? parentMenu->addMenu(caption) : menuBar_->addMenu(caption);
    added->setObjectName(spoken(caption));
    added->setAccessibleName(spoken(caption));
    commands_.addMenu(caption, added);
    return added;
}

QAction *TableEditorWindow::addCommand(
    QMenu *menu, const QString &caption, std::function<void()> handler)
{
    auto *command = new QAction(caption, this);
    command->setObjectName(spoken(caption));
    menu->addAction(command);
    commands_.addAction(caption, command);
    if (handler)
        connect(command, &QAction::triggered, this, [handler = std::move(handler)] { handler(); });
    else
        command->setEnabled(false);
    return command;
}

void TableEditorWindow::buildMenus()
{
    menuBar_ = new QMenuBar(this);
    menuBar_->setObjectName(QStringLiteral("菜单栏"));
    menuBar_->setAccessibleName(QStringLiteral("表格菜单"));

    QMenu *file = addMenu(nullptr, QStringLiteral("&F.文件"));
    addCommand(file, QStringLiteral("&O.打开表格"), [this] { openTable(); });
    addCommand(file, QStringLiteral("&A.另存为表格"), [this] { saveTableAs(); });
    addCommand(file, QStringLiteral("&W.转为电子表格"), [this] { exportSpreadsheet(); });
    addCommand(file, QStringLiteral("&C.生成打印表格"), [this] { generatePrintTable(); });
    file->addSeparator();
    addCommand(file, QStringLiteral("&X.退出"), [this] { exitEditor(); });

    QMenu *edit = addMenu(nullptr, QStringLiteral("&E.编辑"));
    addCommand(edit, QStringLiteral("&E.置表头行数"), [this] { askHeaderRows(); });
    addCommand(edit, QStringLiteral("&B.置表头列数"), [this] { askHeaderColumns(); });
    edit->addSeparator();
    QMenu *zoom = addMenu(edit, QStringLiteral("&S.显示比例"));
    addCommand(zoom, QStringLiteral("&1. 50%"), [this] { setZoom(50); });
    addCommand(zoom, QStringLiteral("&2. 100%"), [this] { setZoom(100); });
    addCommand(zoom, QStringLiteral("&3. 200%"), [this] { setZoom(200); });
    addCommand(zoom, QStringLiteral("&4. 等宽"), [this] { fitToWidth(); });
    QMenu *alignment = addMenu(edit, QStringLiteral("&D.对齐方式"));
    addCommand(alignment, QStringLiteral("&1.中左"), [this] { alignAll(CellFormat::MiddleLeft); });
    addCommand(alignment, QStringLiteral("&2.中中"), [this] { alignAll(CellFormat::Centre); });
    addCommand(alignment, QStringLiteral("&3.中右"), [this] { alignAll(CellFormat::MiddleRight); });
    addCommand(edit, QStringLiteral("&L.向下填充"), [this] { fillDown(); });
    edit->addSeparator();
    addCommand(edit, QStringLiteral("&F.复制"), [this] { copyBlock(); });
    addCommand(edit, QStringLiteral("&T.粘贴"), [this] { paste(); });
    addCommand(edit, QStringLiteral("&V.清除"), [this] { clearBlock(); });
    edit->addSeparator();
    addCommand(edit, QStringLiteral("&Y.查找"), {});
    addCommand(edit, QStringLiteral("&Z.排序↑"), [this] { sort(false); });
    addCommand(edit, QStringLiteral("&N.排序↓"), [this] { sort(true); });
    edit->addSeparator();
    addCommand(edit, QStringLiteral("&H.光标所在列求和"), [this] { showColumnSum(); });

    // Alt and the underlined letter open a menu; F10 does too, as in the main
    // window, and the arrow keys go on from there.
    auto *openMenus = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenus, &QShortcut::activated, this,
        [this] { menuBar_->setActiveAction(menuBar_->actions().constFirst()); });
}

// F3 goes on with a search, as in the main window; Ctrl+F always asks for a
// new text.
void TableEditorWindow::addFindKeys()
{
    action(QStringLiteral("&Y.查找"))->setShortcut(QKeySequence(Qt::Key_F3));
    auto *newSearch = new QShortcut(QKeySequence(QKeySequence::Find), this);
    connect(newSearch, &QShortcut::activated, this, [this] {
        find_->resetCaption();
        find_->step();
    });
}

void TableEditorWindow::buildClient()
{
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("客户区"));
    client_->installEventFilter(this);

    label_ = new QLabel(loadingText(), client_);
    label_->setObjectName(QStringLiteral("标签1"));
    label_->move(24, 24);
    label_->adjustSize();

    // Made after the label, so the grid lies over it.
    grid_ = new Grid(client_);
    grid_->setObjectName(QStringLiteral("表格1"));
    grid_->setAccessibleName(QStringLiteral("表格"));
    grid_->setDataSource(&table_);
    // A statistics result is the user's to shape, unlike the stock list.
    grid_->setColumnsResizable(true);
    connect(grid_, &Grid::leftButtonPressed, this, &TableEditorWindow::onLeftButtonPressed);
    connect(grid_, &Grid::rightButtonPressed, this,
        [this](const QPoint &globalPos) { editMenu()->popup(globalPos); });
    connect(grid_, &Grid::selectionChangedByUser, this, &TableEditorWindow::onSelectionChanged);
    // The model has written the text already; this draws it.
    connect(grid_, &Grid::cellChanged, this, [this] { grid_->commitEdit(); });
    // Ctrl+C is taken before the grid sees it: Qt's item view would otherwise
    // copy its current cell, the far corner of a dragged block, over ours.
    grid_->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar_);
    layout->addWidget(client_);
}

bool TableEditorWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == client_ && event->type() == QEvent::Resize && grid_)
        placeGrid();
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<const QKeyEvent *>(event);
        if (key->key() == Qt::Key_C && key->modifiers().testFlag(Qt::ControlModifier)) {
            copyCursorCell();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TableEditorWindow::placeGrid()
{
    grid_->setGeometry(
        0, 0, std::max(client_->width() - 10, 0), std::max(client_->height() - 10, 0));
}

void TableEditorWindow::loadQueryFile()
{
    grid_->unbind();
    const QString name
        = editorState_.loadSortedFile ? QueryTable::sortedFileName() : QueryTable::queryFileName();
    shownFile_ = name;
    // A missing or unreadable file is not reported: the table shows what it
    // gave, the header row at least.
    const std::optional<TextRows> rows = std::exchange(editorState_.queryRows, std::nullopt);
    (void)QueryTable::load(
        table_, store_, state_.path(name), rows && !editorState_.loadSortedFile ? &*rows : nullptr);
    grid_->bind();
    editorState_.loadSortedFile = false;
}

// --- Lookup --------------------------------------------------------------------

QAction *TableEditorWindow::action(const QString &caption) const
{
    return commands_.action(caption);
}

QMenu *TableEditorWindow::menu(const QString &caption) const
{
    return commands_.menu(caption);
}

bool TableEditorWindow::setCommand(const QString &caption, std::function<void()> handler)
{
    return commands_.setCommand(this, caption, std::move(handler));
}

// --- Grid events ---------------------------------------------------------------

void TableEditorWindow::onLeftButtonPressed()
{
    editorState_.rememberedRow = grid_->cursorRow();
    // A click ends a walk through the rows found: the next find asks anew.
    find_->resetCaption();
}

void TableEditorWindow::onSelectionChanged()
{
    editorState_.rememberedRow = grid_->cursorRow();
    showToolTip(selectionSumText(table_, grid_->selectedBlock()));
}

void TableEditorWindow::copyCursorCell()
{
    QGuiApplication::clipboard()->setText(table_.text(grid_->cursorRow(), grid_->cursorColumn()));
}

void TableEditorWindow::showToolTip(const QString &text)
{
    grid_->setToolTipFont(selectionSumFontFamily(), selectionSumFontPointSize());
    grid_->setToolTipText(text);
}

// --- File commands -------------------------------------------------------------

void TableEditorWindow::openTable()
{
    const QString path = prompts_.openFileName(state_.programDir, EditorFiles::filter());
    if (path.isEmpty())
        return;
    loadTableFile(path);
}

bool TableEditorWindow::loadTableFile(const QString &path)
{
    grid_->commitEdit();
    const bool loaded = EditorFiles::open(table_, path).ok();
    if (loaded) {
        // Both work from qd.zrb, which the window no longer shows.
        action(QStringLiteral("&W.转为电子表格"))->setEnabled(false);
        action(QStringLiteral("&C.生成打印表格"))->setEnabled(false);
    }
    setWindowTitle(EditorFiles::captionFor(path));
    return loaded;
}

void TableEditorWindow::saveTableAs()
{
    // A statistic proposes its whole title, which its last bytes would cut
    // ("26年12月" of "本月进库 2026年12月").
    const QString proposal = !editorState_.title.isEmpty() && windowTitle() == editorState_.title
        ? QString(editorState_.title).remove(u' ')
        : EditorFiles::saveProposal(windowTitle());
    const QString name = prompts_.saveFileName(state_.path(proposal), EditorFiles::filter(),
        QStringLiteral("请输入欲另存到的表格文件名："));
    if (name.isEmpty())
        return;
    saveTable(name);
}

void TableEditorWindow::saveTable(const QString &name)
{
    QString path = name;
    if (path.isEmpty()) {
        path = prompts_.saveFileName(state_.programDir, EditorFiles::filter(),
            QStringLiteral("请输入欲保存到的表格文件名："));
        if (path.isEmpty())
            return;
    }
    grid_->commitEdit();
    if (!table_.save(EditorFiles::withDefaultSuffix(path)))
        prompts_.message(
            QStringLiteral("保存文件失败！"), QStringLiteral("错误"), Prompts::Icon::Error);
}

void TableEditorWindow::exitEditor()
{
    close();
}

// --- Edit commands -------------------------------------------------------------

void TableEditorWindow::askHeaderRows()
{
    const std::optional<int> count = prompts_.inputInteger(
        QStringLiteral("请输入表头行数:"), QStringLiteral("表头行数设置"), 1, 0, table_.rowCount());
    if (count)
        table_.setHeaderRows(*count);
}

void TableEditorWindow::askHeaderColumns()
{
    const std::optional<int> count = prompts_.inputInteger(QStringLiteral("请输入表头列数:"),
        QStringLiteral("表头列数设置"), 1, 0, table_.columnCount());
    if (count)
        table_.setHeaderColumns(*count);
}

void TableEditorWindow::setZoom(double percent)
{
    grid_->setZoom(percent);
}

void TableEditorWindow::fitToWidth()
{
    grid_->zoomToFitWidth();
}

void TableEditorWindow::alignAll(int alignment)
{
    grid_->commitEdit();
    table_.setAlignment({1, 1, table_.rowCount(), table_.columnCount()}, alignment);
}

void TableEditorWindow::fillDown()
{
    grid_->commitEdit();
    QueryTable::fillDown(table_, grid_->cursorRow(), grid_->cursorColumn());
}

void TableEditorWindow::copyBlock()
{
    grid_->commitEdit();
    grid_->copySelection();
}

void TableEditorWindow::paste()
{
    grid_->pasteAtCursor();
}

void TableEditorWindow::clearBlock()
{
    grid_->commitEdit();
    table_.clearTexts(grid_->selectedBlock());
}

void TableEditorWindow::sort(bool descending)
{
    const int column = grid_->cursorColumn();
    const QString field = table_.text(1, column);
    // Sorting always starts from the query file: edits in the grid are not
    // carried over. A column that names no field of it (a table file was
    // opened, a header was edited) leaves the window as it is, rather than
    // reopening on an old sorted file or none.
    const Status sorted
        = QueryTable::sortQueryFile(store_, state_.path(QueryTable::queryFileName()),
            state_.path(QueryTable::sortedFileName()), field, descending);
    if (!sorted)
        return;
    editorState_.loadSortedFile = true;
    editorState_.rememberedRow = column;
    grid_->unbind();
    done(ReopenSorted);
}

void TableEditorWindow::showColumnSum()
{
    grid_->commitEdit();
    showToolTip(QueryTable::columnSumText(
        table_, grid_->cursorColumn(), grid_->selectedColumnCount(), editorState_.rememberedRow));
}

void TableEditorWindow::generatePrintTable()
{
    grid_->commitEdit();
    const WaitCursor busy;
    // One print window at a time; a new generation rebuilds its table.
    if (!printWindow_) {
        printWindow_ = new PrintSetupWindow(editorState_.printSetup, prompts_, this);
        printWindow_->setAttribute(Qt::WA_DeleteOnClose);
    }
    printWindow_->generate(
        store_, state_.path(QueryTable::queryFileName()), table_, clock_.now().date());
}

void TableEditorWindow::exportSpreadsheet()
{
    const std::optional<QString> name = prompts_.inputText(
        HtmlExport::namePrompt(), HtmlExport::nameTitle(), HtmlExport::defaultName());
    if (!name)
        return;
    const WaitCursor busy;
    grid_->commitEdit();
    const QString target = HtmlExport::freeSpreadsheetName(state_.programDir, *name);
    // The records in the order shown (the sorted copy after a sort), and the
    // total row as the window shows it.
    if (!HtmlExport::writeSpreadsheetHtml(
            store_, state_.path(shownFile_), target, shownTotalRow())) {
        prompts_.message(QStringLiteral("未能转换电子表格：无法写入 %1").arg(target));
        return;
    }
    // The numbered name is chosen here, not by the user: the message and,
    // once the editor is closed, the main window's status bar tell it.
    editorState_.lastResult = QStringLiteral("已转换电子表格 %1").arg(QFileInfo(target).fileName());
    prompts_.message(
        HtmlExport::doneMessage(target), Prompts::defaultTitle(), Prompts::Icon::Information);
}

QStringList TableEditorWindow::shownTotalRow() const
{
    const int last = table_.rowCount();
    if (last < 2 || table_.text(last, 1) != QueryTable::totalCaption())
        return {};
    QStringList texts;
    for (int column = 1; column <= table_.columnCount(); ++column)
        texts << table_.text(last, column);
    return texts;
}
