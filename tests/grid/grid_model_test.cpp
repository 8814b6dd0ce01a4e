#include "grid/grid_format.h"
#include "grid/grid_model.h"
#include "table/data_source.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QFont>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

void fill(DataSource &table, int rows, int columns)
{
    table.setSize(rows, columns);
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c)
            table.setText(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
}

TEST(GridModel, PassesTheModelTesterThroughEveryKindOfChange)
{
    DataSource table;
    fill(table, 4, 3);
    table.setHeaderRows(1);
    table.merge({2, 1, 2, 2});
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    model.setDataSource(&table);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.columnCount(), 3);

    table.setText(3, 2, QStringLiteral("changed"));
    table.setTextColor({1, 1, 4, 3}, rgbColor(128, 0, 128));
    table.appendRows(5);
    EXPECT_EQ(model.rowCount(), 9);
    table.setSize(2, 5);
    EXPECT_EQ(model.columnCount(), 5);
    table.insertColumns(1, 2);
    EXPECT_EQ(model.columnCount(), 7);
    table.setHeaderColumns(1);
    table.reset();
    EXPECT_EQ(model.rowCount(), 0);
    fill(table, 3, 2);
    model.setDataSource(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(GridModel, AppendingFromAProviderInsertsRowsAtTheEnd)
{
    DataSource table;
    fill(table, 2, 2);
    DataSource more;
    fill(more, 3, 2);
    GridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setDataSource(&table);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    table.appendRowsFrom(more);

    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 2); // first new model row
    EXPECT_EQ(inserted[0][2].toInt(), 4);
    EXPECT_EQ(reset.size(), 0);
    EXPECT_EQ(model.index(4, 1).data().toString(), QStringLiteral("3,2"));
}

TEST(GridModel, CellChangesReachTheViewsAsDataChangedOverTheRange)
{
    DataSource table;
    fill(table, 5, 4);
    GridModel model;
    model.setDataSource(&table);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    table.setBackground({2, 2, 3, 2}, rgbColor(0, 255, 255));
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(1, 1));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(3, 2));

    // A range reaching past the table is clipped to it.
    table.setBorders({4, 3, 10, 10});
    ASSERT_EQ(changed.size(), 2);
    EXPECT_EQ(changed[1][1].toModelIndex(), model.index(4, 3));
}

TEST(GridModel, RolesCarryTheCellFormat)
{
    DataSource table;
    fill(table, 2, 2);
    CellFormat format;
    format.alignment = 9;
    format.textColor = rgbColor(255, 0, 0);
    format.background = 0x00FFFF; // yellow in 0xBBGGRR
    format.fontName = QStringLiteral("黑体");
    format.fontSize = 70;
    format.style = CellFormat::Bold | CellFormat::StrikeOut;
    table.setFormat({2, 2, 1, 1}, format);
    table.setBorders({2, 2, 1, 1}, BorderLeft | BorderBottom);

    GridModel model;
    model.setDataSource(&table);
    model.setFontScale(96.0 / 254.0 * 2); // 96 dpi at 200 %
    const QModelIndex cell = model.index(1, 1);

    EXPECT_EQ(cell.data(Qt::DisplayRole).toString(), QStringLiteral("2,2"));
    EXPECT_EQ(cell.data(Qt::EditRole).toString(), QStringLiteral("2,2"));
    EXPECT_EQ(qvariant_cast<QBrush>(cell.data(Qt::ForegroundRole)).color(), QColor(255, 0, 0));
    EXPECT_EQ(qvariant_cast<QBrush>(cell.data(Qt::BackgroundRole)).color(), QColor(255, 255, 0));
    EXPECT_EQ(qvariant_cast<Qt::Alignment>(cell.data(Qt::TextAlignmentRole)),
        Qt::AlignBottom | Qt::AlignRight);
    const QFont font = qvariant_cast<QFont>(cell.data(Qt::FontRole));
    EXPECT_EQ(font.family(), QStringLiteral("黑体"));
    EXPECT_EQ(font.pixelSize(), qRound(70 * 96.0 / 254.0 * 2)); // 53
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.strikeOut());
    EXPECT_FALSE(font.italic());
    EXPECT_FALSE(font.underline());
    EXPECT_EQ(cell.data(GridModel::EdgesRole).toInt(), BorderLeft | BorderBottom);

    // The untouched cell has the standard format.
    const QModelIndex plain = model.index(0, 0);
    EXPECT_EQ(qvariant_cast<Qt::Alignment>(plain.data(Qt::TextAlignmentRole)),
        Qt::AlignVCenter | Qt::AlignLeft);
    EXPECT_EQ(qvariant_cast<QFont>(plain.data(Qt::FontRole)).pixelSize(), 24);
}

