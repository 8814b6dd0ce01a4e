#include "app/stock_list.h"

#include "common/app_state.h"
#include "common/prompts.h"
#include "common/reader_threads.h"
#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "table/data_source.h"
#include "table/selection_sum.h"
#include "table/text_rows.h"

#include <QThread>

#include <algorithm>
#include <climits>
#include <thread>

namespace StockList {
namespace {

const QStringList &headerTexts()
{
    static const QStringList texts = {
        QStringLiteral("材  料  品  名"),
        QStringLiteral("规  格  型  号"),
        QStringLiteral("单位"),
        QStringLiteral("库存数量"),
        QStringLiteral("单价"),
        QStringLiteral("库存金额"),
        QStringLiteral("报警数量"),
    };
    return texts;
}

constexpr int widths[columns] = {850, 850, 150, 200, 200, 250, 250};
constexpr int firstNumberColumn = 4;
constexpr int displayFields[columns] = {Stock::Name, Stock::Spec, Stock::Unit, Stock::Quantity,
    Stock::UnitPrice, Stock::Amount, Stock::AlarmQuantity};

bool isLowStock(const RecordFile &record)
{
    return record.readNumber(Stock::AlarmQuantity) - record.readNumber(Stock::Quantity)
        >= -lowStockTolerance;
}

// The seven display fields of the stock records numbered first to last, in
// stock-file order, read in one scan of the stock file: no copy of the file
// is written for a list that lives only on screen.
class DisplayRows : public RowProvider
{
public:
    // Records first to last; a last past the file reads to its end.
    DisplayRows(RecordFile &stock, int first, int last)
        : stock_(stock)
        , first_(std::max(first, 1))
        , last_(last)
    { }

    int providedColumnCount() const override { return columns; }
    int providedRowCount() const override
    {
        return std::max(std::min(last_, stock_.recordCount()) - first_ + 1, 0);
    }
    bool forEachRow(const std::function<void(const QStringView *texts)> &row) const override
    {
        std::u16string buffers[columns];
        QStringView texts[columns];
        lowStock_.clear();
        lowStock_.reserve(size_t(providedRowCount()));
        status_ = stock_.forEachRecordIn(first_, last_, [&](const RecordFile &record) {
            for (int c = 0; c < columns; ++c)
                texts[c] = record.readTextInto(displayFields[c], buffers[c]);
            lowStock_.push_back(isLowStock(record));
            row(texts);
        });
        return status_.ok();
    }
    // Why the last forEachRow() failed.
    const Status &status() const { return status_; }

    // Whether each row delivered, in order, is below its alarm quantity: told
    // from the stored numbers while they are at hand.
    const std::vector<bool> &lowStock() const { return lowStock_; }

private:
    RecordFile &stock_;
    int first_;
    int last_;
    mutable std::vector<bool> lowStock_;
    mutable Status status_;
};

// The later records of a long stock file, read on a thread and a connection
// of their own while the caller reads the earlier ones.
class LaterRows
{
public:
    LaterRows(const QString &stockPath, int first, int last)
        : rows_(columns)
        , thread_([this, stockPath, first, last] { read(stockPath, first, last); })
    { }
    ~LaterRows()
    {
        if (thread_.joinable())
            thread_.join();
    }

    // Waits for the rows; false when they could not be read.
    bool wait()
    {
        thread_.join();
        return ok_;
    }
    const TextRows &rows() const { return rows_; }
    const std::vector<bool> &lowStock() const { return lowStock_; }

private:
    void read(const QString &stockPath, int first, int last)
    {
        RecordFile reader;
        if (!reader.open(stockPath, Stock::alias()))
            return;
        const DisplayRows later(reader, first, last);
        // Room enough for rows of common length: the buffers need not grow.
        rows_.reserve(later.providedRowCount(), 48);
        ok_ = later.forEachRow([this](const QStringView *texts) { rows_.append(texts); });
        lowStock_ = later.lowStock();
    }

