#include "table/data_source.h"

#include "common/gbk.h"
#include "common/value_text.h"
#include "table/table_file.h"
#include "table/text_rows.h"

#include <algorithm>
#include <cstring>
#include <limits>

DataSource::DataSource(QObject *parent)
    : QObject(parent)
{
    formats_.push_back(CellFormat());
}

DataSource::~DataSource() = default;

// --- Storage ---------------------------------------------------------------------

DataSource::Cell *DataSource::cell(int row, int column)
{
    if (row < 1 || row > rows_ || column < 1 || column > columns_)
        return nullptr;
    return &cells_[size_t(row - 1) * size_t(columns_) + size_t(column - 1)];
}

const DataSource::Cell *DataSource::cell(int row, int column) const
{
    return const_cast<DataSource *>(this)->cell(row, column);
}

CellRange DataSource::clip(const CellRange &range) const
{
    const int firstRow = std::max(range.row, 1);
    const int firstColumn = std::max(range.column, 1);
    const int lastRow = std::min(range.lastRow(), rows_);
    const int lastColumn = std::min(range.lastColumn(), columns_);
    return {firstRow, firstColumn, std::max(0, lastRow - firstRow + 1),
        std::max(0, lastColumn - firstColumn + 1)};
}

quint32 DataSource::formatIndex(const CellFormat &format)
{
    for (size_t i = 0; i < formats_.size(); ++i)
        if (formats_[i] == format)
            return quint32(i);
    formats_.push_back(format);
    return quint32(formats_.size() - 1);
}

void DataSource::storeText(Cell &c, QStringView text)
{
    ++textRevision_;
    if (text.size() <= qsizetype(c.length)) {
        // A text no longer than the one it replaces takes its place (it may be
        // a part of that text, so the ranges may overlap).
        if (!text.isEmpty())
            std::memmove(texts_.data() + c.start, text.utf16(), size_t(text.size()) * 2);
        unusedUnits_ += c.length - size_t(text.size());
        c.length = quint32(text.size());
        return;
    }
    const char16_t *from = text.utf16();
    if (from >= texts_.data() && from < texts_.data() + texts_.size()) {
        // A text of this table: growing the buffer would move it.
        const QString copy = text.toString();
        storeText(c, copy);
        return;
    }
    dropText(c);
    compactTexts();
    appendText(c, text);
}

void DataSource::appendText(Cell &c, QStringView text)
{
    // More text than any table holds leaves the cell empty.
    ++textRevision_;
    if (text.isEmpty() || texts_.size() + size_t(text.size()) > std::numeric_limits<quint32>::max())
        return;
    c.start = quint32(texts_.size());
    c.length = quint32(text.size());
    texts_.append(text.utf16(), size_t(text.size()));
}

void DataSource::compactTexts()
{
    if (unusedUnits_ < (1u << 16) || unusedUnits_ * 2 < texts_.size())
        return;
    std::u16string compact;
    compact.reserve(texts_.size() - unusedUnits_);
    for (Cell &c : cells_) {
        const quint32 start = quint32(compact.size());
        compact.append(texts_, c.start, c.length);
        c.start = start;
    }
    texts_ = std::move(compact);
    unusedUnits_ = 0;
}

void DataSource::resizeStorage(int rows, int columns)
{
    rows = std::max(rows, 0);
    columns = std::max(columns, 0);
    changedWhole();
    Cell blank;
    blank.format = defaultFormat_;
    if (columns == columns_) {
        for (size_t i = size_t(rows) * size_t(columns); i < cells_.size(); ++i)
            dropText(cells_[i]);
        cells_.resize(size_t(rows) * size_t(columns), blank);
    } else {
        std::vector<Cell> next(size_t(rows) * size_t(columns), blank);
        const int keepRows = std::min(rows, rows_);
        const int keepColumns = std::min(columns, columns_);
        for (int r = 0; r < rows_; ++r)
            for (int c = 0; c < columns_; ++c) {
                Cell &old = cells_[size_t(r) * size_t(columns_) + size_t(c)];
                if (r < keepRows && c < keepColumns)
                    next[size_t(r) * size_t(columns) + size_t(c)] = old;
                else
                    dropText(old);
            }
        cells_ = std::move(next);
    }
    columnWidths_.resize(size_t(columns), defaultColumnWidth);
    rowHeights_.resize(size_t(rows), defaultRowHeight);
    rows_ = rows;
    columns_ = columns;
    const CellRange table {1, 1, rows_, columns_};
    merges_.removeIf([&](const CellRange &m) {
        return m.lastRow() > rows_ || m.lastColumn() > columns_ || !table.intersects(m);
    });
    currentRow_ = std::clamp(currentRow_, 1, std::max(rows_, 1));
}