TEST(GridFormat, AlignmentCodesFollowReadingOrder)
{
    EXPECT_EQ(cellAlignment(1), Qt::AlignTop | Qt::AlignLeft);
    EXPECT_EQ(cellAlignment(2), Qt::AlignTop | Qt::AlignHCenter);
    EXPECT_EQ(cellAlignment(4), Qt::AlignVCenter | Qt::AlignLeft);
    EXPECT_EQ(cellAlignment(5), Qt::AlignVCenter | Qt::AlignHCenter);
    EXPECT_EQ(cellAlignment(6), Qt::AlignVCenter | Qt::AlignRight);
    EXPECT_EQ(cellAlignment(7), Qt::AlignBottom | Qt::AlignLeft);
    // Codes out of range fall back to middle left rather than to nothing.
    EXPECT_EQ(cellAlignment(0), Qt::AlignVCenter | Qt::AlignLeft);
    EXPECT_EQ(cellAlignment(10), Qt::AlignVCenter | Qt::AlignLeft);
    // Red sits in the low byte.
    EXPECT_EQ(cellColor(rgbColor(0, 116, 174)), QColor(0, 116, 174));
    EXPECT_EQ(cellColor(0x800080), QColor(128, 0, 128));
}

TEST(GridModel, OnlyEditsThroughTheModelAreReportedAsUserEdits)
{
    DataSource table;
    fill(table, 3, 3);
    GridModel model;
    model.setDataSource(&table);
    QSignalSpy edited(&model, &GridModel::cellEdited);

    table.setText(2, 2, QStringLiteral("by code"));
    EXPECT_EQ(edited.size(), 0);

    EXPECT_TRUE(model.setData(model.index(2, 1), QStringLiteral("typed")));
    EXPECT_EQ(table.text(3, 2), QStringLiteral("typed"));
    ASSERT_EQ(edited.size(), 1);
    EXPECT_EQ(edited[0][0].toInt(), 3);
    EXPECT_EQ(edited[0][1].toInt(), 2);

    // An editor closed without a change is no edit; other roles are not edits.
    EXPECT_TRUE(model.setData(model.index(2, 1), QStringLiteral("typed")));
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("x"), Qt::DisplayRole));
    EXPECT_EQ(edited.size(), 1);
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

TEST(GridModel, AnUnboundModelListensToNothing)
{
    DataSource table;
    fill(table, 3, 3);
    GridModel model;
    model.setDataSource(&table);
    model.setDataSource(nullptr);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    table.setText(1, 1, QStringLiteral("x"));
    table.appendRows(10);
    table.setHeaderRows(1);
    EXPECT_EQ(changed.size() + reset.size() + inserted.size(), 0);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(model.setData(model.index(0, 0), QStringLiteral("x")));

    // A table that goes away leaves the model empty, not dangling.
    auto temporary = std::make_unique<DataSource>();
    fill(*temporary, 2, 2);
    model.setDataSource(temporary.get());
    temporary.reset();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.data(model.index(0, 0)), QVariant());
}

} // namespace