    TextRows rows_;
    std::vector<bool> lowStock_;
    bool ok_ = false;
    std::thread thread_; // last: it starts once the rest is made
};

// From this many records on, a build on more than one core reads the stock
// file in two parts at once.
constexpr int splitFromRecords = 20000;

// Appends the rows of every stock record to the table, the later part read
// on a second thread; false, appending nothing, when that cannot be done
// (one core, a short file, a failed read, a commit meanwhile) and one scan
// must do it.
bool appendInTwoParts(
    DataSource &table, const RecordFile &stock, const AppState &state, BuildResult &result)
{
    if (stock.recordCount() < splitFromRecords || readerThreads() < 2)
        return false;
    // Both parts count records on connections opened now, so they agree on
    // where the middle is.
    const QString path = state.path(Stock::fileName());
    const StockFile::Signature before = StockFile::signature(state.programDir);
    RecordFile earlierFile;
    if (!earlierFile.open(path, Stock::alias()))
        return false;
    // The thread copies its rows once more, so it takes the smaller part.
    const int middle = int(qint64(earlierFile.recordCount()) * 11 / 20);
    LaterRows later(path, middle + 1, INT_MAX);
    const DisplayRows earlier(earlierFile, 1, middle);
    table.reserveRows(earlierFile.recordCount());
    const bool earlierRead = table.appendRowsFrom(earlier);
    // Each part was read in a transaction of its own: they make one list only
    // if nothing was committed in between.
    if (!later.wait() || !earlierRead || before.commits < 0
        || StockFile::signature(state.programDir) != before) {
        table.setSize(1, columns);
        return false;
    }
    table.appendRowsFrom(later.rows());
    result.lowStockRows = earlier.lowStock();
    result.lowStockRows.insert(
        result.lowStockRows.end(), later.lowStock().begin(), later.lowStock().end());
    return true;
}

void markPicked(DataSource &table, int row)
{
    table.setTextColor({row, 1, 1, columns}, markedColor);
    table.setBackground({row, 1, 1, columns}, markedBackground);
}

} // namespace

QString bareTitle()
{
    return QStringLiteral("禾岭供电有限责任公司材料出库单打印系统");
}

QString title(int lowStockCount)
{
    if (lowStockCount == 0)
        return bareTitle();
    return bareTitle() + QStringLiteral("---表中红色文本项目表示库存数量低于报警数量.共")
        + QString::number(lowStockCount) + QStringLiteral("项");
}

namespace {

// Numbers on the right and low stock in purple, for the data rows first to
// last, whose low-stock rows are counted into `result`.
void lookOfRows(DataSource &table, int first, int last, BuildResult &result)
{
    if (first > last)
        return;
    table.setAlignment(
        {first, firstNumberColumn, last - first + 1, columns - firstNumberColumn + 1},
        CellFormat::MiddleRight);
    const std::vector<bool> &low = result.lowStockRows;
    for (int r = first; r <= last && size_t(r - 2) < low.size(); ++r) {
        if (low[size_t(r - 2)]) {
            table.setTextColor({r, 1, 1, columns}, lowStockColor);
            ++result.lowStockCount;
        }
    }
}

// The header row, picked rows, widths.
void frameLook(DataSource &table, const AppState &state)
{
    const CellRange header {1, 1, 1, columns};
    table.setAlignment(header, CellFormat::Centre);
    table.setStyle(header, CellFormat::Bold);
    for (const int r : state.pickedRows)
        if (r >= 1 && r <= table.rowCount())
            markPicked(table, r);
    // Each of these lays a bound grid out anew: only when they differ.
    for (int c = 1; c <= columns; ++c)
        if (table.columnWidth(c) != widths[c - 1])
            table.setColumnWidths(c, 1, widths[c - 1]);
    if (table.headerRows() != 1)
        table.setHeaderRows(1);
}

// The look of a built list over its texts: the header row, numbers on the
// right, low-stock rows (counted into `result`), picked rows, widths.
void applyLook(DataSource &table, const AppState &state, BuildResult &result)
{
    result.lowStockCount = 0;
    lookOfRows(table, 2, table.rowCount(), result);
    frameLook(table, state);
}

// One row as applyLook() leaves it, whatever was done to its look since.
void restoreRowLook(DataSource &table, int row, const BuildResult &result)
{
    CellFormat plain = table.defaultFormat();
    if (row == 1) {
        table.setFormat({1, 1, 1, columns}, plain);
        table.setAlignment({1, 1, 1, columns}, CellFormat::Centre);
        table.setStyle({1, 1, 1, columns}, CellFormat::Bold);
        return;
    }
    if (size_t(row - 2) < result.lowStockRows.size() && result.lowStockRows[size_t(row - 2)])
        plain.textColor = lowStockColor;
    table.setFormat({row, 1, 1, firstNumberColumn - 1}, plain);
    plain.alignment = CellFormat::MiddleRight;
    table.setFormat({row, firstNumberColumn, 1, columns - firstNumberColumn + 1}, plain);
}

// The header row alone, the stock file open under "data" (or why not).
BuildResult startBuild(
    DataSource &table, RecordStore &store, const AppState &state, RecordFile **stock)
{
    table.reset();
    table.setDefaultFormat(CellFormat());
    table.setSize(1, columns);
    for (int c = 1; c <= columns; ++c)
        table.setText(1, c, headerTexts()[c - 1]);
    BuildResult result;
    const Status opened = store.openOrSelect(state.path(Stock::fileName()), Stock::alias(), stock);
    result.stockOpened = opened.ok();
    // Taken before the scan: a commit in between makes the next look rebuild.
    if (result.stockOpened)
        result.stock = (*stock)->changeMark();
    else
        result.stockProblem = opened.message();
    return result;
}

// The build is over: later looks start from here.
void endBuild(DataSource &table, BuildResult &result)
{
    result.complete = true;
    result.textRevision = table.textRevision();
    table.restartLookLog();
}

// The row of each record written in place, with what a build shows in it.
struct ReadRow
{
    int row = 0;
    QString texts[columns];
    bool low = false;
};

// Reads the rows of the records `ids`; false when one is no longer there.
bool readRows(RecordFile &stock, const std::vector<qint64> &ids, std::vector<ReadRow> &rows)
{
    rows.resize(ids.size());
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!stock.goToId(ids[i]))
            return false;
        rows[i].row = stock.recordNumber() + 1;
        for (int c = 0; c < columns; ++c)
            rows[i].texts[c] = stock.readText(displayFields[c]);
        rows[i].low = isLowStock(stock);
        if (!stock.readStatus())
            return false;
    }
    return true;
}

