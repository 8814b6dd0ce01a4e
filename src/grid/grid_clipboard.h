#pragma once

#include "table/cell_format.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class DataSource;
class QMimeData;

// A rectangle of cells on its way through the clipboard: texts row by row and,
// when it comes from one of our grids, their formats.
struct GridBlock
{
    int rows = 0;
    int columns = 0;
    QList<QString> texts; // rows * columns, row-major
    QList<CellFormat> formats; // empty, or one per text

    bool isEmpty() const { return rows <= 0 || columns <= 0; }
    bool hasFormats() const { return !formats.isEmpty(); }
    const QString &text(int row, int column) const { return texts.at(row * columns + column); }
    const CellFormat &format(int row, int column) const
    {
        return formats.at(row * columns + column);
    }
    friend bool operator==(const GridBlock &, const GridBlock &) = default;
};

// The grid's block format. Our grids put both this MIME type (texts and
// formats) and plain tab-separated text on the clipboard, so other programs
// get the texts and our grids get everything.
namespace GridClipboard {

inline constexpr char mimeType[] = "application/x-warehouse-grid-block";
inline constexpr quint16 formatVersion = 1;

// The cells of a range, clipped to the table (empty when nothing is left).
GridBlock readBlock(const DataSource &table, const CellRange &range);

// Writes a block with its top-left cell at (row, column). Cells that would fall
// beyond the last row or column are dropped; the table does not grow. Formats
// are written when the block has them. Returns the range written.
CellRange writeBlock(DataSource &table, int row, int column, const GridBlock &block);

// The block format: a versioned QDataStream. decode() refuses foreign, damaged
// and newer data.
QByteArray encode(const GridBlock &block);
std::optional<GridBlock> decode(const QByteArray &data);

// Tab-separated text: a tab between cells, a line break between rows. A cell
// holding a tab, a line break or a quote is quoted ("" for a quote), as
// spreadsheets write and read it.
QString toTabSeparated(const GridBlock &block);
// Texts only. Lines may end in \n, \r\n or \r; a final line break is not a row.
// Short rows are padded with empty cells.
GridBlock fromTabSeparated(const QString &text);

// Both forms in one MIME object (the caller owns it), and the block back:
// ours if present, else the plain text; nothing when neither is usable.
QMimeData *toMimeData(const GridBlock &block);
std::optional<GridBlock> fromMimeData(const QMimeData *mime);

} // namespace GridClipboard
