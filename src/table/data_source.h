#pragma once

#include "common/status.h"
#include "table/cell_format.h"
#include "table/page_setup.h"
#include "table/row_provider.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>

#include <string>
#include <vector>

// The cells of one table, with everything that decides how they look on screen
// and on paper: formats, merged ranges, borders, column widths, row heights,
// header rows and columns, and the page setup. Rows and columns are 1-based.
//
// Cells outside the table read as empty; writes outside it are ignored. Range
// operations clip to the table. Lengths are in tenths of a millimetre.
//
// Views learn about changes through the signals; a table no view is bound to
// changes without any drawing cost.
class TextRows;

class DataSource : public QObject, public RowProvider
{
    Q_OBJECT

public:
    static constexpr int defaultColumnWidth = 250;
    static constexpr int defaultRowHeight = 60;

    explicit DataSource(QObject *parent = nullptr);
    ~DataSource() override;

    // --- Content -----------------------------------------------------------

    // Sets the table size; cells inside keep their contents, new cells get the
    // default format. Merges reaching outside are dropped.
    void setSize(int rows, int columns);
    int rowCount() const { return rows_; }
    int columnCount() const { return columns_; }

    QString text(int row, int column) const;
    // The text without a copy, for scans over many cells; valid until the
    // table next changes.
    QStringView textView(int row, int column) const;
    void setText(int row, int column, QStringView text);
    // A cell's text read whole, as a booking reads it (wholeNumber(): "1,234.5"
    // is 1234.5); 0 when it is no number as a whole ("12abc", "42 只") or
    // blank, so that a sum never counts a part of a text.
    double number(int row, int column) const;

    // Appends empty rows with the default format.
    void appendRows(int count);
    // Appends every row of the provider after the last row; columns beyond the
    // table are dropped, missing ones stay empty. False when the provider
    // failed (the rows read so far stay).
    bool appendRowsFrom(const RowProvider &provider);
    // The same for rows kept in memory: with as many columns as the table,
    // their texts go over in one copy.
    void appendRowsFrom(const TextRows &rows);
    // Makes room for `count` more rows (and one beyond), so that appending
    // them in parts moves no row already there.
    void reserveRows(int count);
    // Makes room for the texts of `count` more rows as long as the rows so
    // far are on average, so that appending them in parts moves no text.
    void reserveTextsFor(int count);
    // Inserts empty columns before `column` (columnCount() + 1 appends).
    void insertColumns(int column, int count);
    // Empties the texts of a range; formats stay.
    void clearTexts(const CellRange &range);
    // Removes everything: cells, merges, widths, heights, header counts; the
    // page setup and the default format stay.
    void reset();
    // Gives the table the look of a new one while it keeps its size and its
    // texts: every cell the default format and no borders, no merges, default
    // widths and heights, no header rows or columns, the current row 1.
    void resetLook();
    // --- Changes, so that a view of a long table sets right only them -------

    // Advances at every change of a text or of the size.
    quint64 textRevision() const { return textRevision_; }
    // Starts noting the ranges whose cell formats change, forgetting those
    // noted so far.
    void restartLookLog();
    // The ranges whose formats changed since restartLookLog(), when nothing
    // else of the look changed but column widths and header counts; nullptr
    // when something else did (a look reset, merges, borders, row heights, a
    // new size) or when more ranges changed than are kept.
    const std::vector<CellRange> *lookLog() const { return lookLogKept_ ? &lookLog_ : nullptr; }

    // --- Current row (clamped to 1..rowCount()) ----------------------------

    int currentRow() const { return currentRow_; }
    void goToRow(int row);
    void goToFirstRow() { goToRow(1); }
    void moveRows(int n) { goToRow(currentRow_ + n); }

    // --- Layout --------------------------------------------------------------

    int headerRows() const { return headerRows_; }
    void setHeaderRows(int count);
    int headerColumns() const { return headerColumns_; }
    void setHeaderColumns(int count);

    int columnWidth(int column) const;
    void setColumnWidths(int firstColumn, int count, int width);
    int rowHeight(int row) const;
    void setRowHeights(int firstRow, int count, int height);

    // Merges a range into one cell shown with the top-left cell's text and
    // format. Merges it overlaps are removed first.
    void merge(const CellRange &range);
    // The merged range covering a cell, or a 1 x 1 range of the cell itself.
    CellRange spanAt(int row, int column) const;
    const QList<CellRange> &merges() const { return merges_; }

