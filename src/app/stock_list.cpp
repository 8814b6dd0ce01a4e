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

bool isLowStock(const RecordStore &record)
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
    DisplayRows(RecordStore &store, int first, int last)
        : store_(store)
        , first_(std::max(first, 1))
        , last_(last)
    { }

    int providedColumnCount() const override { return columns; }
    int providedRowCount() const override
    {
        return std::max(std::min(last_, store_.recordCount()) - first_ + 1, 0);
    }
    bool forEachRow(const std::function<void(const QStringView *texts)> &row) const override
    {
        std::u16string buffers[columns];
        QStringView texts[columns];
        lowStock_.clear();
        lowStock_.reserve(size_t(providedRowCount()));
        return store_.forEachRecordIn(first_, last_, [&](const RecordStore &record) {
            for (int c = 0; c < columns; ++c)
                texts[c] = record.readTextInto(displayFields[c], buffers[c]);
            lowStock_.push_back(isLowStock(record));
            row(texts);
        });
    }

    // Whether each row delivered, in order, is below its alarm quantity: told
    // from the stored numbers while they are at hand.
    const std::vector<bool> &lowStock() const { return lowStock_; }

private:
    RecordStore &store_;
    int first_;
    int last_;
    mutable std::vector<bool> lowStock_;
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
        RecordStore reader;
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
    DataSource &table, RecordStore &store, const AppState &state, BuildResult &result)
{
    if (store.recordCount() < splitFromRecords || readerThreads() < 2)
        return false;
    // Both parts count records on connections opened now, so they agree on
    // where the middle is.
    const QString path = state.path(Stock::fileName());
    RecordStore earlierStore;
    if (!earlierStore.open(path, Stock::alias()))
        return false;
    // The thread copies its rows once more, so it takes the smaller part.
    const int middle = int(qint64(earlierStore.recordCount()) * 11 / 20);
    LaterRows later(path, middle + 1, INT_MAX);
    const DisplayRows earlier(earlierStore, 1, middle);
    table.reserveRows(earlierStore.recordCount());
    const bool earlierRead = table.appendRowsFrom(earlier);
    // Each part was read in a transaction of its own: they make one list only
    // if nothing was committed in between.
    if (!later.wait() || !earlierRead || StockFile::signature(state.programDir) != result.stock) {
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

// The look of a built list over its texts: the header row, numbers on the
// right, low-stock rows (counted into `result`), picked rows, widths.
void applyLook(DataSource &table, const AppState &state, BuildResult &result)
{
    const CellRange header {1, 1, 1, columns};
    table.setAlignment(header, CellFormat::Centre);
    table.setStyle(header, CellFormat::Bold);
    if (table.rowCount() > 1)
        table.setAlignment(
            {2, firstNumberColumn, table.rowCount() - 1, columns - firstNumberColumn + 1},
            CellFormat::MiddleRight);
    const std::vector<bool> &low = result.lowStockRows;
    result.lowStockCount = 0;
    for (int r = 2; r <= table.rowCount() && size_t(r - 2) < low.size(); ++r) {
        if (low[size_t(r - 2)]) {
            table.setTextColor({r, 1, 1, columns}, lowStockColor);
            ++result.lowStockCount;
        }
    }
    for (const int r : state.pickedRows)
        if (r >= 1 && r <= table.rowCount())
            markPicked(table, r);
    for (int c = 1; c <= columns; ++c)
        table.setColumnWidths(c, 1, widths[c - 1]);
    table.setHeaderRows(1);
}

} // namespace

BuildResult build(DataSource &table, RecordStore &store, const AppState &state)
{
    table.reset();
    table.setDefaultFormat(CellFormat());
    table.setSize(1, columns);
    for (int c = 1; c <= columns; ++c)
        table.setText(1, c, headerTexts()[c - 1]);

    BuildResult result;
    // Taken before the scan: a commit in between makes the next look rebuild.
    result.stock = StockFile::signature(state.programDir);
    result.stockOpened = store.openOrSelect(state.path(Stock::fileName()), Stock::alias());
    if (result.stockOpened && !appendInTwoParts(table, store, state, result)) {
        const DisplayRows rows(store, 1, INT_MAX);
        result.stockOpened = table.appendRowsFrom(rows);
        if (result.stockOpened)
            result.lowStockRows = rows.lowStock();
        else
            table.setSize(1, columns); // never a part of the list
    }
    if (!result.stockOpened)
        result.stockProblem = store.lastError();
    applyLook(table, state, result);
    result.textDigest = table.textDigest();
    return result;
}

bool restyle(DataSource &table, RecordStore &store, const AppState &state, BuildResult &result)
{
    if (!result.stockOpened || result.stock.commits < 0 || table.columnCount() != columns
        || size_t(table.rowCount()) != result.lowStockRows.size() + 1
        || StockFile::signature(state.programDir) != result.stock
        || table.textDigest() != result.textDigest
        || !store.openOrSelect(state.path(Stock::fileName()), Stock::alias()))
        return false;
    table.setDefaultFormat(CellFormat());
    table.resetLook();
    applyLook(table, state, result);
    return true;
}

bool updateRecord(DataSource &table, RecordStore &store, const AppState &state, int recordNumber,
    BuildResult &result)
{
    const int row = recordNumber + 1;
    if (!result.stockOpened || recordNumber < 1 || row > table.rowCount()
        || size_t(recordNumber) > result.lowStockRows.size()
        || table.textDigest() != result.textDigest)
        return false;
    const StockFile::Signature stock = StockFile::signature(state.programDir);
    if (result.stock.commits < 0 || stock.commits != result.stock.commits + 1)
        return false;
    if (!store.openOrSelect(state.path(Stock::fileName()), Stock::alias())
        || store.recordCount() != table.rowCount() - 1 || !store.goTo(recordNumber))
        return false;
    QString texts[columns];
    for (int c = 0; c < columns; ++c)
        texts[c] = store.readText(displayFields[c]);
    const bool low = isLowStock(store);
    if (store.failed())
        return false;
    for (int c = 0; c < columns; ++c)
        table.setText(row, c + 1, texts[c]);
    const bool wasLow = result.lowStockRows[size_t(recordNumber - 1)];
    result.lowStockRows[size_t(recordNumber - 1)] = low;
    result.lowStockCount += int(low) - int(wasLow);
    result.stock = stock;
    result.textDigest = table.textDigest();
    table.setTextColor({row, 1, 1, columns}, low ? lowStockColor : table.defaultFormat().textColor);
    if (state.pickedRows.contains(row))
        markPicked(table, row);
    return true;
}

qint64 recordOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row)
{
    if (state.listShowsImport || row <= table.headerRows() || row > table.rowCount())
        return 0;
    // A row read from another state of the file names another record: the
    // texts must agree before the row's record is trusted.
    if (!store.openOrSelect(state.path(Stock::fileName()), Stock::alias()) || !store.goTo(row - 1)
        || store.readText(Stock::Name) != table.text(row, 1)
        || store.readText(Stock::Spec) != table.text(row, 2))
        return 0;
    return store.recordId();
}