// --- Content ---------------------------------------------------------------------

void DataSource::setSize(int rows, int columns)
{
    resizeStorage(rows, columns);
    emit layoutReset();
}

QString DataSource::text(int row, int column) const
{
    return textView(row, column).toString();
}

QStringView DataSource::textView(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? textOf(*c) : QStringView();
}

void DataSource::setText(int row, int column, QStringView text)
{
    Cell *c = cell(row, column);
    if (!c)
        return;
    storeText(*c, text);
    emit cellsChanged(row, column, 1, 1);
}

double DataSource::number(int row, int column) const
{
    return wholeNumber(textView(row, column)).value_or(0);
}

void DataSource::appendRows(int count)
{
    if (count <= 0)
        return;
    const int first = rows_ + 1;
    resizeStorage(rows_ + count, columns_);
    emit rowsAppended(first, count);
}

bool DataSource::appendRowsFrom(const RowProvider &provider)
{
    if (&provider == static_cast<const RowProvider *>(this)) {
        // Appending the table to itself: read it whole before it grows.
        DataSource copy;
        copy.setSize(0, columns_);
        copy.appendRowsFrom(provider);
        return appendRowsFrom(copy);
    }
    const int first = rows_ + 1;
    const int take = std::min(provider.providedColumnCount(), columns_);
    Cell blank;
    blank.format = defaultFormat_;
    // Room for every row at once, and for one more (a total row often follows),
    // so no growing step copies the table; the texts get room after a sample
    // of rows tells how long they run.
    const size_t expected = size_t(std::max(provider.providedRowCount(), 0));
    cells_.reserve(cells_.size() + (expected + 1) * size_t(columns_));
    rowHeights_.reserve(rowHeights_.size() + expected + 1);
    constexpr int sampleRows = 256;
    const size_t textsBefore = texts_.size();
    int appended = 0;
    const bool ok = provider.forEachRow([&](const QStringView *texts) {
        for (int c = 0; c < columns_; ++c) {
            Cell &cell = cells_.emplace_back(blank);
            if (c < take)
                appendText(cell, texts[c]);
        }
        rowHeights_.push_back(defaultRowHeight);
        ++rows_;
        if (++appended == sampleRows && expected > size_t(sampleRows)) {
            const size_t perRow = (texts_.size() - textsBefore) / sampleRows + 1;
            texts_.reserve(texts_.size() + (expected - sampleRows) * perRow * 9 / 8);
        }
    });
    if (rows_ >= first)
        emit rowsAppended(first, rows_ - first + 1);
    return ok;
}

void DataSource::reserveRows(int count)
{
    const size_t rows = size_t(rows_) + size_t(std::max(count, 0)) + 1;
    cells_.reserve(rows * size_t(columns_));
    rowHeights_.reserve(rows);
}

void DataSource::reserveTextsFor(int count)
{
    if (rows_ > 0 && count > 0)
        texts_.reserve(texts_.size() + (texts_.size() / size_t(rows_) + 1) * size_t(count) * 9 / 8);
}

void DataSource::appendRowsFrom(const TextRows &rows)
{
    const std::u16string &texts = rows.texts();
    if (rows.columnCount() != columns_
        || texts_.size() + texts.size() > std::numeric_limits<quint32>::max()) {
        (void)appendRowsFrom(static_cast<const RowProvider &>(rows));
        return;
    }
    const int first = rows_ + 1;
    const int count = rows.rowCount();
    ++textRevision_;
    Cell blank;
    blank.format = defaultFormat_;
    // Room for one row more: a total row often follows.
    cells_.reserve(cells_.size() + (size_t(count) + 1) * size_t(columns_));
    rowHeights_.reserve(rowHeights_.size() + size_t(count) + 1);
    rowHeights_.insert(rowHeights_.end(), size_t(count), defaultRowHeight);
    const size_t base = texts_.size();
    texts_.reserve(base + texts.size() + texts.size() / 64);
    texts_.append(texts);
    size_t start = 0;
    for (const size_t end : rows.cellEnds()) {
        Cell &c = cells_.emplace_back(blank);
        c.start = quint32(base + start);
        c.length = quint32(end - start);
        start = end;
    }
    rows_ += count;
    if (count > 0)
        emit rowsAppended(first, count);
}

