#pragma once

#include "common/status.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// One cell of a worksheet: the value as a spreadsheet shows it (numbers in
// %.13g, dates as date text) and, for a formula cell, its formula ("=A1+B1").
struct WorkbookCell
{
    QString value;
    QString formula;
    // The value was longer than a cell holds and is cut to Workbook::maxTextLength.
    bool cut = false;

    bool isEmpty() const { return value.isEmpty() && formula.isEmpty(); }
    friend bool operator==(const WorkbookCell &, const WorkbookCell &) = default;
};

// A worksheet: a sparse set of cells addressed by 1-based row and column.
// Cells outside the sheet's limits read as empty and are never stored; an empty
// cell is not stored either, so the used range is that of the cells holding
// something.
class WorkbookSheet
{
public:
    static constexpr int maxRows = 1048576;
    static constexpr int maxColumns = 16384;

    explicit WorkbookSheet(QString name = {})
        : name_(std::move(name))
    { }

    const QString &name() const { return name_; }
    void setName(const QString &name) { name_ = name; }

    static bool isInside(int row, int column)
    {
        return row >= 1 && row <= maxRows && column >= 1 && column <= maxColumns;
    }

    WorkbookCell cell(int row, int column) const;
    QString value(int row, int column) const { return cell(row, column).value; }
    // Stores a cell; an empty one removes the cell. Ignored outside the limits.
    // A value or formula longer than a cell holds is cut (the value marked cut).
    void setCell(int row, int column, const WorkbookCell &cell);
    void setValue(int row, int column, const QString &value) { setCell(row, column, {value, {}}); }

    int cellCount() const { return int(cells_.size()); }
    // The used range as a spreadsheet counts it from A1: the last row and the
    // last column holding a cell (0 x 0 for an empty sheet).
    int usedRows() const;
    int usedColumns() const;

    // Every stored cell, in no particular order.
    void forEachCell(
        const std::function<void(int row, int column, const WorkbookCell &)> &visit) const;
    // Replaces every cell by what `move` makes of its position (row, column
    // changed in place); a cell moved outside the limits is dropped. Used to
    // insert rows and columns.
    void moveCells(const std::function<void(int &row, int &column)> &move);

    friend bool operator==(const WorkbookSheet &, const WorkbookSheet &) = default;

private:
    static quint64 key(int row, int column) { return quint64(row) << 20 | quint64(column); }

    QString name_;
    QHash<quint64, WorkbookCell> cells_;
};

// A workbook read from a file or built in memory: its worksheets in order.
struct Workbook
{
    // Bounds every reader keeps to, so a hostile file can take neither all the
    // memory of the reading process nor that of the program it hands cells to.
    static constexpr qint64 maxFileBytes = 64 * 1024 * 1024;
    static constexpr int maxCells = 1'000'000;
    static constexpr int maxSheets = 256;
    // The most characters (UTF-16 units) a spreadsheet cell holds.
    static constexpr qsizetype maxTextLength = 32767;
    // Cuts `text` to maxTextLength, never between the halves of a surrogate
    // pair; true when it was longer.
    static bool cutToCellLength(QString &text);

    QList<WorkbookSheet> sheets;
    int activeSheet = 0; // index into sheets: the tab shown when the file was saved

    int cellCount() const;
    friend bool operator==(const Workbook &, const Workbook &) = default;
};

// What a reader gives back: the workbook, or why it could not be read.
struct WorkbookResult
{
    Status status;
    Workbook workbook;

    static WorkbookResult failure(const QString &message) { return {Status::failure(message), {}}; }
};
