#include "tableeditor/editor_window_fixture.h"

#include "common/file_system.h"
#include "common/gbk.h"
#include "support/cell_texts.h"
#include "support/qt_print.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include <cerrno>

namespace {

const QString separator = QStringLiteral("-");

// The captions of a menu in order; a submenu as "caption ▸ (items)".
QStringList captions(const QMenu *menu)
{
    QStringList items;
    for (const QAction *a : menu->actions()) {
        if (a->isSeparator())
            items << separator;
        else if (a->menu())
            items << a->text() + QStringLiteral(" ▸ (") + captions(a->menu()).join(u',') + u')';
        else
            items << a->text();
    }
    return items;
}

// The editor over three items whose total needs rounding.
class TableEditorWindowTest : public EditorWindowFixture
{
protected:
    QList<QueryRecord> queryRecords() const override { return threeItems(); }
    std::unique_ptr<TableEditorWindow> open() { return openEditor(); }

    static QStringList column(const DataSource &table, int c)
    {
        QStringList texts;
        for (int r = 1; r <= table.rowCount(); ++r)
            texts << table.text(r, c);
        return texts;
    }

    static QPoint centreOf(const Grid *grid, int row, int column)
    {
        return grid->visualRect(grid->model()->index(row - 1, column - 1)).center();
    }
};

TEST_F(TableEditorWindowTest, MenusCarryTheirCaptionsInOrder)
{
    const auto w = open();
    QStringList top;
    for (const QAction *a : w->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, QStringList({"&F.文件", "&E.编辑"}));
    EXPECT_EQ(captions(w->menu(QStringLiteral("&F.文件"))),
        QStringList({"&O.打开表格", "&A.另存为表格", "&W.转为电子表格", "&C.生成打印表格", "-",
            "&X.退出"}));
    EXPECT_EQ(captions(w->editMenu()),
        QStringList({"&E.置表头行数", "&B.置表头列数", "-",
            "&S.显示比例 ▸ (&1. 50%,&2. 100%,&3. 200%,&4. 等宽)",
            "&D.对齐方式 ▸ (&1.中左,&2.中中,&3.中右)", "&L.向下填充", "-", "&F.复制", "&T.粘贴",
            "&V.清除", "-", "&Y.查找", "&Z.排序↑", "&N.排序↓", "-", "&H.光标所在列求和"}));

    // Every command is offered while the window shows qd.zrb.
    for (const char *command :
        {"&W.转为电子表格", "&C.生成打印表格", "&Y.查找", "&H.光标所在列求和"})
        EXPECT_TRUE(w->action(QString::fromUtf8(command))->isEnabled()) << command;
    EXPECT_EQ(w->editMenu()->accessibleName(), QStringLiteral("E.编辑"));
    EXPECT_FALSE(w->grid()->accessibleName().isEmpty());

    // The shortcut F10 leads into the menu bar from the keyboard.
    QTest::keyClick(w->grid(), Qt::Key_F10);
    EXPECT_EQ(w->menuBar()->activeAction(), w->menuBar()->actions().constFirst());
}

TEST_F(TableEditorWindowTest, OpensOverTheMainWindowWithTheGridFillingTheClientArea)
{
    const auto w = open();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("表格"));
    EXPECT_EQ(w->geometry(), place);
    Grid *grid = w->grid();
    EXPECT_EQ(grid->objectName(), QStringLiteral("表格1"));
    const QWidget *client = grid->parentWidget();
    EXPECT_EQ(grid->geometry(), QRect(0, 0, client->width() - 10, client->height() - 10));
    EXPECT_GE(client->y(), w->menuBar()->geometry().bottom());

    // The label lies under the grid.
    EXPECT_EQ(w->label()->text(), QStringLiteral("系统正在抄表中..."));
    EXPECT_EQ(w->label()->objectName(), QStringLiteral("标签1"));
    EXPECT_TRUE(grid->geometry().contains(w->label()->geometry()));
    EXPECT_NE(client->childAt(w->label()->geometry().center()), w->label());

    w->resize(700, 500);
    QApplication::processEvents();
    EXPECT_EQ(grid->geometry(), QRect(0, 0, client->width() - 10, client->height() - 10));
    EXPECT_LT(grid->width(), 700);

    // The statistics result with its total row, the cursor at the top.
    EXPECT_TRUE(grid->isBound());
    EXPECT_EQ(w->table().rowCount(), 5);
    EXPECT_EQ(w->table().text(5, 6), QStringLiteral("1064.38"));
    EXPECT_EQ(grid->cursorRow(), 1);
    EXPECT_FALSE(store.isOpen(QStringLiteral("qd")));
}

