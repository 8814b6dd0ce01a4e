#include "grid/grid_clipboard.h"

#include "table/data_source.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <algorithm>

namespace GridClipboard {

namespace {

constexpr quint32 magic = 0x57475242; // "WGRB"

// A block the clipboard can carry; guards decode() against sizes that would
// only come from damaged data.
constexpr qint64 maxCells = 10'000'000;

bool needsQuotes(const QString &text)
{
    return text.contains(u'\t') || text.contains(u'\n') || text.contains(u'\r')
        || text.contains(u'"');
}

} // namespace

GridBlock readBlock(const DataSource &table, const CellRange &range)
{
    const int top = std::max(range.row, 1);
    const int left = std::max(range.column, 1);
    const int bottom = std::min(range.lastRow(), table.rowCount());
    const int right = std::min(range.lastColumn(), table.columnCount());
    GridBlock block;
    if (top > bottom || left > right)
        return block;
    block.rows = bottom - top + 1;
    block.columns = right - left + 1;
    block.texts.reserve(qsizetype(block.rows) * block.columns);
    block.formats.reserve(qsizetype(block.rows) * block.columns);
    for (int r = top; r <= bottom; ++r) {
        for (int c = left; c <= right; ++c) {
            block.texts.append(table.text(r, c));
            block.formats.append(table.format(r, c));
        }
    }
    return block;
}

CellRange writeBlock(DataSource &table, int row, int column, const GridBlock &block)
{
    if (block.isEmpty() || row < 1 || column < 1)
        return {row, column, 0, 0};
    const int rows = std::clamp(table.rowCount() - row + 1, 0, block.rows);
    const int columns = std::clamp(table.columnCount() - column + 1, 0, block.columns);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            table.setText(row + r, column + c, block.text(r, c));
            if (block.hasFormats() && table.format(row + r, column + c) != block.format(r, c))
                table.setFormat({row + r, column + c, 1, 1}, block.format(r, c));
        }
    }
    return {row, column, rows, columns};
}

QByteArray encode(const GridBlock &block)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << magic << formatVersion << qint32(block.rows) << qint32(block.columns)
        << quint8(block.hasFormats() ? 1 : 0);
    for (qsizetype i = 0; i < block.texts.size(); ++i) {
        out << block.texts[i];
        if (block.hasFormats()) {
            const CellFormat &f = block.formats[i];
            out << qint32(f.alignment) << quint32(f.textColor) << quint32(f.background)
                << f.fontName << qint32(f.fontSize) << qint32(f.style);
        }
    }
    return data;
}

std::optional<GridBlock> decode(const QByteArray &data)
{
    QDataStream in(data);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 readMagic = 0;
    quint16 version = 0;
    qint32 rows = 0;
    qint32 columns = 0;
    quint8 withFormats = 0;
    in >> readMagic >> version >> rows >> columns >> withFormats;
    if (in.status() != QDataStream::Ok || readMagic != magic || version < 1
        || version > formatVersion || rows < 0 || columns < 0 || withFormats > 1)
        return std::nullopt;
    const qint64 cells = qint64(rows) * columns;
    // Every cell takes at least the four bytes of its text's length.
    if (cells > maxCells || cells * 4 > data.size())
        return std::nullopt;

    GridBlock block;
    block.rows = rows;
    block.columns = columns;
    block.texts.reserve(cells);
    if (withFormats)
        block.formats.reserve(cells);
    for (qint64 i = 0; i < cells; ++i) {
        QString text;
        in >> text;
        block.texts.append(text);
        if (withFormats) {
            CellFormat f;
            qint32 alignment = 0;
            quint32 textColor = 0;
            quint32 background = 0;
            qint32 fontSize = 0;
            qint32 style = 0;
            in >> alignment >> textColor >> background >> f.fontName >> fontSize >> style;
            f.alignment = std::clamp(int(alignment), 1, 9);
            f.textColor = textColor & 0xFFFFFF;
            f.background = background & 0xFFFFFF;
            f.fontSize = std::max(int(fontSize), 1);
            f.style = style & 0xF;
            block.formats.append(f);
        }
        if (in.status() != QDataStream::Ok)
            return std::nullopt;
    }
    if (block.isEmpty())
        return std::nullopt;
    return block;
}

QString toTabSeparated(const GridBlock &block)
{
    QString out;
    for (int r = 0; r < block.rows; ++r) {
        if (r > 0)
            out += u'\n';
        for (int c = 0; c < block.columns; ++c) {
            if (c > 0)
                out += u'\t';
            const QString &text = block.text(r, c);
            if (needsQuotes(text)) {
                QString quoted = text;
                quoted.replace(u'"', QStringLiteral("\"\""));
                out += u'"' + quoted + u'"';
            } else {
                out += text;
            }
        }
    }
    return out;
}

GridBlock fromTabSeparated(const QString &text)
{
    QList<QList<QString>> lines;
    QList<QString> line;
    QString cell;
    bool quoted = false; // inside a quoted cell
    bool cellStarted = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar ch = text[i];
        if (quoted) {
            if (ch == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    cell += u'"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                cell += ch;
            }
        } else if (ch == u'"' && !cellStarted) {
            quoted = true;
            cellStarted = true;
        } else if (ch == u'\t') {
            line.append(cell);
            cell.clear();
            cellStarted = false;
        } else if (ch == u'\n' || ch == u'\r') {
            if (ch == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            line.append(cell);
            lines.append(line);
            line.clear();
            cell.clear();
            cellStarted = false;
        } else {
            cell += ch;
            cellStarted = true;
        }
    }
    if (cellStarted || !line.isEmpty()) {
        line.append(cell);
        lines.append(line);
    }

    GridBlock block;
    for (const QList<QString> &l : lines)
        block.columns = std::max(block.columns, int(l.size()));
    if (block.columns == 0)
        return {};
    block.rows = int(lines.size());
    block.texts.reserve(qsizetype(block.rows) * block.columns);
    for (const QList<QString> &l : lines) {
        block.texts.append(l);
        for (qsizetype c = l.size(); c < block.columns; ++c)
            block.texts.append(QString());
    }
    return block;
}

QMimeData *toMimeData(const GridBlock &block)
{
    auto *mime = new QMimeData;
    mime->setData(QString::fromLatin1(mimeType), encode(block));
    mime->setText(toTabSeparated(block));
    return mime;
}

std::optional<GridBlock> fromMimeData(const QMimeData *mime)
{
    if (!mime)
        return std::nullopt;
    const QString ours = QString::fromLatin1(mimeType);
    if (mime->hasFormat(ours)) {
        if (auto block = decode(mime->data(ours)))
            return block;
    }
    if (mime->hasText()) {
        GridBlock block = fromTabSeparated(mime->text());
        if (!block.isEmpty())
            return block;
    }
    return std::nullopt;
}

} // namespace GridClipboard
