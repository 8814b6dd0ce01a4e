// The main window as a desktop program: where it stands on the screen, what
// its status bar says, its keys, how picked and found rows look, and that the
// long commands show the wait cursor. All through the real window, its menus
// and the keyboard.

#include "support/main_window_fixture.h"

#include "app/stock_list.h"
#include "table/cell_format.h"
#include "table/data_source.h"
#include "tableeditor/table_editor_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

namespace {

using MainWindowDesktopTest = StockWindowTest;

QColor backgroundOf(const Grid *g, int row, int column)
{
    return g->model()->index(row - 1, column - 1).data(Qt::BackgroundRole).value<QBrush>().color();
}

Qt::Alignment alignmentOf(const Grid *g, int row, int column)
{
    return g->model()
        ->index(row - 1, column - 1)
        .data(Qt::TextAlignmentRole)
        .value<Qt::Alignment>();
}

// Everything the status bar shows: its message and its visible parts.
QString shownInStatusBar(QStatusBar *bar)
{
    QStringList texts {bar->currentMessage()};
    for (const QLabel *label : bar->findChildren<QLabel *>())
        if (label->isVisible())
            texts << label->text();
    return texts.join(u'|');
}

void closePopUpMenu()
{
    if (QWidget *popUp = QApplication::activePopupWidget())
        QTest::keyClick(popUp, Qt::Key_Escape);
}

TEST_F(MainWindowDesktopTest, TheFramesOfTheMainWindowAndTheTableEditorStartAtLeftOneTopOne)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    // The caption bar, which carries the low-stock count, lies inside the frame.
    ASSERT_NE(window->frameGeometry(), window->geometry()) << "the platform draws no frame";
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window->frameGeometry()
            == QRect(area.left() + 1, area.top() + 1, area.width() - 2, area.height() - 40);
    }));
    EXPECT_EQ(window->frameGeometry().topLeft(), area.topLeft() + QPoint(1, 1));

    // The table editor lies over the main window, frame on frame.
    runModal(QStringLiteral("本日出库"), [&](QWidget *editor) {
        ASSERT_NE(qobject_cast<TableEditorWindow *>(editor), nullptr);
        EXPECT_EQ(editor->frameGeometry().topLeft(), area.topLeft() + QPoint(1, 1));
        EXPECT_EQ(editor->geometry(), window->geometry());
    });
}

TEST_F(MainWindowDesktopTest, TheStatusBarKeepsItsCountsUnderAMenuAndTellsPickedLinesAndResults)
{
    QLabel *list = window->listStatus();
    QLabel *picked = window->pickedStatus();
    QLabel *result = window->resultStatus();
    const QString counts = QStringLiteral("共 %1 项材料，其中 %2 项库存数量不高于报警数量")
                               .arg(items.size())
                               .arg(lowCount());
    QStatusBar *bar = window->statusBar();
    EXPECT_EQ(list->text(), counts);
    EXPECT_TRUE(shownInStatusBar(bar).contains(counts));
    EXPECT_FALSE(picked->isVisible()) << "no lines picked yet";

    // The mouse goes over the "数据" menu and along its items.
    QMenuBar *menus = window->menuBar();
    QMenu *data = window->menu(QStringLiteral("数据"));
    QTest::mouseClick(
        menus, Qt::LeftButton, {}, menus->actionGeometry(data->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return data->isVisible(); }));
    for (QAction *item : data->actions())
        if (!item->isSeparator())
            QTest::mouseMove(data, data->actionGeometry(item).center());
    closePopUpMenu();
    EXPECT_TRUE(shownInStatusBar(bar).contains(counts))
        << "a menu does not wipe the counts: " << shownInStatusBar(bar).toStdString();

    dragRows(6, 8);
    EXPECT_EQ(picked->text(), QStringLiteral("已选 3/9 行"));
    EXPECT_TRUE(picked->isVisible());
    dragRows(10, 10);
    EXPECT_EQ(picked->text(), QStringLiteral("已选 4/9 行"));
    trigger(QStringLiteral("刷新显示"));
    EXPECT_FALSE(picked->isVisible()) << "a refresh forgets the picked lines";

    trigger(QStringLiteral("备份数据库"));
    EXPECT_EQ(result->text(), QStringLiteral("数据库已备份为 2011年3月7日9时5分.zrb"));
    ASSERT_TRUE(QFile::exists(backupFolder() + QStringLiteral("/2011年3月7日9时5分.zrb")));

    // A workbook in the list is no stock: the bar says so and how to add it.
    const QString csv = QDir(state.programDir).filePath(QStringLiteral("到货.csv"));
    {
        QFile file(csv);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("到货单,,,,,,,\n序号,品名,规格,单位,数量,单价,金额,报警\n"
                   "1,电缆,YJV-3x95,米,100,85,8500,10\n");
    }
    prompts.answer(csv);
    trigger(QStringLiteral("从电子表读"));
    EXPECT_EQ(shownText(2, 1), QStringLiteral("电缆"));
    EXPECT_TRUE(list->text().contains(QStringLiteral("到货.csv"))) << list->text().toStdString();
    EXPECT_TRUE(list->text().contains(QStringLiteral("不是库存")));
    EXPECT_TRUE(list->text().contains(QStringLiteral("加入数据库")));
    EXPECT_EQ(prompts.shown().back().dialogTitle, QStringLiteral("从电子表读"));

    trigger(QStringLiteral("刷新显示"));
    EXPECT_EQ(list->text(), counts);
    EXPECT_EQ(result->text(), QStringLiteral("数据库已备份为 2011年3月7日9时5分.zrb"))
        << "the last result stays until another command tells its own";
}

