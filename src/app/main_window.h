#pragma once

#include "app/stock_list.h"
#include "grid/grid.h"
#include "table/data_source.h"
#include "ui/command_set.h"

#include <QMainWindow>
#include <QString>

#include <algorithm>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class RecordStore;
class Prompts;
class Clock;
struct AppState;

// The start-up window: the menu bar with every command of the program and the
// stock list (表格1) below it. The "编辑" menu is also the grid's context menu.
//
// The list is built once the window is made and again by refresh(), which
// the commands call after every change of the stock file and after every
// window they open has closed. A long stock file shows its first screen at
// once and the rest as it is read, while the window answers; a command or a
// pick waits for the end of the read, so none acts on part of the list. The row under the cursor is
// the selected item, however the cursor came there. Issue lines are picked deliberately: a click
// on a row, a drag over rows and a Shift-stretched block (Shift+click, Shift+cursor keys) pick
// them, also on the cursor's own row; a plain cursor move (keys) never does. Ctrl+click on a
// row un-picks it when picked and picks it otherwise; Delete un-picks the rows of the selected
// block. A block in a number column shows its sum and picks nothing.
//
// Each command is a QAction found by its caption. A command stays disabled
// until setCommand() gives it its handler, so the menu never offers a command
// that does nothing.
//
// The status bar's parts are permanent widgets, so that hovering a menu does
// not wipe them: the counts of the list (or what else it shows), the number of
// lines picked, and the result of the last command.
//
// When the window is destroyed it removes the temporary record files of the
// run (the statistics result qd.zrb and its sorted copy qd4.zrb, and a display
// copy data2.zrb if one lies there); files that were never made are no error.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    MainWindow(AppState &state, RecordStore &store, Prompts &prompts, Clock &clock,
        QWidget *parent = nullptr);
    ~MainWindow() override;

    // The title of the window while no stock item is low.
    static QString baseTitle() { return QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"); }
    // The record files removed when the window is destroyed, by name.
    static QStringList temporaryFileNames();

    // The command with exactly this caption ("导入  备份 " keeps its blanks);
    // nullptr when there is none.
    QAction *action(const QString &caption) const;
    // The top menu with this title ("数据", "编辑", "统计", "参数"); nullptr when
    // there is none.
    QMenu *menu(const QString &title) const;
    QMenu *editMenu() const { return menu(QStringLiteral("编辑")); }
    Grid *stockGrid() const { return grid_; }
    DataSource &stockTable() { return table_; }

    // Forgets the picked issue lines (their marks go with them) and rebuilds
    // the stock list from the stock file; the cursor keeps its cell. When
    // only this program changed the file since the last build, and only
    // records in place (a booking, an undo), just their rows are read again
    // and the list gets its look back (no scan). A stock file that does not
    // open is told in a message box with what to do (once for each new
    // reason).
    void refresh();
    // Whether the whole stock file is listed (a long one is read after the
    // first screen); finishReading() reads the rest at once.
    bool listComplete() const { return listBuild_.complete; }
    void finishReading();
    // How many records each part after the first screen reads; the window
    // answers between parts.
    void setLaterPartRecords(int records) { laterPartRecords_ = std::max(records, 1); }
    // The list was replaced by the rows of a spreadsheet: lines picked from
    // the stock are given up, and until the next refresh the rows are no
    // stock records.
    void showImported();

    // Connects a command to its handler (replacing an earlier one) and enables
    // it. False when there is no command with this caption.
    bool setCommand(const QString &caption, std::function<void()> handler);

    // What the empty list says a new user does first; shown over the list
    // while the stock holds no item.
    static QString emptyStockHint();
    QLabel *emptyHint() const { return emptyHint_; }

    // The status bar's parts.
    QLabel *listStatus() const { return listStatus_; }
    QLabel *pickedStatus() const { return pickedStatus_; }
    QLabel *resultStatus() const { return resultStatus_; }
    // What the list shows when it is not the stock (until the next refresh).
    void setListStatus(const QString &text);
    // The outcome of the last command, until the next one tells its own.
    void setResultStatus(const QString &text);

    AppState &state() const { return state_; }
    RecordStore &store() const { return store_; }
    Prompts &prompts() const { return prompts_; }
    Clock &clock() const { return clock_; }

private:
    void buildMenus();
    void buildGrid();
    void buildStatusBar();
    void showPickedCount();
    void showListOutcome();
    void showEmptyHint(bool shown);
    void popUpEditMenu(const QPoint &globalPos);
    void takeClickedItem();
    void followCursor();
    void forgetPickedLines();
    void onGesture(Grid::Gesture gesture);
    void onKeyPressed(int key, Qt::KeyboardModifiers modifiers);
    // The low-stock rows of the list, by record; none while it shows a spreadsheet.
    const std::vector<bool> &lowStockRows() const;
    void placeOnScreen();
    void removeTemporaryFiles();
    void readMore();
    void rebuild();

    AppState &state_;
    RecordStore &store_;
    Prompts &prompts_;
    Clock &clock_;

    CommandSet commands_;
    DataSource table_;
    StockList::BuildResult listBuild_; // what the list shows, from its last build
    Grid *grid_ = nullptr;
    QTimer *reader_ = nullptr; // reads a long stock file part by part
    int laterPartRecords_ = 50000;
    QLabel *listStatus_ = nullptr;
    QLabel *pickedStatus_ = nullptr;
    QLabel *resultStatus_ = nullptr;
    QLabel *emptyHint_ = nullptr;
    QString reportedProblem_; // the stock file's problem told last, until it is gone
};
