#include "app/main_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "support/main_window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct ExpectedMenu
{
    QString title;
    QStringList items; // "-" for a separator
};

// The menu bar as the storekeeper knows it, blanks included.
const QList<ExpectedMenu> expectedMenus {
    {"数据", {"备份数据库", "导入  备份 ", "-", "从电子表读", "加入数据库", "-", "清空数据库"}},
    {"编辑",
        {"刷新显示", "-", "项目编辑", "-", "取消进库", "取消出库", "-", "进出库簿", "项目查找", "-",
            "开票预览"}},
    {"统计", {"本日出库", "本月出库", "本年出库", "-", "本日进库", "本月进库", "本年进库"}},
    {"参数", {"参数配置"}},
};

QStringList shownItems(const QMenu *menu)
{
    QStringList items;
    for (const QAction *action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

class MainWindowTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        makeWindow(false);
    }

    void touch(const QString &name)
    {
        QFile file(state.path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write("x");
    }
    bool exists(const QString &name) const { return QFile::exists(state.path(name)); }
};

TEST_F(MainWindowTest, MenuBarHasEveryCommandInOrderWithExactCaptions)
{
    const QList<QAction *> topActions = window->menuBar()->actions();
    ASSERT_EQ(topActions.size(), expectedMenus.size());
    for (qsizetype i = 0; i < expectedMenus.size(); ++i) {
        const ExpectedMenu &expected = expectedMenus[i];
        const QMenu *menu = topActions[i]->menu();
        ASSERT_NE(menu, nullptr) << expected.title.toStdString();
        EXPECT_EQ(menu->title(), expected.title);
        EXPECT_EQ(menu->objectName(), expected.title);
        EXPECT_EQ(menu->accessibleName(), expected.title);
        EXPECT_EQ(window->menu(expected.title), menu);
        EXPECT_EQ(shownItems(menu), expected.items) << expected.title.toStdString();
    }
}

TEST_F(MainWindowTest, CommandsAreFoundByCaptionAndNamedForTools)
{
    for (const ExpectedMenu &expected : expectedMenus) {
        for (const QString &caption : expected.items) {
            if (caption == QStringLiteral("-"))
                continue;
            QAction *command = window->action(caption);
            ASSERT_NE(command, nullptr) << caption.toStdString();
            EXPECT_TRUE(window->menu(expected.title)->actions().contains(command));
            EXPECT_EQ(command->objectName(), caption.trimmed());
            EXPECT_FALSE(command->text().contains(u'&')) << "no mnemonics";
        }
    }
    // The restore command is known only by its caption with both blanks.
    EXPECT_NE(window->action(QStringLiteral("导入  备份 ")), nullptr);
    EXPECT_EQ(window->action(QStringLiteral("导入  备份")), nullptr);
    EXPECT_EQ(window->action(QStringLiteral("导入 备份 ")), nullptr);
    EXPECT_EQ(window->findChild<QAction *>(QStringLiteral("导入  备份")),
        window->action(QStringLiteral("导入  备份 ")));
}

TEST_F(MainWindowTest, CommandIsOfferedOnlyOnceItHasAHandler)
{
    QAction *backup = window->action(QStringLiteral("备份数据库"));
    ASSERT_NE(backup, nullptr);
    EXPECT_FALSE(backup->isEnabled());

    int first = 0;
    int second = 0;
    ASSERT_TRUE(window->setCommand(QStringLiteral("备份数据库"), [&] { ++first; }));
    EXPECT_TRUE(backup->isEnabled());
    backup->trigger();
    EXPECT_EQ(first, 1);

    ASSERT_TRUE(window->setCommand(QStringLiteral("备份数据库"), [&] { ++second; }));
    backup->trigger();
    EXPECT_EQ(first, 1) << "a new handler replaces the old one";
    EXPECT_EQ(second, 1);

    EXPECT_FALSE(window->setCommand(QStringLiteral("备份"), [] {}));
    EXPECT_FALSE(window->action(QStringLiteral("清空数据库"))->isEnabled())
        << "other commands are untouched";
}

TEST_F(MainWindowTest, AnEmptyStockFileShowsTheHeaderRowOnly)
{
    Grid *grid = window->stockGrid();
    ASSERT_NE(grid, nullptr);
    EXPECT_EQ(window->findChild<Grid *>(QStringLiteral("表格1")), grid);
    EXPECT_EQ(grid->accessibleName(), QStringLiteral("库存列表"));
    EXPECT_EQ(window->stockTable().rowCount(), 1);
    EXPECT_EQ(window->stockTable().text(1, 1), QStringLiteral("材  料  品  名"));
    EXPECT_EQ(window->windowTitle(), MainWindow::baseTitle());
    EXPECT_TRUE(prompts.shown().empty()) << "opening the window asks nothing";

    // The empty list says what to do first.
    const QLabel *hint = window->emptyHint();
    EXPECT_FALSE(hint->isHidden());
    EXPECT_TRUE(
        hint->text().contains(QRegularExpression(QStringLiteral("参数配置.*从电子表读.*项目编辑"),
            QRegularExpression::DotMatchesEverythingOption)));
    EXPECT_TRUE(window->listStatus()->text().startsWith(QStringLiteral("库存中还没有材料")));
    store.closePath(stockPath());
    ASSERT_TRUE(
        store.open(stockPath(), QStringLiteral("w")) && store.add({QStringLiteral("电缆")}));
    store.close(QStringLiteral("w"));
    window->refresh();
    EXPECT_TRUE(hint->isHidden()) << "a stock of one item is the list alone";
}

TEST_F(MainWindowTest, RightClickOnTheGridPopsUpTheEditMenu)
{
    window->show();
    Grid *grid = window->stockGrid();
    QMenu *edit = window->editMenu();
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit, window->menu(QStringLiteral("编辑")));
    ASSERT_FALSE(edit->isVisible());

    const QPoint local(40, 10);
    QTest::mousePress(grid->viewport(), Qt::RightButton, {}, local);
    EXPECT_TRUE(edit->isVisible());
    EXPECT_EQ(edit->pos(), grid->viewport()->mapToGlobal(local));
    QTest::mouseRelease(grid->viewport(), Qt::RightButton, {}, local);
    edit->hide();
}

