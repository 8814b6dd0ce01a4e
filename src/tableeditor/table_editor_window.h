#pragma once

#include "table/data_source.h"
#include "ui/command_set.h"

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class Clock;
class FindInGrid;
class Grid;
class Prompts;
class PrintSetupWindow;
class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class RecordStore;
struct AppState;
struct TableEditorState;

// The table editor (caption "表格", or the statistic and its period given in
// TableEditorState::title): the statistics result qd.zrb, or after a
// sort its sorted copy qd4.zrb, in an editable grid (表格1) with a total row,
// and the "&F.文件" and "&E.编辑" menus of table commands. "&E.编辑" is also
// the grid's context menu.
//
// Opened modally without an owner, over the main window's place. A sort
// closes the window with the result ReopenSorted after writing qd4.zrb; the
// caller then opens a new window, which shows the sorted file. openModal()
// is that loop. When the window goes, the stock file ("data") is the record
// store's current file again.
//
// Column widths are the user's: dragging the border between two field names
// changes one, a double-click on it fits the column to its texts.
//
// Every command is a QAction found by its exact caption, mnemonic included
// ("&O.打开表格"). Opening a table file disables "&W.转为电子表格" and
// "&C.生成打印表格" for good: they work from qd.zrb, which the window then no
// longer shows.
class TableEditorWindow : public QDialog
{
    Q_OBJECT

public:
    // The exec() result of a window closed by a sort.
    static constexpr int ReopenSorted = 2;

    TableEditorWindow(AppState &state, RecordStore &store, Prompts &prompts, const Clock &clock,
        TableEditorState &editorState, const QRect &mainGeometry = {}, QWidget *parent = nullptr);
    ~TableEditorWindow() override;

    // Shows the window modally, and a new one after every sort, until the
    // user closes it. `mainGeometry` is the main window's geometry().
    static void openModal(AppState &state, RecordStore &store, Prompts &prompts, const Clock &clock,
        TableEditorState &editorState, const QRect &mainGeometry);

    static QString title() { return QStringLiteral("表格"); }
    static QString loadingText() { return QStringLiteral("系统正在抄表中..."); }

    QAction *action(const QString &caption) const;
    // A menu or submenu by its caption ("&E.编辑", "&S.显示比例").
    QMenu *menu(const QString &caption) const;
    QMenu *editMenu() const { return menu(QStringLiteral("&E.编辑")); }
    QMenuBar *menuBar() const { return menuBar_; }
    Grid *grid() const { return grid_; }
    QLabel *label() const { return label_; }
    DataSource &table() { return table_; }
    // Whether the window was closed by a sort (exec() gave ReopenSorted).
    bool reopenSorted() const { return result() == ReopenSorted; }

    // Gives a command its handler (replacing an earlier one) and enables it.
    // False when there is no command with this caption.
    bool setCommand(const QString &caption, std::function<void()> handler);

    // The commands of the menus.
    void openTable();
    // Loads a table file; true when it was read. The caption becomes the
    // file's name either way.
    bool loadTableFile(const QString &path);
    void saveTableAs();
    // Writes the table; asks for a name when `name` is empty.
    void saveTable(const QString &name);
    void exitEditor();
    // "&C.生成打印表格": the printable table, dated today by the clock, in its
    // print window.
    void generatePrintTable();
    // "&W.转为电子表格": the records shown (qd.zrb, or qd4.zrb after a sort, in
    // its order) and the total row as a spreadsheet file in the program
    // directory; the message names the file and its folder.
    void exportSpreadsheet();
    // Whole numbers from 0 to the table's row (column) count.
    void askHeaderRows();
    void askHeaderColumns();
    void setZoom(double percent);
    void fitToWidth();
    void alignAll(int alignment);
    void fillDown();
    void copyBlock();
    void paste();
    void clearBlock();
    void sort(bool descending);
    void showColumnSum();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void addFindKeys();
    void buildClient();
    void loadQueryFile();
    void placeGrid();
    QAction *addCommand(QMenu *menu, const QString &caption, std::function<void()> handler);
    QMenu *addMenu(QMenu *parentMenu, const QString &caption);

    void onLeftButtonPressed();
    void onSelectionChanged();
    // Ctrl+C: the text of the cursor cell, as plain text.
    void copyCursorCell();
    void showToolTip(const QString &text);
    // The texts of the last row when it is the total row; else none.
    QStringList shownTotalRow() const;

    AppState &state_;
    RecordStore &store_;
    Prompts &prompts_;
    const Clock &clock_;
    TableEditorState &editorState_;
    std::unique_ptr<FindInGrid> find_;
    QPointer<PrintSetupWindow> printWindow_;

    CommandSet commands_;
    QMenuBar *menuBar_ = nullptr;
    QWidget *client_ = nullptr;
    QLabel *label_ = nullptr;
    DataSource table_;
    Grid *grid_ = nullptr;
    // The query file the table was loaded from: qd.zrb, or qd4.zrb after a sort.
    QString shownFile_;
};
