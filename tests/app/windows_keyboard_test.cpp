// The windows opened from the main window, used as a storekeeper does: the
// item window's Tab, Enter and Escape and its delete, which asks nothing but
// keeps a backup, the issue note's "出库" with the print dialog cancelled, and
// the table editor's name for a screen reader once it shows a table file.

#include "support/main_window_fixture.h"

#include "data/record_store.h"
#include "grid/grid.h"
#include "issue/issue_note_window.h"
#include "movements/item_window.h"
#include "table/data_source.h"
#include "tableeditor/table_editor_window.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using WindowsKeyboardTest = StockWindowTest;

QString focusName()
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus->objectName() : QString();
}

TEST_F(WindowsKeyboardTest, TabGoesDownTheItemWindowsBoxesAndEnterBooksNothing)
{
    click(6, 1); // 材料5
    runModal(QStringLiteral("项目编辑"), [&](QWidget *modal) {
        auto *item = qobject_cast<ItemWindow *>(modal);
        ASSERT_NE(item, nullptr);
        // Top to bottom as the boxes stand: 报警数量 beside 数量, 金额 below them.
        const QStringList order {
            "编辑框1", "编辑框2", "编辑框3", "编辑框4", "编辑框5", "编辑框7", "编辑框6", "按钮1"};
        item->box(ItemWindow::Name)->setFocus();
        QStringList visited {focusName()};
        for (int i = 1; i < order.size(); ++i) {
            pressKey(Qt::Key_Tab);
            visited << focusName();
        }
        EXPECT_EQ(visited, order);

        // Enter in the quantity box books nothing and keeps the window open.
        item->box(ItemWindow::Quantity)->setFocus();
        item->box(ItemWindow::Quantity)->selectAll();
        typeKeys(QStringLiteral("5"));
        pressKey(Qt::Key_Return);
        pressKey(Qt::Key_Enter);
        EXPECT_TRUE(item->isVisible());
        EXPECT_TRUE(prompts.shown().empty()) << "no receipt was booked";
        for (QPushButton *button : item->findChildren<QPushButton *>())
            EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();

        // Escape closes it.
        pressKey(Qt::Key_Escape);
        EXPECT_FALSE(item->isVisible());
    });
    EXPECT_DOUBLE_EQ(stockOf(QStringLiteral("材料5")), 15.0) << "the stock is as it was";
}

TEST_F(WindowsKeyboardTest, DeletingAnItemAsksAndKeepsTheStockFileFirst)
{
    click(6, 1); // 材料5
    prompts.answer(true);
    prompts.answer(true);
    runModal(QStringLiteral("项目编辑"), [&](QWidget *modal) {
        auto *item = qobject_cast<ItemWindow *>(modal);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(item->deleteButton(), Qt::LeftButton);
        // The item before it is shown; a second delete in the same second.
        EXPECT_EQ(item->box(ItemWindow::Name)->text(), QStringLiteral("盘点"));
        QTest::mouseClick(item->deleteButton(), Qt::LeftButton);
    });
    EXPECT_EQ(prompts.pendingAnswers(), 0) << "each delete asked";
    EXPECT_EQ(prompts.messages(),
        QStringList({"项目已删除\n删除前的库存数据已备份在 备份数据库 文件夹的 "
                     "2011年3月7日9时5分.zrb",
            "项目已删除\n删除前的库存数据已备份在 备份数据库 文件夹的 2011年3月7日9时5分(2).zrb"}));

    // Each delete kept the file as it was just before; the second did not
    // replace the first.
    ASSERT_EQ(QDir(backupFolder()).entryList({QStringLiteral("*.zrb")}, QDir::Files).size(), 2);
    const QString before = backupFolder() + QStringLiteral("/2011年3月7日9时5分.zrb");
    EXPECT_EQ(recordsIn(before), items.size());
    EXPECT_EQ(
        recordsIn(backupFolder() + QStringLiteral("/2011年3月7日9时5分(2).zrb")), items.size() - 1);
    ASSERT_EQ(grid->model()->rowCount(), items.size() - 1);

    // The storekeeper regrets both: the first backup brings them back.
    prompts.answer(before);
    prompts.answer(true);
    trigger(QStringLiteral("导入  备份 "));
    EXPECT_EQ(grid->model()->rowCount(), items.size() + 1);
    EXPECT_EQ(shownText(6, 1), QStringLiteral("材料5"));
}

TEST_F(WindowsKeyboardTest, ACancelledPrintAfterIssueSaysTheNoteWasBookedButNotPrinted)
{
    dragRows(6, 7);
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        auto *note = qobject_cast<IssueNoteWindow *>(modal);
        ASSERT_NE(note, nullptr);
        note->setPdfOutput(QDir(state.programDir).filePath(QStringLiteral("出库单.pdf")));
        prompts.answer(true); // the whole stock: asked, as it goes to zero
        prompts.answer(false); // the storekeeper cancels the print dialog
        QTest::mouseClick(note->issueButton(), Qt::LeftButton);
        ASSERT_EQ(prompts.messages(), QStringList {IssueNoteWindow::notPrintedMessage()});
        EXPECT_TRUE(prompts.messages().constFirst().contains(QStringLiteral("“打印”")));
        EXPECT_FALSE(QFile::exists(QDir(state.programDir).filePath(QStringLiteral("出库单.pdf"))));

        // "打印" prints the booked note; nothing more is said.
        prompts.clearShown();
        QTest::mouseClick(note->printButton(), Qt::LeftButton);
        EXPECT_TRUE(prompts.messages().isEmpty());
        EXPECT_TRUE(QFile::exists(QDir(state.programDir).filePath(QStringLiteral("出库单.pdf"))));
    });
    EXPECT_DOUBLE_EQ(stockOf(QStringLiteral("材料5")), 0.0) << "the whole stock was issued";
    EXPECT_DOUBLE_EQ(stockOf(QStringLiteral("材料6")), 0.0);
}