TEST_F(TableEditorWindowTest, ClosingMakesTheStockFileCurrentAgain)
{
    const QString other = state.path(QStringLiteral("other.zrb"));
    writeQueryFile(other, {});
    {
        const auto w = open();
        ASSERT_TRUE(store.open(other, QStringLiteral("other")));
        EXPECT_EQ(store.currentAlias(), QStringLiteral("other"));
        w->action(QStringLiteral("&X.退出"))->trigger();
        EXPECT_FALSE(w->isVisible());
    }
    EXPECT_EQ(store.currentAlias(), Stock::alias());
}

TEST_F(TableEditorWindowTest, MouseAndSelectionEvents)
{
    const auto w = open();
    Grid *grid = w->grid();
    grid->setCursorCell(2, 6);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("合计 = 1064.375"));
    EXPECT_EQ(grid->toolTipFont().family(), QStringLiteral("宋体"));

    grid->setCursorCell(3, 5);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid->selectedBlock(), CellRange({3, 5, 2, 2}));
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("合计 = 0"));

    // Along one row: 单价 and 出库数量 of the first record.
    grid->setCursorCell(2, 4);
    QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("合计 = 97.5"));

    // A number typed with digit grouping counts whole, one with a text after
    // it not at all, in the selection's sum and the column's.
    for (const auto &[row, typed] : {std::pair {3, "1,234.5"}, std::pair {4, "36 x"}}) {
        grid->setCursorCell(row, 6);
        QTest::keyClicks(grid, QString::fromUtf8(typed).left(1));
        QTest::keyClicks(QApplication::focusWidget(), QString::fromUtf8(typed).mid(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents();
    }
    ASSERT_EQ(w->table().text(3, 6), QStringLiteral("1,234.5"));
    grid->setCursorCell(2, 6);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("合计 = 2260.625")); // 1026.125 + 1234.5
    w->action(QStringLiteral("&H.光标所在列求和"))->trigger();
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("本列合计 = 3325.005")); // and the total 1064.38

    // One cell shows its own text: 出库数量 of the second record.
    grid->setCursorCell(2, 5);
    QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(grid->selectedBlock(), CellRange({3, 5, 1, 1}));
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("2"));
    EXPECT_EQ(editorState.rememberedRow, 3);

    // The press alone remembers the row.
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, centreOf(grid, 4, 2));
    EXPECT_EQ(grid->cursorRow(), 4);
    EXPECT_EQ(editorState.rememberedRow, 4);
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, centreOf(grid, 4, 2));

    // The right button pops up the edit menu and leaves the selection alone.
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, centreOf(grid, 2, 2));
    EXPECT_TRUE(w->editMenu()->isVisible());
    EXPECT_EQ(grid->cursorRow(), 4);
    w->editMenu()->close();
    QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, centreOf(grid, 2, 2));
}

TEST_F(TableEditorWindowTest, CtrlCCopiesExactlyTheCellUnderTheCursor)
{
    const auto w = open();
    Grid *grid = w->grid();
    QClipboard *clipboard = QGuiApplication::clipboard();
    grid->setCursorCell(2, 7);
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("2026年3月7日9时5分"));

    // A block dragged from its top-left corner: the cursor stays there, though
    // the item view's current cell is the corner the drag ended on.
    const QPoint from = centreOf(grid, 3, 1);
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, from);
    QTest::mouseMove(grid->viewport(), centreOf(grid, 4, 2));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, centreOf(grid, 4, 2));
    ASSERT_EQ(grid->selectedBlock(), CellRange({3, 1, 2, 2}));
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("悬式绝缘子"));

    // The C key alone copies nothing.
    clipboard->setText(QStringLiteral("before"));
    QTest::keyClick(grid, Qt::Key_C);
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
}