void DataSource::insertColumns(int column, int count)
{
    if (count <= 0 || column < 1 || column > columns_ + 1)
        return;
    const int columns = columns_ + count;
    changedWhole();
    Cell blank;
    blank.format = defaultFormat_;
    std::vector<Cell> next(size_t(rows_) * size_t(columns), blank);
    for (int r = 0; r < rows_; ++r)
        for (int c = 0; c < columns_; ++c) {
            const int to = c + 1 < column ? c : c + count;
            next[size_t(r) * size_t(columns) + size_t(to)]
                = cells_[size_t(r) * size_t(columns_) + size_t(c)];
        }
    cells_ = std::move(next);
    columnWidths_.insert(columnWidths_.begin() + (column - 1), size_t(count), defaultColumnWidth);
    columns_ = columns;
    for (CellRange &m : merges_) {
        if (m.column >= column)
            m.column += count;
        else if (m.lastColumn() >= column)
            m.columns += count;
    }
    emit layoutReset();
}

void DataSource::clearTexts(const CellRange &range)
{
    const CellRange r = clip(range);
    if (r.rows == 0 || r.columns == 0)
        return;
    ++textRevision_;
    for (int row = r.row; row <= r.lastRow(); ++row)
        for (int column = r.column; column <= r.lastColumn(); ++column)
            dropText(*cell(row, column));
    emit cellsChanged(r.row, r.column, r.rows, r.columns);
}

void DataSource::reset()
{
    const CellFormat fallback = defaultFormat();
    changedWhole();
    // Memory goes back too: a table of a million rows leaves none behind.
    std::vector<Cell>().swap(cells_);
    std::u16string().swap(texts_);
    unusedUnits_ = 0;
    formats_ = {fallback};
    defaultFormat_ = 0;
    columnWidths_.clear();
    std::vector<int>().swap(rowHeights_);
    merges_.clear();
    rows_ = columns_ = 0;
    headerRows_ = headerColumns_ = 0;
    currentRow_ = 1;
    emit layoutReset();
}

void DataSource::resetLook()
{
    formats_ = {formats_[defaultFormat_]};
    defaultFormat_ = 0;
    loseLookLog();
    for (Cell &c : cells_) {
        c.format = 0;
        c.edges = 0;
    }
    columnWidths_.assign(size_t(columns_), defaultColumnWidth);
    rowHeights_.assign(size_t(rows_), defaultRowHeight);
    merges_.clear();
    headerRows_ = headerColumns_ = 0;
    currentRow_ = 1;
    emit layoutReset();
}

void DataSource::restartLookLog()
{
    lookLog_.clear();
    lookLogKept_ = true;
}

void DataSource::noteLook(const CellRange &range)
{
    // Past this many ranges a view does better to set the whole look again.
    constexpr size_t kept = 4096;
    if (!lookLogKept_)
        return;
    if (lookLog_.size() >= kept)
        loseLookLog();
    else
        lookLog_.push_back(range);
}

void DataSource::goToRow(int row)
{
    const int clamped = std::clamp(row, 1, std::max(rows_, 1));
    if (clamped == currentRow_)
        return;
    currentRow_ = clamped;
    emit currentRowChanged(currentRow_);
}

// --- Layout ----------------------------------------------------------------------

void DataSource::setHeaderRows(int count)
{
    headerRows_ = std::max(count, 0);
    emit layoutReset();
}

void DataSource::setHeaderColumns(int count)
{
    headerColumns_ = std::max(count, 0);
    emit layoutReset();
}

int DataSource::columnWidth(int column) const
{
    return column >= 1 && column <= columns_ ? columnWidths_[size_t(column - 1)] : 0;
}

void DataSource::setColumnWidths(int firstColumn, int count, int width)
{
    const CellRange r = clip({1, firstColumn, 1, count});
    for (int c = r.column; c <= r.lastColumn(); ++c)
        columnWidths_[size_t(c - 1)] = std::max(width, 0);
    emit layoutReset();
}

int DataSource::rowHeight(int row) const
{
    return row >= 1 && row <= rows_ ? rowHeights_[size_t(row - 1)] : 0;
}

void DataSource::setRowHeights(int firstRow, int count, int height)
{
    const CellRange r = clip({firstRow, 1, count, 1});
    for (int row = r.row; row <= r.lastRow(); ++row)
        rowHeights_[size_t(row - 1)] = std::max(height, 0);
    loseLookLog();
    emit layoutReset();
}

void DataSource::merge(const CellRange &range)
{
    const CellRange r = clip(range);
    if (r.rows == 0 || r.columns == 0)
        return;
    loseLookLog();
    merges_.removeIf([&](const CellRange &m) { return m.intersects(r); });
    if (r.rows > 1 || r.columns > 1)
        merges_.append(r);
    emit layoutReset();
}

CellRange DataSource::spanAt(int row, int column) const
{
    for (const CellRange &m : merges_)
        if (m.contains(row, column))
            return m;
    return {row, column, 1, 1};
}

