#include "exchange/find_in_grid.h"

#include "grid/grid.h"
#include "support/qt_print.h"
#include "support/scripted_prompts.h"
#include "table/data_source.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

constexpr quint32 yellow = rgbColor(255, 255, 0);

class FindInGridTest : public testing::Test
{
protected:
    void SetUp() override
    {
        table.setSize(1, 3);
        table.setText(1, 1, QStringLiteral("材  料  品  名"));
        table.setText(1, 3, QStringLiteral("报警"));
        for (const char *name : {"螺栓", "xABy", "电缆", "AB线", "开关", "ab"}) {
            table.appendRows(1);
            table.setText(table.rowCount(), 1, QString::fromUtf8(name));
            table.setText(table.rowCount(), 3, QStringLiteral("ab"));
        }
        grid.setDataSource(&table);
        menu.addAction(&item);
    }

    FindInGrid mainWindowFind()
    {
        return FindInGrid(state, &item, &grid, &table, prompts, &menu,
            {QStringLiteral("查找"), QStringLiteral("项目查找"), QStringLiteral("项目查找")},
            yellow);
    }

    DataSource table;
    Grid grid;
    QMenu menu;
    QAction item {QStringLiteral("项目查找")};
    FindInGrid::State state;
    ScriptedPrompts prompts;
};

TEST_F(FindInGridTest, FindsDownwardIgnoringCaseThenWalksBack)
{
    FindInGrid find = mainWindowFind();
    prompts.answer(QStringLiteral("ab"));
    find.step();
    EXPECT_EQ(prompts.shown()[0].text, QStringLiteral("如果想在哪一列中查找,请将光标放到哪一列"));
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("请输入您想要查找的内容"));
    EXPECT_EQ(grid.cursorRow(), 3) << "xABy matches ab";
    EXPECT_EQ(item.text(), QStringLiteral("下一个"));
    EXPECT_EQ(table.format(3, 2).textColor, yellow) << "the whole row";
    EXPECT_EQ(table.format(2, 1).textColor, 0u);
    EXPECT_TRUE(menu.isVisible()) << "the edit menu opens for the next step";
    menu.hide();

    find.step();
    EXPECT_EQ(grid.cursorRow(), 5);
    find.step(); // the last row matches: found, and that was all
    EXPECT_EQ(grid.cursorRow(), 7);
    EXPECT_EQ(find.hitRows(), QList<int>({3, 5, 7}));
    EXPECT_EQ(prompts.messages(), QStringList({"对不起，没有啦！"}));
    EXPECT_EQ(prompts.shown().back().title, QStringLiteral("报告！"));
    EXPECT_EQ(item.text(), QStringLiteral("上一个"));

    find.step();
    EXPECT_EQ(grid.cursorRow(), 7);
    find.step();
    EXPECT_EQ(grid.cursorRow(), 5);
    EXPECT_EQ(item.text(), QStringLiteral("上一个"));
    find.step();
    EXPECT_EQ(grid.cursorRow(), 3);
    EXPECT_EQ(item.text(), QStringLiteral("项目查找"));
    EXPECT_EQ(prompts.pendingAnswers(), 0);
}

TEST_F(FindInGridTest, OnlyTheCursorColumnCountsAndTheHeadingComesFirst)
{
    FindInGrid find = mainWindowFind();
    grid.setCursorCell(4, 3);
    prompts.answer(QStringLiteral("AB"));
    find.step();
    EXPECT_EQ(grid.cursorRow(), 2) << "column 3 holds ab on every item row";
    EXPECT_EQ(grid.cursorColumn(), 3);

    // A new search starts at the heading row.
    state = {};
    FindInGrid heading = mainWindowFind();
    item.setText(QStringLiteral("项目查找"));
    grid.setCursorCell(5, 1);
    prompts.answer(QStringLiteral("品"));
    heading.step();
    EXPECT_EQ(grid.cursorRow(), 1);
}

TEST_F(FindInGridTest, NothingFoundOrCancelledLeavesTheSearchIdle)
{
    FindInGrid find = mainWindowFind();
    prompts.answer(QStringLiteral("不存在"));
    find.step();
    EXPECT_EQ(prompts.messages(), QStringList({"对不起，没有找到！"}));
    EXPECT_EQ(item.text(), QStringLiteral("项目查找"));
    EXPECT_TRUE(find.searchText().isEmpty());

    prompts.clearShown();
    find.step(); // no answer: cancelled
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(item.text(), QStringLiteral("项目查找"));

    table.setSize(1, 3); // the heading only
    prompts.answer(QStringLiteral("x"));
    find.step();
    EXPECT_EQ(prompts.messages(), QStringList({"对不起，没有找到！"}));
}

TEST_F(FindInGridTest, TheTableEditorKeepsItsPrefixAndAClickEndsAWalk)
{
    item.setText(QStringLiteral("&Y.查找"));
    FindInGrid find(state, &item, &grid, &table, prompts, &menu,
        {QStringLiteral("查找"), QStringLiteral("查找"), QStringLiteral("查找")},
        rgbColor(128, 0, 128));
    prompts.answer(QStringLiteral("开关"));
    find.step();
    EXPECT_EQ(item.text(), QStringLiteral("&Y.下一个"));
    EXPECT_EQ(table.format(6, 1).textColor, 0x800080u);
    find.resetCaption();
    EXPECT_EQ(item.text(), QStringLiteral("&Y.查找"));
    prompts.answer(QStringLiteral("螺栓"));
    find.step();
    EXPECT_EQ(grid.cursorRow(), 2) << "a click made the next step a new search";
}

} // namespace