// More rows than this changed, or marked since: the whole look is set again.
constexpr int rowsWorthAWholeLook = 20000;

// Gives every row whose look changed since the build its built look again.
void restoreLook(
    DataSource &table, const AppState &state, BuildResult &result, const std::vector<ReadRow> &rows)
{
    const std::vector<CellRange> *marked = table.lookLog();
    qint64 markedRows = 0;
    if (marked)
        for (const CellRange &range : *marked)
            markedRows += range.rows;
    if (!marked || markedRows > rowsWorthAWholeLook) {
        table.resetLook();
        applyLook(table, state, result);
        return;
    }
    // The log changes while rows are set right: go over a copy.
    const std::vector<CellRange> ranges = *marked;
    for (const CellRange &range : ranges)
        for (int r = range.row; r <= range.lastRow(); ++r)
            restoreRowLook(table, r, result);
    for (const ReadRow &row : rows)
        restoreRowLook(table, row.row, result);
    frameLook(table, state);
}

} // namespace

BuildResult build(DataSource &table, RecordStore &store, const AppState &state)
{
    RecordFile *stock = nullptr;
    BuildResult result = startBuild(table, store, state, &stock);
    if (result.stockOpened && !appendInTwoParts(table, *stock, state, result)) {
        const DisplayRows rows(*stock, 1, INT_MAX);
        result.stockOpened = table.appendRowsFrom(rows);
        if (result.stockOpened)
            result.lowStockRows = rows.lowStock();
        else {
            result.stockProblem = rows.status().message();
            table.setSize(1, columns); // never a part of the list
        }
    }
    applyLook(table, state, result);
    endBuild(table, result);
    return result;
}