    // Border lines over a range (BorderFlag bits; 15 = the outline).
    void setBorders(const CellRange &range, int flags = BorderOutline);
    CellEdges edges(int row, int column) const;

    // --- Formats -------------------------------------------------------------

    const CellFormat &format(int row, int column) const;
    void setFormat(const CellRange &range, const CellFormat &format);
    void setAlignment(const CellRange &range, int alignment);
    void setTextColor(const CellRange &range, quint32 color);
    void setBackground(const CellRange &range, quint32 color);
    // Font names longer than 30 GBK bytes are cut there.
    void setFontName(const CellRange &range, const QString &name);
    void setFontSize(const CellRange &range, int size);
    void setStyle(const CellRange &range, int style);
    QString fontName(int row, int column) const { return format(row, column).fontName; }
    int fontSize(int row, int column) const { return format(row, column).fontSize; }

    // The format new cells get.
    const CellFormat &defaultFormat() const;
    void setDefaultFormat(const CellFormat &format);

    // --- Printing ------------------------------------------------------------

    const PageSetup &pageSetup() const { return pageSetup_; }
    void setPageSetup(const PageSetup &setup);

    // --- Table files ---------------------------------------------------------

    // Writes the whole table (texts, formats, merges, borders, widths, heights,
    // header counts, page setup) to a file, replacing it atomically.
    Status save(const QString &path) const;
    // Loads a table written by save(). A missing, damaged or foreign file fails
    // and leaves the table as it was.
    Status load(const QString &path);

    // --- RowProvider ---------------------------------------------------------

    int providedColumnCount() const override { return columns_; }
    int providedRowCount() const override { return rows_; }
    bool forEachRow(const std::function<void(const QStringView *texts)> &row) const override;

signals:
    // Texts or formats of a range changed.
    void cellsChanged(int row, int column, int rows, int columns);
    // Rows were appended at the end.
    void rowsAppended(int firstRow, int count);
    // Anything else: size, merges, widths, heights, header counts.
    void layoutReset();
    void currentRowChanged(int row);

private:
    // A cell keeps where its text lies in texts_: one buffer for all texts
    // costs a few bytes a cell, where a string each would cost some fifty.
    struct Cell
    {
        quint32 start = 0; // texts_[start, start + length)
        quint32 length = 0;
        quint32 format = 0; // index into formats_
        CellEdges edges = 0;
    };

    Cell *cell(int row, int column);
    const Cell *cell(int row, int column) const;
    CellRange clip(const CellRange &range) const;
    quint32 formatIndex(const CellFormat &format);
    template<typename Change>
    void changeFormats(const CellRange &range, Change change);
    void resizeStorage(int rows, int columns);
    QStringView textOf(const Cell &c) const
    {
        return QStringView(texts_.data() + c.start, qsizetype(c.length));
    }
    void storeText(Cell &c, QStringView text);
    // The text of a new, empty cell, put at the end of the buffer; `text` must
    // not lie in the buffer (appending rows, it is the provider's).
    void appendText(Cell &c, QStringView text);
    void dropText(Cell &c)
    {
        unusedUnits_ += c.length;
        c.length = 0;
    }
    // Gives the room of replaced texts back once it is more than half the buffer.
    void compactTexts();

    int rows_ = 0;
    int columns_ = 0;
    std::vector<Cell> cells_; // row-major
    std::u16string texts_; // the cells' texts, UTF-16
    size_t unusedUnits_ = 0; // units in texts_ no cell refers to any more
    std::vector<CellFormat> formats_; // distinct formats, shared by cells
    quint32 defaultFormat_ = 0; // index of the format new cells get
    std::vector<int> columnWidths_;
    std::vector<int> rowHeights_;
    QList<CellRange> merges_;
    int headerRows_ = 0;
    int headerColumns_ = 0;
    int currentRow_ = 1;
    PageSetup pageSetup_;
    quint64 textRevision_ = 0;
    std::vector<CellRange> lookLog_;
    bool lookLogKept_ = false;

    void noteLook(const CellRange &range);
    void loseLookLog()
    {
        lookLogKept_ = false;
        lookLog_.clear();
    }
    // Everything may have changed (a table read from a file).
    void changedWhole()
    {
        ++textRevision_;
        loseLookLog();
    }

    friend class TableFile;
};
