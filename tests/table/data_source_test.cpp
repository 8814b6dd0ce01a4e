#include "support/cell_texts.h"
#include "table/data_source.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(DataSource, CellsOutsideTheTableReadEmptyAndIgnoreWrites)
{
    DataSource t;
    t.setSize(2, 3);
    t.setText(2, 3, QStringLiteral("x"));
    t.setText(3, 1, QStringLiteral("lost"));
    t.setText(0, 1, QStringLiteral("lost"));
    EXPECT_TRUE(hasCellTexts(t, {{2, 3, u"x"}, {3, 1, u""}, {1, 4, u""}}));
    EXPECT_EQ(t.number(9, 9), 0.0);

    // Growing keeps what was there; shrinking drops what falls outside.
    t.setSize(4, 5);
    EXPECT_EQ(t.text(2, 3), QStringLiteral("x"));
    t.setSize(2, 2);
    t.setSize(2, 3);
    EXPECT_EQ(t.text(2, 3), QString());
}

TEST(DataSource, RowsAndColumnsAreAppendedAndInserted)
{
    DataSource t;
    t.setSize(1, 3);
    for (int c = 1; c <= 3; ++c)
        t.setText(1, c, QString::number(c));
    QSignalSpy appended(&t, &DataSource::rowsAppended);
    t.appendRows(2);
    EXPECT_EQ(t.rowCount(), 3);
    ASSERT_EQ(appended.size(), 1);
    EXPECT_EQ(appended[0][0].toInt(), 2);
    EXPECT_EQ(appended[0][1].toInt(), 2);

    t.merge({1, 2, 1, 2});
    t.setColumnWidths(3, 1, 700);
    t.insertColumns(2, 2);
    EXPECT_EQ(t.columnCount(), 5);
    EXPECT_TRUE(hasCellTexts(t, {{1, 1, u"1"}, {1, 2, u""}, {1, 4, u"2"}, {1, 5, u"3"}}));
    EXPECT_EQ(t.columnWidth(5), 700);
    EXPECT_EQ(t.spanAt(1, 5), (CellRange {1, 4, 1, 2})) << "merges move with their cells";

    t.insertColumns(6, 1); // appending a column
    EXPECT_EQ(t.columnCount(), 6);

    t.setText(2, 1, QStringLiteral("a"));
    t.setText(3, 6, QStringLiteral("b"));
    t.clearTexts({2, 1, 5, 5});
    EXPECT_EQ(t.text(2, 1), QString());
    EXPECT_EQ(t.text(3, 6), QStringLiteral("b"));
}

TEST(DataSource, AppendsAllRowsOfAnotherProvider)
{
    DataSource source;
    source.setSize(3, 4);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 4; ++c)
            source.setText(r, c, QStringLiteral("%1.%2").arg(r).arg(c));
    DataSource t;
    t.setSize(1, 3);
    ASSERT_TRUE(t.appendRowsFrom(source));
    EXPECT_EQ(t.rowCount(), 4);
    EXPECT_EQ(t.text(4, 3), QStringLiteral("3.3")) << "extra provider columns are dropped";
    EXPECT_EQ(t.text(4, 4), QString());

    ASSERT_TRUE(t.appendRowsFrom(t)) << "a table can take its own rows";
    EXPECT_EQ(t.rowCount(), 8);
    EXPECT_EQ(t.text(8, 1), QStringLiteral("3.1"));
}

TEST(DataSource, CurrentRowIsClampedToTheTable)
{
    DataSource t;
    t.setSize(10, 1);
    t.goToRow(5);
    EXPECT_EQ(t.currentRow(), 5);
    t.moveRows(100);
    EXPECT_EQ(t.currentRow(), 10);
    t.moveRows(-100);
    EXPECT_EQ(t.currentRow(), 1);
    t.goToRow(7);
    t.goToFirstRow();
    EXPECT_EQ(t.currentRow(), 1);
    t.goToRow(9);
    t.setSize(3, 1);
    EXPECT_EQ(t.currentRow(), 3);
}