TEST_F(TableEditorWindowTest, EditCommandsWorkOnTheTable)
{
    const auto w = open();
    Grid *grid = w->grid();
    DataSource &table = w->table();
    const auto run = [&](const char *caption) {
        QAction *a = w->action(QString::fromUtf8(caption));
        ASSERT_NE(a, nullptr) << caption;
        a->trigger();
    };

    run("&2.中中");
    EXPECT_EQ(table.format(1, 1).alignment, 5);
    EXPECT_EQ(table.format(5, 7).alignment, 5);
    run("&3.中右");
    EXPECT_EQ(table.format(3, 4).alignment, 6);

    grid->setCursorCell(3, 3);
    run("&L.向下填充");
    EXPECT_EQ(column(table, 3), QStringList({"单位", "米", "片", "片", "片"}));

    grid->selectRange({2, 1, 1, 2});
    run("&F.复制");
    grid->setCursorCell(4, 1);
    run("&T.粘贴");
    EXPECT_TRUE(hasCellTexts(table, {{4, 1, u"电力电缆"}, {4, 2, u"YJV-3x70"}, {4, 3, u"片"}}));

    grid->selectRange({2, 1, 2, 2});
    run("&V.清除");
    EXPECT_EQ(column(table, 1).mid(0, 4), QStringList({"品名", "", "", "电力电缆"}));
    EXPECT_EQ(table.text(3, 2), QString());
    EXPECT_EQ(table.text(3, 3), QStringLiteral("片"));

    grid->setCursorCell(1, 6);
    run("&H.光标所在列求和");
    EXPECT_EQ(grid->toolTipText(), QStringLiteral("本列合计 = 2128.755"));
}

TEST_F(TableEditorWindowTest, ZoomCommands)
{
    const auto w = open();
    Grid *grid = w->grid();
    w->action(QStringLiteral("&3. 200%"))->trigger();
    EXPECT_DOUBLE_EQ(grid->zoom(), 200);

    // Fitted, the seven columns just fill the visible width.
    w->action(QStringLiteral("&4. 等宽"))->trigger();
    QApplication::processEvents();
    const int visible = grid->viewport()->width();
    const int length = grid->horizontalHeader()->length();
    EXPECT_LT(grid->zoom(), 200);
    EXPECT_LE(length, visible + 7);
    EXPECT_GE(length, visible * 97 / 100);
}

TEST_F(TableEditorWindowTest, HeaderRowsAndColumnsAreAskedFor)
{
    const auto w = open();
    prompts.answer(2);
    w->action(QStringLiteral("&E.置表头行数"))->trigger();
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, QStringLiteral("inputInteger"));
    EXPECT_EQ(prompts.shown()[0].text, QStringLiteral("请输入表头行数:"));
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("表头行数设置"));
    // Whole numbers only, up to the table's size.
    EXPECT_EQ(prompts.shown()[0].minimum, 0);
    EXPECT_EQ(prompts.shown()[0].maximum, 5);
    EXPECT_EQ(w->table().headerRows(), 2);

    prompts.answer(1);
    w->action(QStringLiteral("&B.置表头列数"))->trigger();
    EXPECT_EQ(prompts.shown().back().kind, QStringLiteral("inputInteger"));
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("表头列数设置"));
    EXPECT_EQ(prompts.shown().back().maximum, 7);
    EXPECT_EQ(w->table().headerColumns(), 1);

    // Cancelled: nothing changes.
    w->action(QStringLiteral("&E.置表头行数"))->trigger();
    w->action(QStringLiteral("&B.置表头列数"))->trigger();
    EXPECT_EQ(w->table().headerRows(), 2);
    EXPECT_EQ(w->table().headerColumns(), 1);
    EXPECT_EQ(prompts.shown().size(), 4u);
}

TEST_F(TableEditorWindowTest, SortReopensTheWindowOnTheSortedFile)
{
    // The caller's loop, driven from inside each window it opens.
    QList<QStringList> amounts;
    QList<QStringList> names;
    const QString sort = QStringLiteral("&Z.排序↑");
    std::function<void(TableEditorWindow *)> look = [&](TableEditorWindow *w) {
        amounts << column(w->table(), 6);
        names << column(w->table(), 1);
        if (amounts.size() == 1) {
            w->table().setText(2, 6, QStringLiteral("edited")); // not carried over
            w->grid()->setCursorCell(1, 6);
            w->action(sort)->trigger();
            whenModalShown<TableEditorWindow>(sort, look);
        } else {
            w->action(QStringLiteral("&X.退出"))->trigger();
        }
    };
    whenModalShown<TableEditorWindow>(QStringLiteral("本日出库"), look);
    TableEditorWindow::openModal(state, store, prompts, clock, editorState, place);

    ASSERT_EQ(amounts.size(), 2);
    EXPECT_EQ(amounts[0], QStringList({"出库金额", "1026.125", "2", "36.25", "1064.38"}));
    EXPECT_EQ(amounts[1], QStringList({"出库金额", "2", "36.25", "1026.125", "1064.38"}));
    EXPECT_EQ(names[1], QStringList({"品名", "悬式绝缘子", "隔离开关", "电力电缆", "合      计"}));
    EXPECT_TRUE(QFile::exists(state.path(QStringLiteral("qd4.zrb"))));
    EXPECT_FALSE(editorState.loadSortedFile);
    EXPECT_EQ(editorState.rememberedRow, 6);
    EXPECT_EQ(store.currentAlias(), Stock::alias());
}