void DataSource::setBorders(const CellRange &range, int flags)
{
    const CellRange r = clip(range);
    loseLookLog();
    for (int row = r.row; row <= r.lastRow(); ++row) {
        for (int column = r.column; column <= r.lastColumn(); ++column) {
            CellEdges edges = 0;
            if (flags & (column == r.column ? BorderLeft : BorderInnerVertical))
                edges |= BorderLeft;
            if (flags & (column == r.lastColumn() ? BorderRight : BorderInnerVertical))
                edges |= BorderRight;
            if (flags & (row == r.row ? BorderTop : BorderInnerHorizontal))
                edges |= BorderTop;
            if (flags & (row == r.lastRow() ? BorderBottom : BorderInnerHorizontal))
                edges |= BorderBottom;
            cell(row, column)->edges = edges;
        }
    }
    if (r.rows > 0 && r.columns > 0)
        emit cellsChanged(r.row, r.column, r.rows, r.columns);
}

CellEdges DataSource::edges(int row, int column) const
{
    const Cell *c = cell(row, column);
    return c ? c->edges : 0;
}

// --- Formats ---------------------------------------------------------------------

const CellFormat &DataSource::format(int row, int column) const
{
    const Cell *c = cell(row, column);
    return formats_[c ? c->format : defaultFormat_];
}

template<typename Change>
void DataSource::changeFormats(const CellRange &range, Change change)
{
    const CellRange r = clip(range);
    if (r.rows == 0 || r.columns == 0)
        return;
    noteLook(r);
    // Each distinct old format maps to one new format: ranges of many cells
    // with few formats cost one lookup per cell.
    std::vector<std::pair<quint32, quint32>> mapped;
    for (int row = r.row; row <= r.lastRow(); ++row) {
        for (int column = r.column; column <= r.lastColumn(); ++column) {
            Cell *c = cell(row, column);
            auto it = std::find_if(
                mapped.begin(), mapped.end(), [&](const auto &m) { return m.first == c->format; });
            if (it == mapped.end()) {
                CellFormat changed = formats_[c->format];
                change(changed);
                mapped.emplace_back(c->format, formatIndex(changed));
                it = mapped.end() - 1;
            }
            c->format = it->second;
        }
    }
    emit cellsChanged(r.row, r.column, r.rows, r.columns);
}

void DataSource::setFormat(const CellRange &range, const CellFormat &format)
{
    changeFormats(range, [&](CellFormat &f) { f = format; });
}

void DataSource::setAlignment(const CellRange &range, int alignment)
{
    changeFormats(range, [&](CellFormat &f) { f.alignment = std::clamp(alignment, 1, 9); });
}

void DataSource::setTextColor(const CellRange &range, quint32 color)
{
    changeFormats(range, [&](CellFormat &f) { f.textColor = color & 0xFFFFFF; });
}

void DataSource::setBackground(const CellRange &range, quint32 color)
{
    changeFormats(range, [&](CellFormat &f) { f.background = color & 0xFFFFFF; });
}

void DataSource::setFontName(const CellRange &range, const QString &name)
{
    const QString fitted = Gbk::firstBytes(name, CellFormat::maxFontNameBytes);
    changeFormats(range, [&](CellFormat &f) { f.fontName = fitted; });
}

void DataSource::setFontSize(const CellRange &range, int size)
{
    changeFormats(range, [&](CellFormat &f) { f.fontSize = std::max(size, 1); });
}

void DataSource::setStyle(const CellRange &range, int style)
{
    changeFormats(range, [&](CellFormat &f) { f.style = style & 0xF; });
}

const CellFormat &DataSource::defaultFormat() const
{
    return formats_[defaultFormat_];
}

void DataSource::setDefaultFormat(const CellFormat &format)
{
    CellFormat fitted = format;
    fitted.fontName = Gbk::firstBytes(format.fontName, CellFormat::maxFontNameBytes);
    defaultFormat_ = formatIndex(fitted);
}

void DataSource::setPageSetup(const PageSetup &setup)
{
    pageSetup_ = setup;
}

// --- RowProvider -----------------------------------------------------------------

bool DataSource::forEachRow(const std::function<void(const QStringView *texts)> &row) const
{
    std::vector<QStringView> texts(static_cast<size_t>(columns_));
    for (int r = 1; r <= rows_; ++r) {
        for (int c = 1; c <= columns_; ++c)
            texts[size_t(c - 1)] = textOf(*cell(r, c));
        row(texts.data());
    }
    return true;
}

// --- Table files -----------------------------------------------------------------

Status DataSource::save(const QString &path) const
{
    return TableFile::save(*this, path);
}

Status DataSource::load(const QString &path)
{
    return TableFile::load(*this, path);
}