TEST_F(MainWindowTest, DestructionRemovesTheTemporaryFilesOnly)
{
    // A display copy, the statistics files and journals of an interrupted
    // write lie beside the stock file.
    for (const QString name : {"data2.zrb", "data2.zrb-journal", "qd.zrb", "qd.zrb-journal",
             "qd4.zrb", "qd4.zrb-journal", "data.zrb-journal", "qd.txt", "qd5.zrb"})
        touch(name);

    window.reset();

    for (const QString name : {"data2.zrb", "data2.zrb-journal", "qd.zrb", "qd.zrb-journal",
             "qd4.zrb", "qd4.zrb-journal"})
        EXPECT_FALSE(exists(name)) << name.toStdString();
    EXPECT_FALSE(store.isPathOpen(state.path(QStringLiteral("data2.zrb"))));

    // The stock file, its journal and anything else stay.
    for (const QString name : {"data.zrb", "data.edt", "data.zrb-journal", "qd.txt", "qd5.zrb"})
        EXPECT_TRUE(exists(name)) << name.toStdString();
    EXPECT_TRUE(store.isOpen(Stock::alias())) << "the stock file stays open";
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(MainWindowTest, DestructionIsQuietWhenNoStatisticsFileWasMade)
{
    window.reset();
    EXPECT_EQ(QDir(state.programDir).entryList(QDir::Files), QStringList({"data.edt", "data.zrb"}));
    EXPECT_TRUE(prompts.shown().empty());
}

// A stock file that cannot be used is told in a message box with the reason
// and the way back (a backup from 备份数据库), not only in the status bar; the
// same reason is told once.
TEST_F(MainWindowTest, AStockFileThatDoesNotOpenIsToldWithTheWayBack)
{
    window.reset();
    store.closeAll();
    const QString stock = state.path(Stock::fileName());
    const QString companion = RecordStore::companionPath(stock);
    const QString other = dir.filePath(QStringLiteral("other.zrb"));
    ASSERT_TRUE(Stock::createEmptyFile(other));
    const auto rewrite = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QList<std::pair<const char *, std::function<void()>>> damages {
        {"damaged",
            [&] {
                rewrite(stock, QByteArray(8192, char(0x5A)));
            }},
        {"foreign",
            [&] {
                rewrite(stock, "品名,规格\r\n电缆,YJV\r\n");
            }},
        {"no companion",
            [&] {
                QFile::remove(companion);
            }},
        {"another file's companion",
            [&] {
                QFile::remove(companion);
                QFile::copy(RecordStore::companionPath(other), companion);
            }},
    };
    for (const auto &[what, damage] : damages) {
        SCOPED_TRACE(what);
        QFile::remove(stock);
        QFile::remove(companion);
        ASSERT_TRUE(Stock::createEmptyFile(stock));
        damage();
        RecordStore probe;
        ASSERT_FALSE(probe.open(stock, Stock::alias()));
        prompts.clearShown();
        window = std::make_unique<MainWindow>(state, store, prompts, clock);
        ASSERT_EQ(prompts.messages().size(), 1);
        const QString message = prompts.messages()[0];
        EXPECT_TRUE(message.contains(probe.lastError())) << message.toStdString();
        EXPECT_TRUE(message.contains(QStringLiteral("备份数据库")));
        EXPECT_EQ(window->listStatus()->text(), QStringLiteral("库存数据文件无法打开"));
        window->refresh();
        EXPECT_EQ(prompts.messages().size(), 1) << "told once";
        window.reset();
        store.closeAll();
    }
}

// The list is read from the stock file itself: a folder in the way of the
// display copy's name (as a full disk would be) changes nothing the user sees.
TEST_F(MainWindowTest, AStockFileWithoutItsDisplayCopyIsShownFromTheFileItself)
{
    window.reset();
    store.closeAll();
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(state.path(Stock::fileName()), Stock::alias()));
        ASSERT_TRUE(writer.add(
            {QStringLiteral("电缆"), QStringLiteral("YJV"), QStringLiteral("米"), 12, 2.5, 30}));
    }
    ASSERT_TRUE(QDir(state.programDir).mkpath(Stock::displayFileName()));
    window = std::make_unique<MainWindow>(state, store, prompts, clock);
    ASSERT_EQ(window->stockTable().rowCount(), 2);
    EXPECT_EQ(window->stockTable().text(2, 1), QStringLiteral("电缆"));
    EXPECT_EQ(window->stockTable().text(2, 6), QStringLiteral("30"));
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(window->listStatus()->text(),
        QStringLiteral("共 1 项材料，其中 0 项库存数量不高于报警数量"));
}

} // namespace