SelectedItem itemOfRow(const DataSource &table, RecordStore &store, const AppState &state, int row)
{
    return {table.text(row, 1), table.text(row, 2), recordOfRow(table, store, state, row)};
}

void unmark(DataSource &table, const QList<int> &rows, const BuildResult &result)
{
    const CellFormat &plain = table.defaultFormat();
    for (const int r : rows) {
        if (r <= table.headerRows() || r > table.rowCount())
            continue;
        const size_t record = size_t(r - 2);
        const bool low = record < result.lowStockRows.size() && result.lowStockRows[record];
        table.setTextColor({r, 1, 1, columns}, low ? lowStockColor : plain.textColor);
        table.setBackground({r, 1, 1, columns}, plain.background);
    }
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

SelectionOutcome select(const CellRange &selection, DataSource &table, RecordStore &store,
    AppState &state, Prompts &prompts)
{
    SelectionOutcome outcome;
    if (selection.column >= 4 && selection.column <= 6) {
        outcome.toolTip = selectionSumText(table, selection);
        return outcome;
    }
    // The header row names the columns; it is no item to issue. A click on
    // it only selects the column titles as the item.
    if (selection.lastRow() <= table.headerRows())
        return outcome;
    // A row already on the note is passed over, whatever gesture reached it
    // again: a second line would propose (and issue) its stock twice.
    for (int r = std::max(selection.row, table.headerRows() + 1);
         r <= selection.lastRow() && state.issueLines.size() < AppState::maxIssueLines; ++r) {
        if (state.pickedRows.contains(r))
            continue;
        state.issueLines.append(lineOfRow(table, store, state, r));
        state.pickedRows.append(r);
        markPicked(table, r);
    }
    if (selection.rows > AppState::maxIssueLines)
        prompts.message(
            QStringLiteral("您的选择已达到或超过了9项,一张票据只能打印9行数,系统将打印前9项"));
    if (state.issueLines.isEmpty())
        prompts.message(QStringLiteral("请选择要打印的材料,您可以按下鼠标左键拖选"));
    return outcome;
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