TEST_F(MainWindowDesktopTest, FiveRefreshesCtrlFSearchesAndThreeGoesOn)
{
    dragRows(6, 8);
    ASSERT_EQ(state.issueLines.size(), 3);
    pressKey(Qt::Key_F5);
    EXPECT_TRUE(state.issueLines.isEmpty()) << "F5 is 刷新显示";

    // Ctrl+F asks what to look for in the cursor's column.
    click(2, 1);
    prompts.clearShown();
    prompts.answer(QStringLiteral("材料2"));
    pressKey(Qt::Key_F, Qt::ControlModifier);
    ASSERT_FALSE(prompts.shown().empty());
    EXPECT_EQ(prompts.shown().front().kind, QStringLiteral("inputText"));
    EXPECT_EQ(grid->cursorRow(), 21) << "材料20";
    closePopUpMenu();

    // F3 goes on to the next one without asking again.
    prompts.clearShown();
    pressKey(Qt::Key_F3);
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_EQ(grid->cursorRow(), 22) << "材料21";
    closePopUpMenu();

    // Ctrl+F in the middle of a search starts a new one.
    prompts.answer(QStringLiteral("盘点"));
    pressKey(Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown().front().kind, QStringLiteral("inputText"));
    EXPECT_EQ(grid->cursorRow(), 5);
    closePopUpMenu();
}

TEST_F(MainWindowDesktopTest, NumbersStandOnTheRightOfTheirCellsTextsOnTheLeft)
{
    for (int row : {2, 5, 31}) {
        for (int c = 1; c <= 3; ++c)
            EXPECT_EQ(alignmentOf(grid, row, c) & Qt::AlignHorizontal_Mask, Qt::AlignLeft)
                << row << "," << c;
        for (int c = 4; c <= 7; ++c)
            EXPECT_EQ(alignmentOf(grid, row, c), Qt::AlignRight | Qt::AlignVCenter)
                << row << "," << c;
    }
    for (int c = 1; c <= 7; ++c)
        EXPECT_EQ(alignmentOf(grid, 1, c), Qt::AlignCenter) << "header " << c;
}

TEST_F(MainWindowDesktopTest, PickedRowsAreYellowOnDarkAndFoundRowsStayOnWhite)
{
    const QColor yellow(255, 255, 0);
    dragRows(6, 7);
    for (int c = 1; c <= 7; ++c) {
        EXPECT_EQ(shownColor(6, c), yellow) << "the colour the storekeeper knows";
        const QColor ground = backgroundOf(grid, 6, c);
        EXPECT_LT(ground.lightnessF(), 0.3) << "column " << c;
    }
    // A refresh gives the lines up, and their marks with them.
    trigger(QStringLiteral("刷新显示"));
    EXPECT_EQ(backgroundOf(grid, 7, 1), QColor(Qt::white));

    click(2, 1);
    prompts.answer(QStringLiteral("材料9"));
    trigger(QStringLiteral("项目查找"));
    closePopUpMenu();
    ASSERT_EQ(grid->cursorRow(), 10);
    EXPECT_EQ(shownColor(10, 1), yellow) << "a found row";
    EXPECT_EQ(backgroundOf(grid, 10, 1), QColor(Qt::white)) << "told apart from picked rows";
}

TEST_F(MainWindowDesktopTest, LongCommandsWorkUnderTheWaitCursorAndEndWithoutIt)
{
    const auto busyWhenShown = [&](const QString &kind) {
        for (const ScriptedPrompts::Shown &shown : prompts.shown())
            if (shown.kind == kind)
                return shown.busy;
        ADD_FAILURE() << "no " << kind.toStdString() << " was shown";
        return false;
    };

    trigger(QStringLiteral("备份数据库"));
    EXPECT_TRUE(busyWhenShown(QStringLiteral("message")));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    prompts.clearShown();
    trigger(QStringLiteral("导入  备份 "));
    EXPECT_TRUE(busyWhenShown(QStringLiteral("open")));
    EXPECT_EQ(prompts.shown().front().dialogTitle, QStringLiteral("导入备份"));

    prompts.clearShown();
    trigger(QStringLiteral("从电子表读"));
    EXPECT_TRUE(busyWhenShown(QStringLiteral("open")));

    prompts.clearShown();
    click(2, 1);
    trigger(QStringLiteral("取消出库"));
    EXPECT_TRUE(busyWhenShown(QStringLiteral("message")))
        << prompts.messages().join(u'|').toStdString();

    prompts.clearShown();
    trigger(QStringLiteral("清空数据库"));
    EXPECT_TRUE(busyWhenShown(QStringLiteral("message")));

    prompts.clearShown();
    trigger(QStringLiteral("加入数据库"));
    EXPECT_TRUE(busyWhenShown(QStringLiteral("message")));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "every command ends its wait";
}

} // namespace