TEST_F(TableEditorWindowTest, SortDescendingAndSortByAColumnThatIsNoField)
{
    {
        const auto w = open();
        w->grid()->setCursorCell(3, 5); // any row: the field name is in row 1
        w->action(QStringLiteral("&N.排序↓"))->trigger();
        EXPECT_TRUE(w->reopenSorted());
        EXPECT_TRUE(editorState.loadSortedFile);
    }
    {
        const auto w = open();
        EXPECT_EQ(column(w->table(), 5), QStringList({"出库数量", "12", "2", "1", ""}));

        // A header the query file does not know: the window stays as it is.
        w->table().setText(1, 5, QStringLiteral("数量"));
        w->grid()->setCursorCell(1, 5);
        ASSERT_TRUE(QFile::remove(state.path(QStringLiteral("qd4.zrb"))));
        w->action(QStringLiteral("&Z.排序↑"))->trigger();
        EXPECT_TRUE(w->isVisible());
        EXPECT_FALSE(w->reopenSorted());
        EXPECT_TRUE(w->grid()->isBound());
        EXPECT_FALSE(editorState.loadSortedFile);
        EXPECT_FALSE(QFile::exists(state.path(QStringLiteral("qd4.zrb"))));
    }
}

TEST_F(TableEditorWindowTest, SaveAndOpenATableFile)
{
    const auto w = open();
    DataSource &table = w->table();
    table.setTextColor({3, 1, 1, 7}, 0x0000FF); // a row a find marked

    // Save as: the caption "表格" is proposed, in the program directory.
    prompts.answer(state.path(QStringLiteral("quarterly")));
    w->action(QStringLiteral("&A.另存为表格"))->trigger();
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, QStringLiteral("save"));
    EXPECT_EQ(prompts.shown()[0].text, state.path(QStringLiteral("表格")));
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("表格文件(*.grd)"));
    EXPECT_EQ(prompts.shown()[0].dialogTitle, QStringLiteral("请输入欲另存到的表格文件名："));
    const QString file = state.path(QStringLiteral("quarterly.grd"));
    ASSERT_TRUE(QFile::exists(file));
    EXPECT_TRUE(prompts.messages().isEmpty());

    table.setText(2, 1, QStringLiteral("changed"));
    w->setCommand(QStringLiteral("&W.转为电子表格"), [] {});
    w->setCommand(QStringLiteral("&C.生成打印表格"), [] {});

    prompts.answer(file);
    w->action(QStringLiteral("&O.打开表格"))->trigger();
    EXPECT_EQ(prompts.shown()[1].kind, QStringLiteral("open"));
    EXPECT_EQ(prompts.shown()[1].text, state.programDir);
    EXPECT_EQ(prompts.shown()[1].title, QStringLiteral("表格文件(*.grd)"));
    EXPECT_EQ(table.text(2, 1), QStringLiteral("电力电缆"));
    EXPECT_EQ(table.text(5, 6), QStringLiteral("1064.38"));
    EXPECT_EQ(table.format(3, 4).textColor, CellFormat::black);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("quarterly"));
    EXPECT_FALSE(w->action(QStringLiteral("&W.转为电子表格"))->isEnabled());
    EXPECT_FALSE(w->action(QStringLiteral("&C.生成打印表格"))->isEnabled());

    // The next save proposes the caption's last 8 bytes.
    w->action(QStringLiteral("&A.另存为表格"))->trigger();
    EXPECT_EQ(prompts.shown().back().text, state.path(QStringLiteral("uarterly")));
}

TEST_F(TableEditorWindowTest, AFailedOpenRenamesButKeepsTheCellsAndCommands)
{
    const auto w = open();
    w->setCommand(QStringLiteral("&W.转为电子表格"), [] {});
    const QString foreign = state.path(QStringLiteral("Bad.GRD"));
    QFile file(foreign);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("GRD? no");
    file.close();

    w->action(QStringLiteral("&O.打开表格"))->trigger(); // cancelled
    EXPECT_EQ(w->windowTitle(), QStringLiteral("表格"));

    w->table().setTextColor({1, 1, 3, 7}, 0x0000FF); // rows a find marked
    prompts.answer(foreign);
    w->action(QStringLiteral("&O.打开表格"))->trigger();
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Bad.GRD"));
    EXPECT_EQ(w->table().text(2, 1), QStringLiteral("电力电缆"));
    EXPECT_EQ(w->table().format(3, 7).textColor, CellFormat::black);
    EXPECT_EQ(w->table().format(1, 1).textColor, 0x0000FFu);
    EXPECT_TRUE(w->action(QStringLiteral("&W.转为电子表格"))->isEnabled());
}