TEST_F(WindowsKeyboardTest, AnIssueThatPrintsSaysNothingNewAndPrintsUnderTheWaitCursor)
{
    dragRows(8, 8);
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        auto *note = qobject_cast<IssueNoteWindow *>(modal);
        ASSERT_NE(note, nullptr);
        const QString pdf = QDir(state.programDir).filePath(QStringLiteral("出库单.pdf"));
        note->setPdfOutput(pdf);
        prompts.answer(true); // the whole stock: asked, as it goes to zero
        QTest::mouseClick(note->issueButton(), Qt::LeftButton);
        EXPECT_TRUE(prompts.messages().isEmpty());
        ASSERT_EQ(prompts.shown().size(), 2u);
        EXPECT_EQ(prompts.shown()[1].kind, QStringLiteral("print"));
        EXPECT_TRUE(prompts.shown()[1].busy);
        EXPECT_TRUE(QFile::exists(pdf));
    });
    EXPECT_DOUBLE_EQ(stockOf(QStringLiteral("材料7")), 0.0);
}

TEST_F(WindowsKeyboardTest, TheTableEditorIsSpokenOfByTheTableFileItShows)
{
    runModal(QStringLiteral("本日出库"), [&](QWidget *modal) {
        auto *editor = qobject_cast<TableEditorWindow *>(modal);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->accessibleName(), QStringLiteral("本日出库 2011年3月7日"));
        const QString file = QDir(state.programDir).filePath(QStringLiteral("三月出库.grd"));
        prompts.answer(file);
        editor->action(QStringLiteral("&A.另存为表格"))->trigger();
        ASSERT_TRUE(QFile::exists(file));
        prompts.answer(file);
        editor->action(QStringLiteral("&O.打开表格"))->trigger();
        ASSERT_EQ(editor->windowTitle(), QStringLiteral("三月出库"));
        EXPECT_EQ(editor->accessibleName(), QStringLiteral("三月出库"));
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(editor);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), QStringLiteral("三月出库"));
    });
}

TEST_F(WindowsKeyboardTest, TheTableEditorFindsByKeyAndNamesItsExportInTheStatusBar)
{
    dragRows(8, 8); // 材料7
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        auto *note = qobject_cast<IssueNoteWindow *>(modal);
        ASSERT_NE(note, nullptr);
        note->setPdfOutput(QDir(state.programDir).filePath(QStringLiteral("出库单.pdf")));
        prompts.answer(true); // the whole stock: asked, as it goes to zero
        QTest::mouseClick(note->issueButton(), Qt::LeftButton);
    });
    prompts.clearShown();
    runModal(QStringLiteral("本日出库"), [&](QWidget *modal) {
        auto *editor = qobject_cast<TableEditorWindow *>(modal);
        ASSERT_NE(editor, nullptr);
        auto *table = editor->findChild<Grid *>();
        ASSERT_NE(table, nullptr);
        int nameColumn = 0;
        for (int c = 1; c <= table->dataSource()->columnCount(); ++c)
            if (table->dataSource()->text(1, c) == QStringLiteral("品名"))
                nameColumn = c;
        ASSERT_GT(nameColumn, 0);
        clickCell(table, 2, nameColumn);

        QAction *find = editor->action(QStringLiteral("&Y.查找"));
        prompts.answer(QStringLiteral("材料7"));
        pressKey(Qt::Key_F, Qt::ControlModifier);
        EXPECT_EQ(find->text(), QStringLiteral("&Y.下一个")) << "Ctrl+F asked and found";
        // The find pops its menu up after each step; the keyboard then
        // speaks to the menu, and F3 must still go on.
        QWidget *popUp = QApplication::activePopupWidget();
        QTest::keyClick(popUp ? popUp : QApplication::focusWidget(), Qt::Key_F3);
        EXPECT_EQ(prompts.messages().value(0), QStringLiteral("对不起，没有啦！"));
        EXPECT_EQ(find->text(), QStringLiteral("&Y.上一个")) << "F3 went on with the search";

        prompts.clearShown();
        prompts.answer(QStringLiteral("出库表"));
        editor->action(QStringLiteral("&W.转为电子表格"))->trigger();
        ASSERT_EQ(prompts.messages(),
            QStringList {QStringLiteral("已转换电子表格 出库表1.xls\n保存在文件夹：")
                + QDir::toNativeSeparators(state.programDir)});
        EXPECT_TRUE(prompts.shown().back().busy) << "written under the wait cursor";
    });
    EXPECT_TRUE(QFile::exists(QDir(state.programDir).filePath(QStringLiteral("出库表1.xls"))));
    EXPECT_EQ(window->resultStatus()->text(), QStringLiteral("已转换电子表格 出库表1.xls"));
}

} // namespace
