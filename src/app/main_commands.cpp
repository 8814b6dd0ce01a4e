#include "app/main_commands.h"

#include "app/main_window.h"
#include "app/read_progress.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "exchange/find_in_grid.h"
#include "exchange/spreadsheet_import.h"
#include "grid/grid.h"
#include "issue/issue_note_window.h"
#include "issue/parameter_window.h"
#include "ledger/ledger.h"
#include "ledger/ledger_window.h"
#include "ledger/statistics.h"
#include "movements/bulk_addition.h"
#include "movements/item_window.h"
#include "movements/undo.h"
#include "tableeditor/table_editor_state.h"
#include "tableeditor/table_editor_window.h"
#include "ui/wait_cursor.h"

#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>

#include <QGuiApplication>
#include <QScreen>

#include <optional>
#include <utility>

namespace {

// The stock file as the store holds it for the windows.
Status openStock(MainWindow &main, RecordFile **stock)
{
    return main.store().openOrSelect(
        StockFile::stockPath(main.state().programDir), Stock::alias(), stock);
}

// Opens a window modally, then shows what it changed.
template<typename Window>
void openModal(MainWindow &main)
{
    {
        Window window(main.state(), main.store(), main.prompts(), main.clock(), &main);
        window.exec();
    }
    main.refresh();
}

QString fileNameOf(const QString &path)
{
    return QFileInfo(path).fileName();
}

void backUp(MainWindow &main)
{
    const WaitCursor busy;
    QString path;
    const Status s
        = StockFile::backup(main.store(), main.state().programDir, main.clock().now(), &path);
    main.setResultStatus(
        s ? QStringLiteral("数据库已备份为 %1").arg(fileNameOf(path)) : QStringLiteral("备份失败"));
    main.prompts().message(
        s ? QStringLiteral("数据库已备份") : QStringLiteral("备份失败：") + s.message());
}

// The question before a restore, naming the backup chosen.
QString restoreQuestion(const QString &chosen)
{
    return QStringLiteral("用备份 %1 替换现在的全部库存数据吗？\n"
                          "替换前，现在的库存数据会先备份到“备份数据库”文件夹。")
        .arg(fileNameOf(chosen));
}

// What the user hears after a restore: the backup now in use, and where the
// stock as it was went.
QString restoredMessage(const QString &chosen, const QString &safety)
{
    QString text = QStringLiteral("已导入备份 %1。").arg(fileNameOf(chosen));
    if (!safety.isEmpty())
        text += QStringLiteral("\n导入前的库存数据已先备份为“备份数据库”文件夹中的 %1。")
                    .arg(fileNameOf(safety));
    return text;
}

void restoreChosen(MainWindow &main, const QString &chosen)
{
    const QString programDir = main.state().programDir;
    // Asked only of a file that can be restored.
    if (const Status usable = StockFile::checkRestorable(chosen); !usable) {
        main.setResultStatus(QStringLiteral("备份 %1 未能导入").arg(fileNameOf(chosen)));
        main.prompts().message(
            QStringLiteral("无法导入所选备份，库存数据未改变：") + usable.message());
        return;
    }
    if (!main.prompts().askYesNo(restoreQuestion(chosen), QStringLiteral("提醒询问："))) {
        main.setResultStatus(QStringLiteral("未导入备份，库存数据未改变"));
        return;
    }
    bool replaced = false;
    QString safety;
    const Status s = StockFile::restore(
        main.store(), programDir, chosen, main.clock().now(), &replaced, &safety);
    main.setResultStatus(s || replaced
            ? QStringLiteral("已导入备份 %1").arg(fileNameOf(chosen))
            : QStringLiteral("备份 %1 未能导入").arg(fileNameOf(chosen)));
    // Past the point of no return the backup is the stock file, whatever
    // step failed after it: the message must not say "unchanged".
    if (s)
        main.prompts().message(restoredMessage(chosen, safety));
    else
        main.prompts().message(replaced
                ? QStringLiteral("已导入所选备份，但最后一步出错：") + s.message()
                : QStringLiteral("无法导入所选备份，库存数据未改变：") + s.message());
}

void restore(MainWindow &main)
{
    const WaitCursor busy;
    // Newest first by the time in their names: as text, 10时8分 would come
    // before 10时23分.
    const QString chosen
        = main.prompts().openNewestFirst(StockFile::backupFolder(main.state().programDir),
            QStringLiteral(".zrb (*.zrb)"), QStringLiteral("导入备份"),
            [](const QString &path) { return StockFile::backupTime(path); });
    if (!chosen.isEmpty())
        restoreChosen(main, chosen);
    main.refresh();
}

// Tells how a command that changes many items ended: why it failed (the
// stock is as it was), or that it is done, with any trouble the disk gave
// after the commit; then shows the stock again.
void tellStockChange(MainWindow &main, const Status &s, const QString &verb, const QString &done,
    const QString &diskProblem)
{
    if (!s)
        main.prompts().message(verb + QStringLiteral("失败，库存数据未改变：") + s.message());
    else
        main.prompts().message(
            diskProblem.isEmpty() ? done : StockFile::bookedDespiteDiskMessage(verb, diskProblem));
    main.refresh();
}

void clear(MainWindow &main)
{
    const WaitCursor busy;
    QString diskProblem;
    const Status s
        = StockFile::clear(main.store(), main.state().programDir, main.clock().now(), &diskProblem);
    main.setResultStatus(s ? QStringLiteral("数据库已清空，清空前的数据在“备份数据库”文件夹中")
                           : QStringLiteral("清空失败"));
    tellStockChange(main, s, QStringLiteral("清空"), QStringLiteral("数据库已清空"), diskProblem);
}

// Places a window's frame, wherever its frame lies around its client area.
void placeFrame(QWidget &window, const QRect &frame)
{
    if (window.isMaximized() || window.isFullScreen())
        window.showNormal();
    const QRect inner = window.geometry();
    const QRect outer = window.frameGeometry();
    window.setGeometry(frame.adjusted(inner.left() - outer.left(), inner.top() - outer.top(),
        inner.right() - outer.right(), inner.bottom() - outer.bottom()));
}

void importSpreadsheet(MainWindow &main)
{
    const WaitCursor busy;
    const QString path = main.prompts().openFileName(
        main.state().programDir, SpreadsheetImport::fileFilter(), QStringLiteral("从电子表读"));
    Grid *grid = main.stockGrid();
    grid->unbind();
    // A long read shows its progress and can be stopped; the window repaints
    // meanwhile.
    ReadProgress progress(&main);
    WorkbookReader reader;
    reader.setWatcher(&progress);
    // A cancelled dialog reads from no workbook: the list is left empty.
    SpreadsheetImport::Findings findings;
    const Status s = SpreadsheetImport::importFile(main.stockTable(), path, reader, &findings);
    grid->bind();
    if (const QScreen *screen = main.screen() ? main.screen() : QGuiApplication::primaryScreen())
        placeFrame(main, SpreadsheetImport::windowFrame(screen->availableGeometry()));
    main.setWindowTitle(QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"));
    if (!s && progress.cancelled()) {
        main.setResultStatus(QStringLiteral("已取消读取电子表格，列表未改变"));
        return;
    }
    if (!s) {
        main.prompts().message(s.message());
        return;
    }
    main.showImported();
    // The list no longer shows the stock: say so until the next refresh.
    const QString source = path.isEmpty() ? QStringLiteral("（未选文件）") : fileNameOf(path);
    QString status = QStringLiteral("列表显示的是电子表 %1 的内容，不是库存；核对后用"
                                    "“数据”菜单的“加入数据库”加入库存，“刷新显示”回到库存")
                         .arg(source)
        + SpreadsheetImport::findingsNote(findings);
    main.setListStatus(status);
}

// The rows to add, as the user settles them: nothing when a number is bad
// (said so) or nothing is left; rows whose key the stock holds are asked
// about once.
std::optional<QList<BulkAddition::Row>> rowsToAdd(MainWindow &main)
{
    // The whole sheet, wherever the cursor stands.
    const BulkAddition::Collected collected = BulkAddition::collect(main.stockTable());
    if (!collected.badNumbers.isEmpty()) {
        main.prompts().message(BulkAddition::badNumbersMessage(collected.badNumbers));
        return std::nullopt;
    }
    QList<int> twins;
    RecordFile *stock = nullptr;
    Status s = openStock(main, &stock);
    if (s)
        s = BulkAddition::findTwins(*stock, collected.rows, &twins);
    if (!s) {
        main.prompts().message(QStringLiteral("无法读取库存数据，没有加入：") + s.message());
        return std::nullopt;
    }
    QList<BulkAddition::Row> rows = collected.rows;
    if (!twins.isEmpty()
        && !main.prompts().askYesNo(
            BulkAddition::twinsQuestion(collected, twins), Prompts::defaultTitle())) {
        for (auto i = twins.size(); i-- > 0;)
            rows.removeAt(twins[i]);
    }
    if (rows.isEmpty()) {
        main.prompts().message(QStringLiteral("没有要加入的行，库存数据未改变"));
        return std::nullopt;
    }
    return rows;
}

void addRows(MainWindow &main)
{
    const WaitCursor busy;
    // The stock list itself would only be added again, twin for twin.
    if (!main.state().listShowsImport) {
        main.prompts().message(
            QStringLiteral("“加入数据库”只加入从电子表读入的行：列表现在显示的是库存。"
                           "请先用“数据”菜单的“从电子表读”读入要加入的电子表格。"));
        return;
    }
    const std::optional<QList<BulkAddition::Row>> rows = rowsToAdd(main);
    if (!rows)
        return;
    // Opening stock unless the user says the goods came in today: a month's
    // receipts must not hold the whole stock brought into the books.
    const BulkAddition::Entry entry
        = main.prompts().askYesNo(
              BulkAddition::entryQuestion(int(rows->size()), main.clock().now().date()),
              QStringLiteral("提醒询问："))
        ? BulkAddition::Entry::Receipt
        : BulkAddition::Entry::Opening;
    // Taken first, so that an unwanted addition can be undone by a restore.
    Status s = StockFile::safetyBackup(main.store(), main.state().programDir, main.clock().now());
    QString diskProblem;
    RecordFile *stock = nullptr;
    if (s)
        s = openStock(main, &stock);
    if (s)
        s = BulkAddition::add(*stock, *rows, main.clock(), entry, &diskProblem);
    if (s) // the list reads it again on a connection of its own
        main.store().close(Stock::alias());
    main.setResultStatus(!s ? QStringLiteral("加入数据库失败")
            : entry == BulkAddition::Entry::Receipt
            ? QStringLiteral("已作为今天的进库加入 %1 项材料").arg(rows->size())
            : QStringLiteral("已作为期初库存加入 %1 项材料").arg(rows->size()));
    tellStockChange(main, s, QStringLiteral("添加"), QStringLiteral("添加完毕"), diskProblem);
}

void undo(MainWindow &main, Undo::Kind kind)
{
    const WaitCursor busy;
    // Told after the refresh, which may move the item under the cursor.
    const SelectedItem item = main.state().selectedItem;
    const Undo::Outcome outcome = Undo::run(kind, main.store(), main.state(), main.prompts());
    if (outcome == Undo::Outcome::NothingSelected)
        return;
    // Records written back in place redraw their rows alone.
    main.refresh();
    if (outcome == Undo::Outcome::Restored) {
        main.setResultStatus(
            (kind == Undo::Kind::Receipt ? QStringLiteral("已取消 %1 %2 的最近一次进库")
                                         : QStringLiteral("已取消 %1 %2 的最近一次出库"))
                .arg(item.name, item.spec));
    }
}

void showLedger(MainWindow &main)
{
    const SelectedItem item = main.state().selectedItem;
    if (item.name.isEmpty()) {
        main.prompts().message(QStringLiteral("请先选中要查阅的项目"));
        return;
    }
    RecordFile *stock = nullptr;
    if (const Status s = openStock(main, &stock); !s) {
        main.prompts().message(QStringLiteral("无法打开库存数据文件：") + s.message());
        return;
    }
    {
        // The record under the cursor: of twins, the one the user is on.
        LedgerWindow window(Ledger::text(*stock, item.name, item.spec, item.recordId),
            Ledger::title(item.name, item.spec));
        window.exec();
    }
    main.refresh();
}

void showStatistics(MainWindow &main, const Statistics::Kind &kind, TableEditorState &editor)
{
    // The editor may still hold the last result open under "qd".
    main.store().closePath(Statistics::resultPath(main.state().programDir));
    RecordFile *stock = nullptr;
    const QDateTime now = main.clock().now();
    Status s = openStock(main, &stock);
    if (s)
        s = Statistics::writeWithRows(*stock, main.state().programDir, kind, now, editor.queryRows);
    if (!s) {
        main.prompts().message(QStringLiteral("统计失败：") + s.message());
        return;
    }
    editor.title = Statistics::title(kind, now.date());
    TableEditorWindow::openModal(
        main.state(), main.store(), main.prompts(), main.clock(), editor, main.geometry());
    main.refresh();
    if (!editor.lastResult.isEmpty())
        main.setResultStatus(std::exchange(editor.lastResult, QString()));
}

void openIssueNote(MainWindow &main)
{
    // A spreadsheet's rows are no stock: a note of them would book its
    // quantities and prices against the items of the same names.
    if (main.state().listShowsImport) {
        main.prompts().message(
            QStringLiteral("“开票预览”只开库存中的材料：列表现在显示的是从电子表读入的行，"
                           "不是库存。请先用“数据”菜单的“加入数据库”加入库存，"
                           "或用“刷新显示”回到库存，再选择要出库的材料。"));
        return;
    }
    QString booked;
    {
        IssueNoteWindow note(main.state(), main.store(), main.prompts(), main.clock(), &main);
        note.exec();
        booked = note.bookedSummary();
    }
    main.refresh();
    if (!booked.isEmpty())
        main.setResultStatus(booked);
}

} // namespace

void installMainCommands(MainWindow &main)
{
    main.setCommand(QStringLiteral("备份数据库"), [&main] { backUp(main); });
    main.setCommand(QStringLiteral("导入  备份 "), [&main] { restore(main); });
    main.setCommand(QStringLiteral("从电子表读"), [&main] { importSpreadsheet(main); });
    main.setCommand(QStringLiteral("加入数据库"), [&main] { addRows(main); });
    main.setCommand(QStringLiteral("清空数据库"), [&main] { clear(main); });
    main.setCommand(QStringLiteral("刷新显示"), [&main] { main.refresh(); });
    main.setCommand(QStringLiteral("项目编辑"), [&main] { openModal<ItemWindow>(main); });
    main.setCommand(QStringLiteral("取消进库"), [&main] { undo(main, Undo::Kind::Receipt); });
    main.setCommand(QStringLiteral("取消出库"), [&main] { undo(main, Undo::Kind::Issue); });
    main.setCommand(QStringLiteral("进出库簿"), [&main] { showLedger(main); });
    // The search lives as long as the window: the caption carries its state.
    auto findState = std::make_shared<FindInGrid::State>();
    auto find = std::make_shared<FindInGrid>(*findState, main.action(QStringLiteral("项目查找")),
        main.stockGrid(), &main.stockTable(), main.prompts(), main.editMenu(),
        FindInGrid::Words {
            QStringLiteral("查找"), QStringLiteral("项目查找"), QStringLiteral("项目查找")},
        rgbColor(255, 255, 0));
    main.setCommand(QStringLiteral("项目查找"), [find, findState] { find->step(); });
    // Ctrl+F always asks for a new text; F3 (the command's own key) goes on.
    auto *newSearch = new QShortcut(QKeySequence(QKeySequence::Find), &main);
    QObject::connect(newSearch, &QShortcut::activated, &main,
        [&main, find, findState, command = main.action(QStringLiteral("项目查找"))] {
            main.finishReading(); // a search goes over the whole list
            command->setText(QStringLiteral("项目查找"));
            find->step();
        });
    main.setCommand(QStringLiteral("开票预览"), [&main] { openIssueNote(main); });
    // The table editor's state lasts for the run, across its windows.
    auto editor = std::make_shared<TableEditorState>();
    using Statistics::Movement;
    using Statistics::Period;
    for (const Movement movement : {Movement::Issue, Movement::Receipt}) {
        for (const Period period : {Period::Day, Period::Month, Period::Year}) {
            const Statistics::Kind kind {movement, period};
            main.setCommand(Statistics::caption(kind),
                [&main, kind, editor] { showStatistics(main, kind, *editor); });
        }
    }
    main.setCommand(QStringLiteral("参数配置"), [&main] {
        {
            ParameterWindow window(main.state(), main.prompts(), &main);
            window.exec();
        }
        main.refresh();
    });
}