BuildResult beginBuild(DataSource &table, RecordStore &store, const AppState &state, int records)
{
    RecordFile *stock = nullptr;
    BuildResult result = startBuild(table, store, state, &stock);
    if (!result.stockOpened || stock->recordCount() < splitFromRecords)
        return build(table, store, state);
    result.complete = false;
    table.reserveRows(stock->recordCount());
    frameLook(table, state);
    result.textRevision = table.textRevision();
    if (!buildMore(table, store, state, records, result))
        return build(table, store, state);
    // Later parts must not move the rows read so far.
    table.reserveTextsFor(stock->recordCount() - (table.rowCount() - 1));
    return result;
}

bool buildMore(
    DataSource &table, RecordStore &store, const AppState &state, int records, BuildResult &result)
{
    if (result.complete)
        return true;
    std::vector<qint64> written;
    RecordFile *stock = nullptr;
    // Each part is read in a transaction of its own: they make one list only
    // while nobody commits in between.
    if (table.textRevision() != result.textRevision
        || !store.openOrSelect(state.path(Stock::fileName()), Stock::alias(), &stock)
        || !stock->recordsWrittenSince(result.stock, &written) || !written.empty())
        return false;
    const int first = table.rowCount(); // the next record's number
    const DisplayRows rows(*stock, first, first + std::min(records, INT_MAX - first));
    if (!table.appendRowsFrom(rows)) {
        table.setSize(first, columns);
        return false;
    }
    result.lowStockRows.insert(
        result.lowStockRows.end(), rows.lowStock().begin(), rows.lowStock().end());
    lookOfRows(table, first + 1, table.rowCount(), result);
    result.textRevision = table.textRevision();
    if (table.rowCount() - 1 >= stock->recordCount())
        endBuild(table, result);
    return true;
}

bool update(DataSource &table, RecordStore &store, const AppState &state, BuildResult &result)
{
    std::vector<qint64> written;
    RecordFile *stock = nullptr;
    if (!result.stockOpened || !result.complete || table.columnCount() != columns
        || table.textRevision() != result.textRevision
        || size_t(table.rowCount()) != result.lowStockRows.size() + 1
        || !store.openOrSelect(state.path(Stock::fileName()), Stock::alias(), &stock)
        || !stock->recordsWrittenSince(result.stock, &written)
        || stock->recordCount() != table.rowCount() - 1)
        return false;
    std::sort(written.begin(), written.end());
    written.erase(std::unique(written.begin(), written.end()), written.end());
    std::vector<ReadRow> rows;
    if (written.size() > size_t(rowsWorthAWholeLook) || !readRows(*stock, written, rows))
        return false;
    for (const ReadRow &row : rows) {
        for (int c = 0; c < columns; ++c)
            if (table.textView(row.row, c + 1) != row.texts[c])
                table.setText(row.row, c + 1, row.texts[c]);
        const size_t record = size_t(row.row - 2);
        result.lowStockCount += int(row.low) - int(result.lowStockRows[record]);
        result.lowStockRows[record] = row.low;
    }
    restoreLook(table, state, result, rows);
    result.stock = stock->changeMark();
    endBuild(table, result);
    return true;
}

qint64 recordOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row)
{
    if (state.listShowsImport || row <= table.headerRows() || row > table.rowCount())
        return 0;
    // A row read from another state of the file names another record: the
    // texts must agree before the row's record is trusted.
    RecordFile *stock = nullptr;
    if (!store.openOrSelect(state.path(Stock::fileName()), Stock::alias(), &stock)
        || !stock->goTo(row - 1) || stock->readText(Stock::Name) != table.text(row, 1)
        || stock->readText(Stock::Spec) != table.text(row, 2))
        return 0;
    return stock->recordId();
}

SelectedItem itemOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row)
{
    return {table.text(row, 1), table.text(row, 2), recordOfRow(table, store, state, row)};
}

