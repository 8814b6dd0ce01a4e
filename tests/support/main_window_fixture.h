#pragma once

// The main window over a program directory of its own, as main() makes it:
// MainWindowFixture with an empty stock file, StockWindowTest on screen over
// thirty items with the means to use it as the storekeeper does (mouse
// presses, drags and key presses go to whatever widget is under the mouse or
// has the focus, and commands are triggered through the window's own menu
// actions).

#include "app/main_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "grid/grid.h"
#include "support/scripted_prompts.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

struct ListedItem
{
    QString name;
    QString spec;
    double quantity;
    double alarm;
    bool low; // what the storekeeper expects to see in purple
};

// A program directory with an empty stock file; makeWindow() makes the main
// window over it, with the commands main() installs when asked.
class MainWindowFixture : public testing::Test
{
protected:
    void SetUp() override;

    void makeWindow(bool withCommands);
    QString stockPath() const;
    QString backupFolder() const;
    // Reads a spreadsheet laid out as the warehouse keeps it (two title rows,
    // items from row 3) into the list through 从电子表读.
    void readSpreadsheet(const QString &items);
    // The records a file holds; -1 when it does not open.
    static int recordsIn(const QString &path);

    QTemporaryDir dir;
    AppState state;
    RecordStore store;
    ScriptedPrompts prompts;
    FixedClock clock {QDateTime(QDate(2011, 3, 7), QTime(9, 5))};
    std::unique_ptr<MainWindow> window;
};

class StockWindowTest : public MainWindowFixture
{
protected:
    static constexpr double price = 12.5;
    static const QString nineLineMessage;
    static const QString firstItemHistory;

    // Thirty items. The first three sit on the edges of the low-stock rule;
    // every seventh of the rest has run low.
    static QList<ListedItem> makeItems();

    void SetUp() override;
    void TearDown() override;

    // Writes through a connection of its own, as another part of the program
    // would; the window sees it at its next refresh.
    void addItems(const QList<ListedItem> &list);
    int lowCount() const;
    void trigger(const QString &caption);
    // Runs a command whose window is modal; `inside` sees that window from
    // within its loop, and the window is closed afterwards.
    void runModal(const QString &caption, const std::function<void(QWidget *)> &inside);

    // The list as shown: the texts of every cell the grid's model offers.
    QStringList shownTexts() const;
    QString shownText(int row, int column) const;
    // The list as shown, for checking many cells as one table.
    auto shownCells() const
    {
        return [this](int row, int column) {
            return shownText(row, column);
        };
    }
    QColor shownColor(int row, int column) const;
    // Whether the whole row is drawn in one text colour.
    ::testing::AssertionResult rowDrawnIn(int row, quint32 color) const;

    // Where a cell is on screen: the widget the mouse meets there (the header
    // pane for the frozen row, an editor if one lies over it) and a point in it.
    static std::pair<QWidget *, QPoint> spotIn(const Grid *g, int row, int column);
    std::pair<QWidget *, QPoint> spot(int row, int column) const
    {
        return spotIn(grid, row, column);
    }
    static void clickCell(const Grid *g, int row, int column);
    static void doubleClickCell(const Grid *g, int row, int column);
    // Presses on one cell, moves row by row (then column by column) to the
    // other and lets go, as a hand on the mouse does.
    void drag(int fromRow, int fromColumn, int toRow, int toColumn);
    void dragRows(int fromRow, int toRow, int column = 1) { drag(fromRow, column, toRow, column); }
    void click(int row, int column) { drag(row, column, row, column); }
    // Types on the keyboard: the keys go to the widget that has the focus.
    void typeKeys(const QString &text);
    void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = {});

    // Cell for cell, text and format, the list shown is the one a build of
    // the stock file gives now, and so are the title and the status line.
    void expectListAsBuilt();

    QStringList pickedNames() const;
    // The names of the items in rows first..last.
    QStringList namesOfRows(int first, int last) const;
    // The stock quantity of an item as the stock file holds it.
    double stockOf(const QString &name) const;

    QFont savedFont;
    const QList<ListedItem> items = makeItems();
    Grid *grid = nullptr;
};