TEST(DataSource, FormatsChangeOnlyTheirOwnProperty)
{
    DataSource t;
    CellFormat standard;
    t.setDefaultFormat(standard);
    t.setSize(3, 3);
    t.setTextColor({2, 1, 1, 3}, rgbColor(128, 0, 128));
    t.setFontSize({1, 1, 3, 3}, 70);
    t.setStyle({1, 1, 1, 3}, CellFormat::Bold);
    t.setAlignment({1, 1, 3, 3}, CellFormat::Centre);
    t.setBackground({3, 3, 1, 1}, rgbColor(0, 116, 174));

    EXPECT_EQ(t.format(2, 2).textColor, 0x800080u);
    EXPECT_EQ(t.format(2, 2).fontSize, 70);
    EXPECT_EQ(t.format(2, 2).style, 0);
    EXPECT_EQ(t.format(1, 3).style, int(CellFormat::Bold));
    EXPECT_EQ(t.format(1, 3).textColor, 0u);
    EXPECT_EQ(t.format(3, 3).background, 0xAE7400u);
    EXPECT_EQ(t.format(3, 3).alignment, 5);
    EXPECT_EQ(t.fontName(3, 3), QStringLiteral("宋体"));

    // Font names are cut at 30 GBK bytes without splitting a character.
    const QString longName = QString(16, QChar(0x5B8B)); // 16 x 宋 = 32 bytes
    t.setFontName({1, 1, 1, 1}, longName);
    EXPECT_EQ(t.fontName(1, 1), QString(15, QChar(0x5B8B)));

    // New cells take the default format; old cells keep theirs.
    CellFormat big;
    big.fontSize = 85;
    t.setDefaultFormat(big);
    t.appendRows(1);
    EXPECT_EQ(t.fontSize(4, 1), 85);
    EXPECT_EQ(t.fontSize(3, 1), 70);
    EXPECT_EQ(t.fontSize(99, 1), 85) << "cells outside read the default";
}

TEST(DataSource, BordersFollowTheFlags)
{
    DataSource t;
    t.setSize(4, 4);
    t.setBorders({1, 1, 2, 2}); // outline only
    EXPECT_EQ(t.edges(1, 1), BorderLeft | BorderTop);
    EXPECT_EQ(t.edges(1, 2), BorderTop | BorderRight);
    EXPECT_EQ(t.edges(2, 1), BorderLeft | BorderBottom);
    EXPECT_EQ(t.edges(2, 2), BorderRight | BorderBottom);

    t.setBorders({1, 1, 3, 3}, BorderAll);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c)
            EXPECT_EQ(t.edges(r, c), BorderOutline) << r << "," << c;
    EXPECT_EQ(t.edges(4, 4), 0);

    t.setBorders({1, 1, 3, 3}, BorderInnerHorizontal);
    EXPECT_EQ(t.edges(2, 2), BorderTop | BorderBottom);
    EXPECT_EQ(t.edges(1, 1), BorderBottom);
    t.setBorders({3, 3, 5, 5}, BorderAll); // clipped to the table
    EXPECT_EQ(t.edges(4, 4), BorderOutline);
}

TEST(DataSource, MergesReplaceWhatTheyOverlap)
{
    DataSource t;
    t.setSize(15, 6);
    t.merge({2, 1, 1, 2});
    t.merge({2, 3, 1, 3});
    EXPECT_EQ(t.merges().size(), 2);
    EXPECT_EQ(t.spanAt(2, 5), (CellRange {2, 3, 1, 3}));
    EXPECT_EQ(t.spanAt(2, 6), (CellRange {2, 6, 1, 1}));
    t.merge({1, 1, 2, 6});
    EXPECT_EQ(t.merges().size(), 1);
    t.merge({1, 1, 1, 1}); // a single cell unmerges
    EXPECT_TRUE(t.merges().isEmpty());
    t.merge({14, 5, 5, 5});
    EXPECT_EQ(t.spanAt(15, 6), (CellRange {14, 5, 2, 2}));
    t.setSize(14, 6);
    EXPECT_TRUE(t.merges().isEmpty()) << "a merge reaching outside the table is dropped";
}

TEST(DataSource, LayoutKeepsWidthsHeightsAndHeaderCounts)
{
    DataSource t;
    t.setSize(3, 7);
    t.setColumnWidths(1, 2, 850);
    t.setColumnWidths(3, 1, 150);
    t.setRowHeights(1, 1, 100);
    t.setHeaderRows(1);
    EXPECT_EQ(t.columnWidth(1), 850);
    EXPECT_EQ(t.columnWidth(2), 850);
    EXPECT_EQ(t.columnWidth(3), 150);
    EXPECT_EQ(t.columnWidth(4), DataSource::defaultColumnWidth);
    EXPECT_EQ(t.columnWidth(8), 0);
    EXPECT_EQ(t.rowHeight(1), 100);
    EXPECT_EQ(t.rowHeight(2), DataSource::defaultRowHeight);
    EXPECT_EQ(t.headerRows(), 1);

    t.reset();
    EXPECT_EQ(t.rowCount(), 0);
    EXPECT_EQ(t.headerRows(), 0);
    EXPECT_TRUE(t.merges().isEmpty());
}

TEST(DataSource, ChangesAreSignalledForViews)
{
    DataSource t;
    t.setSize(3, 3);
    QSignalSpy cells(&t, &DataSource::cellsChanged);
    QSignalSpy layout(&t, &DataSource::layoutReset);
    t.setText(2, 2, QStringLiteral("x"));
    t.setTextColor({1, 1, 3, 3}, 1);
    t.merge({1, 1, 1, 3});
    ASSERT_EQ(cells.size(), 2);
    EXPECT_EQ(cells[0], (QList<QVariant> {2, 2, 1, 1}));
    EXPECT_EQ(cells[1], (QList<QVariant> {1, 1, 3, 3}));
    EXPECT_EQ(layout.size(), 1);
}

} // namespace
