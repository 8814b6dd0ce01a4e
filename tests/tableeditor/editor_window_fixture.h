#pragma once

// The table editor over a statistics result of real bookings, opened as the
// main window opens it, with the helpers to reach its cells and its print
// window with the mouse.

#include "tableeditor/table_editor_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "support/modal_window.h"
#include "support/scripted_prompts.h"
#include "tableeditor/print_setup_window.h"
#include "tableeditor/printable_table.h"
#include "tableeditor/query_file.h"
#include "tableeditor/table_editor_state.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// Three issues of one month, amounts far apart so that a mix-up shows; the
// times as bookings have them (minutes, once seconds too).
inline QList<QueryRecord> bookings()
{
    return {
        {QStringLiteral("电力电缆"), QStringLiteral("YJV22-3x70"), QStringLiteral("米"), 25, 12,
            300, QDateTime(QDate(2026, 3, 7), QTime(9, 5))},
        {QStringLiteral("隔离开关"), QStringLiteral("GW4-12"), QStringLiteral("台"), 5, 1, 5,
            QDateTime(QDate(2026, 3, 5), QTime(14, 30))},
        {QStringLiteral("镀锌螺栓"), QStringLiteral("M16x60"), QStringLiteral("套"), 0.5, 80, 40,
            QDateTime(QDate(2026, 3, 12), QTime(16, 45, 20))},
    };
}

// Name → (amount, date) as the editor shows them.
inline const QHash<QString, QStringList> &shown()
{
    static const QHash<QString, QStringList> texts {
        {QStringLiteral("电力电缆"), {QStringLiteral("300"), QStringLiteral("2026年3月7日9时5分")}},
        {QStringLiteral("隔离开关"), {QStringLiteral("5"), QStringLiteral("2026年3月5日14时30分")}},
        {QStringLiteral("镀锌螺栓"),
            {QStringLiteral("40"), QStringLiteral("2026年3月12日16时45分20秒")}},
    };
    return texts;
}

class EditorWindowFixture : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state.programDir = dir.path();
        writeQueryFile(state.path(QStringLiteral("qd.zrb")), queryRecords());
        ASSERT_TRUE(Stock::createEmptyFile(state.path(Stock::fileName())));
        ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    }

    // The statistics result the editor opens on.
    virtual QList<QueryRecord> queryRecords() const { return bookings(); }

    // Another statistics result in place of the bookings.
    void replaceQueryFile(const QList<QueryRecord> &records)
    {
        ASSERT_TRUE(QFile::remove(state.path(QStringLiteral("qd.zrb"))));
        writeQueryFile(state.path(QStringLiteral("qd.zrb")), records);
    }

    std::unique_ptr<TableEditorWindow> openEditor()
    {
        auto w
            = std::make_unique<TableEditorWindow>(state, store, prompts, clock, editorState, place);
        w->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        EXPECT_TRUE(activated(w.get()));
        return w;
    }

    // Where the user sees a cell: the widget under the mouse there and the
    // point in it.
    static std::pair<QWidget *, QPoint> spot(QWidget *window, const QPoint &inWindow)
    {
        QWidget *under = window->childAt(inWindow);
        EXPECT_NE(under, nullptr);
        return {under, under ? under->mapFrom(window, inWindow) : QPoint()};
    }

    static QRect cellRect(QWidget *window, Grid *grid, int row, int column)
    {
        const QRect r = grid->visualRect(grid->model()->index(row - 1, column - 1));
        return QRect(grid->viewport()->mapTo(window, r.topLeft()), r.size());
    }

    static void click(QWidget *window, Grid *grid, int row, int column)
    {
        const auto [widget, point] = spot(window, cellRect(window, grid, row, column).center());
        QTest::mouseClick(widget, Qt::LeftButton, {}, point);
    }

    // A sort by the column under a click in the header row, and the window
    // the caller's loop opens next.
    std::unique_ptr<TableEditorWindow> sorted(
        std::unique_ptr<TableEditorWindow> w, int column, const char *command)
    {
        click(w.get(), w->grid(), 1, column);
        w->action(QString::fromUtf8(command))->trigger();
        EXPECT_TRUE(w->reopenSorted());
        w.reset();
        return openEditor();
    }

    PrintSetupWindow *generate(TableEditorWindow *w)
    {
        w->action(QStringLiteral("&C.生成打印表格"))->trigger();
        auto *print = w->findChild<PrintSetupWindow *>();
        EXPECT_NE(print, nullptr);
        if (print)
            print->setPdfOutput(dir.filePath(QStringLiteral("table.pdf")));
        return print;
    }

    // The data rows of a printable table: name, amount, date.
    static QList<QStringList> printedRows(const DataSource &t)
    {
        QList<QStringList> rows;
        for (int r = PrintableTable::firstDataRow; r < t.rowCount(); ++r)
            rows << QStringList {t.text(r, 1), t.text(r, 6), t.text(r, 7)};
        return rows;
    }

    QTemporaryDir dir;
    AppState state;
    RecordStore store;
    ScriptedPrompts prompts;
    FixedClock clock {QDateTime(QDate(2026, 3, 31), QTime(17, 30))};
    TableEditorState editorState;
    QRect place {40, 30, 900, 600};
};