TEST_F(TableEditorWindowTest, AFailedSaveSaysSoAsAnError)
{
    const auto w = open();
    w->action(QStringLiteral("&A.另存为表格"))->trigger(); // cancelled
    EXPECT_TRUE(prompts.messages().isEmpty());

    prompts.answer(state.path(QStringLiteral("missing/x.grd")));
    w->action(QStringLiteral("&A.另存为表格"))->trigger();
    ASSERT_EQ(prompts.messages(), QStringList({"保存文件失败！"}));
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("错误"));
    EXPECT_EQ(prompts.shown().back().icon, Prompts::Icon::Error);

    // Saving without a name asks for one.
    prompts.answer(state.path(QStringLiteral("named.grd")));
    w->saveTable(QString());
    EXPECT_TRUE(QFile::exists(state.path(QStringLiteral("named.grd"))));
}

TEST_F(TableEditorWindowTest, FileMenuBuildsThePrintableTableAndExportsWhatTheWindowShows)
{
    auto w = open();
    w->action(QStringLiteral("&C.生成打印表格"))->trigger();
    auto *print = w->findChild<PrintSetupWindow *>();
    ASSERT_NE(print, nullptr);
    EXPECT_TRUE(print->isVisible());
    EXPECT_EQ(print->table().text(1, 1), QStringLiteral("澄州禾岭供电有限责任公司材料出库单"));
    EXPECT_EQ(print->table().text(4, 1), QStringLiteral("电力电缆"));
    EXPECT_EQ(print->table().headerRows(), 3);
    EXPECT_EQ(print->table().text(2, 4), QStringLiteral("日期：2026年3月31日"))
        << "the clock's day";
    print->close();

    // Sorted by amount, the export has the rows in the order shown (the
    // printable table's blank record too) and the total row shown.
    const auto shownSorted = sorted(std::move(w), 6, "&N.排序↓");
    ASSERT_EQ(column(shownSorted->table(), 1),
        QStringList({"品名", "电力电缆", "隔离开关", "悬式绝缘子", "", "合      计"}));
    prompts.answer(QStringLiteral("月报"));
    shownSorted->action(QStringLiteral("&W.转为电子表格"))->trigger();
    QFile exported(state.path(QStringLiteral("月报1.xls")));
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QString html = Gbk::decode(exported.readAll());
    QStringList names;
    for (const QString &row : html.split(QStringLiteral("<tr")).mid(2))
        names << row.section(u'>', 2, 2).section(u'<', 0, 0);
    EXPECT_EQ(names, QStringList({"电力电缆", "隔离开关", "悬式绝缘子", "", "合      计"}));
    EXPECT_TRUE(html.contains(QStringLiteral("<td class=xl24 align=right x:num>1064.38</td>")));
    EXPECT_EQ(prompts.messages().last(),
        QStringLiteral("已转换电子表格 月报1.xls\n保存在文件夹：")
            + QDir::toNativeSeparators(QDir(state.programDir).absolutePath()));
}

TEST_F(TableEditorWindowTest, AnExportThatCannotBeWrittenSaysSoAndClaimsNothing)
{
    const auto w = open();
    // The disk refuses the rename that would put the new file in place.
    FileSystem::setFaultHook([](FileSystem::Operation operation, const QString &path) {
        return operation == FileSystem::Operation::Rename && path.endsWith(".xls") ? ENOSPC : 0;
    });
    prompts.answer(QStringLiteral("月报"));
    w->action(QStringLiteral("&W.转为电子表格"))->trigger();
    FileSystem::setFaultHook({});
    ASSERT_FALSE(prompts.messages().isEmpty());
    EXPECT_TRUE(prompts.messages().last().startsWith(QStringLiteral("未能转换电子表格：无法写入")))
        << prompts.messages().last().toStdString();
    EXPECT_TRUE(prompts.messages().last().contains(QStringLiteral("月报1.xls")));
    EXPECT_FALSE(prompts.messages().contains(QStringLiteral("已转换电子表格")));
    EXPECT_FALSE(QFile::exists(state.path(QStringLiteral("月报1.xls"))));
    EXPECT_TRUE(editorState.lastResult.isEmpty()) << "the status bar names no export";
}

} // namespace
