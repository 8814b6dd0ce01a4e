#include "app/main_commands.h"

#include "app/main_window.h"
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

#include <QGuiApplication>
#include <QScreen>

namespace {

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

void backUp(MainWindow &main)
{
    const Status s = StockFile::backup(main.store(), main.state().programDir, main.clock().now());
    main.prompts().message(
        s ? QStringLiteral("数据库已备份") : QStringLiteral("备份失败：") + s.message());
}

void restore(MainWindow &main)
{
    const QString chosen = main.prompts().openFileName(
        StockFile::backupFolder(main.state().programDir), QStringLiteral(".zrb (*.zrb)"));
    if (!chosen.isEmpty()) {
        const Status s
            = StockFile::restore(main.store(), main.state().programDir, chosen, main.clock().now());
        if (!s)
            main.prompts().message(
                QStringLiteral("无法导入所选备份，库存数据未改变：") + s.message());
    }
    main.refresh();
}

void clear(MainWindow &main)
{
    const Status s = StockFile::clear(main.store(), main.state().programDir, main.clock().now());
    main.prompts().message(s ? QStringLiteral("数据库已清空")
                             : QStringLiteral("清空失败，库存数据未改变：") + s.message());
    main.refresh();
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
    const QString path
        = main.prompts().openFileName(main.state().programDir, SpreadsheetImport::fileFilter());
    Grid *grid = main.stockGrid();
    grid->unbind();
    // A cancelled dialog reads from no workbook: the list is left empty.
    const Status s = SpreadsheetImport::importFile(main.stockTable(), path);
    grid->bind();
    if (const QScreen *screen = main.screen() ? main.screen() : QGuiApplication::primaryScreen())
        placeFrame(main, SpreadsheetImport::windowFrame(screen->availableGeometry()));
    main.setWindowTitle(QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"));
    if (!s)
        main.prompts().message(s.message());
}

void addRows(MainWindow &main)
{
    const QList<BulkAddition::Row> rows
        = BulkAddition::collect(main.stockTable(), main.stockGrid()->cursorRow());
    // Taken first, so that an unwanted addition can be undone by a restore.
    Status s = StockFile::safetyBackup(main.store(), main.state().programDir, main.clock().now());
    if (s)
        s = BulkAddition::add(main.store(), main.state().programDir, rows, main.clock());
    main.prompts().message(s ? QStringLiteral("添加完毕")
                             : QStringLiteral("添加失败，库存数据未改变：") + s.message());
    main.refresh();
}

void undo(MainWindow &main, Undo::Kind kind)
{
    if (Undo::run(kind, main.store(), main.state(), main.prompts())
        != Undo::Outcome::NothingSelected)
        main.refresh();
}

void showLedger(MainWindow &main)
{
    const SelectedItem item = main.state().selectedItem;
    if (item.name.isEmpty()) {
        main.prompts().message(QStringLiteral("请先选中要查阅的项目"));
        return;
    }
    main.store().openOrSelect(main.state().path(Stock::fileName()), Stock::alias());
    {
        LedgerWindow window(Ledger::text(main.store(), item.name, item.spec));
        window.exec();
    }
    main.refresh();
}

void showStatistics(MainWindow &main, const Statistics::Kind &kind, TableEditorState &editor)
{
    const Status s
        = Statistics::write(main.store(), main.state().programDir, kind, main.clock().now());
    if (!s) {
        main.prompts().message(QStringLiteral("统计失败：") + s.message());
        return;
    }
    TableEditorWindow::openModal(
        main.state(), main.store(), main.prompts(), main.clock(), editor, main.geometry());
    main.refresh();
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
    main.setCommand(QStringLiteral("开票预览"), [&main] { openModal<IssueNoteWindow>(main); });
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