namespace {

IssueLine lineOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row)
{
    IssueLine line;
    line.name = table.text(row, 1);
    line.spec = table.text(row, 2);
    line.unit = table.text(row, 3);
    // Read whole, as a booking reads them: a row of an imported sheet may
    // show "1,234.5", which is not 1.
    const auto cellNumber = [&](int column) {
        return wholeNumber(table.text(row, column)).value_or(0);
    };
    line.unitPrice = cellNumber(5);
    line.quantity = cellNumber(4);
    line.amount = cellNumber(6);
    line.recordId = recordOfRow(table, store, state, row);
    return line;
}

} // namespace

bool isSumColumn(int column)
{
    return column >= firstNumberColumn && column <= 6;
}

QString fullNoteMessage()
{
    return QStringLiteral("已选满9行，一张出库单只能开9行，这次选的行没有选入。"
                          "要换选，请先按Delete键或按住Ctrl单击，取消已选的行。");
}

SelectionOutcome select(const CellRange &selection, DataSource &table, RecordStore &store,
    AppState &state, Prompts &prompts)
{
    SelectionOutcome outcome;
    if (isSumColumn(selection.column)) {
        outcome.toolTip = selectionSumText(table, selection);
        return outcome;
    }
    // The header row names the columns; it is no item to issue. A click on
    // it only selects the column titles as the item.
    if (selection.lastRow() <= table.headerRows())
        return outcome;
    // A row already on the note is passed over, whatever gesture reached it
    // again: a second line would propose (and issue) its stock twice.
    bool leftOut = false;
    for (int r = std::max(selection.row, table.headerRows() + 1); r <= selection.lastRow(); ++r) {
        if (state.pickedRows.contains(r))
            continue;
        if (state.issueLines.size() >= AppState::maxIssueLines) {
            leftOut = true;
            break;
        }
        state.issueLines.append(lineOfRow(table, store, state, r));
        state.pickedRows.append(r);
        markPicked(table, r);
    }
    if (selection.rows > AppState::maxIssueLines)
        prompts.message(
            QStringLiteral("您的选择已达到或超过了9项,一张票据只能打印9行数,系统将打印前9项"));
    else if (leftOut) // a pick past the ninth line is never lost without a word
        prompts.message(fullNoteMessage());
    if (state.issueLines.isEmpty())
        prompts.message(QStringLiteral("请选择要打印的材料,您可以按下鼠标左键拖选"));
    return outcome;
}

SelectionOutcome toggle(int row, DataSource &table, RecordStore &store, AppState &state,
    Prompts &prompts, const std::vector<bool> &lowStockRows)
{
    if (state.pickedRows.contains(row)) {
        unpick(table, state, row, row, lowStockRows);
        return {};
    }
    return select({row, 1, 1, 1}, table, store, state, prompts);
}

int unpick(
    DataSource &table, AppState &state, int first, int last, const std::vector<bool> &lowStockRows)
{
    int taken = 0;
    for (int r = first; r <= last; ++r) {
        const qsizetype at = state.pickedRows.indexOf(r);
        if (at < 0)
            continue;
        state.pickedRows.removeAt(at);
        if (at < state.issueLines.size())
            state.issueLines.removeAt(at);
        ++taken;
        if (r < 1 || r > table.rowCount())
            continue;
        const bool low = size_t(r - 2) < lowStockRows.size() && lowStockRows[size_t(r - 2)];
        const CellFormat plain = table.defaultFormat();
        table.setTextColor({r, 1, 1, columns}, low ? lowStockColor : plain.textColor);
        table.setBackground({r, 1, 1, columns}, plain.background);
    }
    return taken;
}

QString unopenedMessage(const QString &problem)
{
    return QStringLiteral("库存数据文件 %1 无法打开：%2\n\n"
                          "库存列表暂时为空，入库、出库都不能进行。请用“数据”菜单的“导入  备份 ”，"
                          "从“备份数据库”文件夹中选一份最近的备份恢复库存；恢复前，"
                          "打不开的文件会先另存到同一文件夹中。")
        .arg(Stock::fileName(), problem);
}

} // namespace StockList
