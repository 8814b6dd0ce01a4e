// A storekeeper's session played at random against a model of the stock
// file: receipts, picks in the list (repeated and overlapping), issue notes
// with edited cells pressed once or twice, undo of either kind, bulk addition
// from a generated spreadsheet, backup, restore, clear and refresh, through
// the main window as the storekeeper meets it. After every step the stock
// file must hold, field for field and record for record, what the model
// says; the list must show the stock and mark exactly the picked rows; and
// every question the model expects must have been asked.
//
// WAREHOUSE_SESSION_STEPS and WAREHOUSE_SESSION_SEED (a number, or "random")
// lengthen or vary a run; a failure prints the seed and the steps that led
// to it, so the case replays.
// WAREHOUSE_SESSION_CENSUS=1 goes on after each fault, from the stock file
// as it is, to list the faults a build has; =stock leaves out the checks of
// picks and of the cursor, whose faults would hide the others.

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/stock_list.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "common/value_text.h"
#include "data/period_totals.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "issue/goods_issue.h"
#include "issue/issue_note.h"
#include "issue/issue_note_window.h"
#include "movements/bulk_addition.h"
#include "movements/item_window.h"
#include "movements/receipt.h"
#include "support/pdf_text.h"
#include "support/scripted_prompts.h"
#include "table/data_source.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <random>

namespace {

using Values = std::array<QVariant, Stock::fieldCount + 1>; // [1..23]

struct Record
{
    qint64 id = 0; // the stock file's identity, learnt when the record appears
    Values f;
    QString key() const { return f[Stock::Name].toString() + u'\x1f' + f[Stock::Spec].toString(); }
};

// A line of an issue note as the model expects it booked.
struct NoteLine
{
    Record *record;
    double q, a;
    QString qText, aText;
};

const std::array<std::pair<const char16_t *, const char16_t *>, 6> keys {{
    {u"电缆", u"YJV-3×70"},
    {u"螺栓", u"M16"},
    {u"绝缘子", u"XP-70"},
    {u"导线", u"LGJ-95"},
    {u"横担", u"∠63"},
    {u"电缆", u"YJV-3×95"},
}};

QString fullWidth(const QString &ascii)
{
    QString out;
    for (const QChar c : ascii)
        out += c.unicode() > 0x20 && c.unicode() < 0x7F ? QChar(c.unicode() - 0x21 + 0xFF01) : c;
    return out;
}

QString grouped(double value)
{
    QString text = numberText(value);
    const qsizetype dot = text.indexOf(u'.') < 0 ? text.size() : text.indexOf(u'.');
    const qsizetype digitsFrom = text.startsWith(u'-') ? 1 : 0;
    for (qsizetype at = dot - 3; at > digitsFrom; at -= 3)
        text.insert(at, u',');
    return text;
}

// Prompts whose print dialog can be left with a page range chosen.
class SessionPrompts : public ScriptedPrompts
{
public:
    void choosePages(int from, int to) { from_ = from, to_ = to; }
    bool printDialog(QPrinter &printer) override
    {
        if (from_ > 0) {
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(from_, to_);
        }
        return ScriptedPrompts::printDialog(printer);
    }

private:
    int from_ = 0, to_ = 0;
};

class StorekeeperSession : public testing::Test
{
protected:
    void SetUp() override
    {
        // Memory-backed where there is one: thousands of bookings each flush.
        dir = std::make_unique<QTemporaryDir>(QDir(QStringLiteral("/dev/shm")).exists()
                ? QStringLiteral("/dev/shm/session-XXXXXX")
                : QDir::tempPath() + QStringLiteral("/session-XXXXXX"));
        ASSERT_TRUE(dir->isValid());
        state.programDir = QDir::cleanPath(dir->path());
        ASSERT_TRUE(Stock::createEmptyFile(state.path(Stock::fileName())));
        window = std::make_unique<MainWindow>(state, store, prompts, clock);
        installMainCommands(*window);
        const QByteArray seedText = qgetenv("WAREHOUSE_SESSION_SEED");
        // A fixed seed by default, so that every run checks the same session;
        // "random" draws one.
        seed = seedText == "random" ? std::random_device()()
            : seedText.isEmpty()    ? 20261208u
                                    : seedText.toUInt();
        rng.seed(seed);
    }

    int chance(int n) { return int(rng() % unsigned(n)); }
    bool percent(int p) { return chance(100) < p; }
    double amountOf(int cents) { return cents / 100.0; }

    void trigger(const QString &caption)
    {
        QAction *command = window->action(caption);
        ASSERT_TRUE(command && command->isEnabled()) << caption.toStdString();
        command->trigger();
    }

    // --- the model's arithmetic, as a storekeeper checks it by hand -------
    static void addTotals(
        Values &v, const PeriodTotalFields &t, double q, double a, const QDateTime &now)
    {
        const QDate last = v[size_t(t.date)].toDateTime().date();
        const bool year = last.isValid() && last.year() == now.date().year();
        const bool month = year && last.month() == now.date().month();
        const bool day = month && last.day() == now.date().day();
        const auto add = [&](int field, bool keep, double by) {
            v[size_t(field)] = round2((keep ? v[size_t(field)].toDouble() : 0) + by);
        };
        add(t.dayQuantity, day, q);
        add(t.dayAmount, day, a);
        add(t.monthQuantity, month, q);
        add(t.monthAmount, month, a);
        add(t.yearQuantity, year, q);
        add(t.yearAmount, year, a);
    }
    // A new item as a receipt or a bulk addition writes it: the totals of its
    // first receipt, and its opening history.
    void append(const QStringList &texts, double q, double price, double value, double alarm,
        double receivedAmount, const QString &history)
    {
        Record added;
        Values &v = added.f;
        for (int f = 1; f <= Stock::fieldCount; ++f)
            v[size_t(f)] = Stock::layout()[f - 1].kind == FieldKind::Number ? QVariant(0.0)
                : Stock::layout()[f - 1].kind == FieldKind::DateTime        ? QVariant(QDateTime())
                                                                            : QVariant(QString());
        for (int f = Stock::Name; f <= Stock::Unit; ++f)
            v[size_t(f)] = texts[f - 1];
        v[Stock::Quantity] = q;
        v[Stock::UnitPrice] = price;
        v[Stock::Amount] = value;
        v[Stock::AlarmQuantity] = alarm;
        addTotals(v, receiptTotals, q, receivedAmount, clock.now());
        v[Stock::ReceiptDate] = clock.now();
        v[Stock::ReceiptHistory] = history;
        model.push_back(added);
    }
    Record *byId(qint64 id, const QString &key)
    {
        for (Record &r : model)
            if (r.id == id && r.key() == key)
                return &r;
        return nullptr;
    }
    Record *firstOf(const QString &key)
    {
        for (Record &r : model)
            if (r.key() == key)
                return &r;
        return nullptr;
    }
    std::vector<Record> recordsOf(const QString &key) const
    {
        std::vector<Record> found;
        for (const Record &r : model)
            if (r.key() == key)
                found.push_back(r);
        return found;
    }
    void forgetPicks() { picked.clear(); }

    // --- steps --------------------------------------------------------------
    const Record *chooseItem(const QString &name, const QString &spec);
    void receipt();
    void deletion();
    void pick();
    void issueNote();
    void undo();
    void bulkAddition();
    void wholeFile();
    void step();

    // --- checks -------------------------------------------------------------
    void learnNewIds(size_t from);
    void expectStockAsModelled();
    void expectListAsModelled();
    void expectPicksAsModelled();
    void resynchronise();
    void expectPrintedAsBooked(
        const QString &pdf, const DataSource &cells, const std::vector<NoteLine> &lines);

    std::unique_ptr<QTemporaryDir> dir;
    AppState state;
    RecordStore store;
    SessionPrompts prompts;
    FixedClock clock {QDateTime(QDate(2026, 12, 30), QTime(8, 0))};
    std::unique_ptr<MainWindow> window;
    unsigned seed = 0;
    std::mt19937 rng;

    std::vector<Record> model;
    std::vector<int> picked; // list rows picked, in order
    // By key: the item's records before its latest receipt (issue), while
    // the model can tell what an undo does (no restore or clear since).
    std::map<QString, std::vector<Record>> receiptBackups, issueBackups;
    std::vector<std::pair<QString, std::vector<Record>>> wholeBackups;
    QString history; // the steps so far, for the failure message
    int notesBooked = 0;
};

// The item the storekeeper puts the cursor on: one of the key's records
// (twins too), or a key the stock does not hold yet.
const Record *StorekeeperSession::chooseItem(const QString &name, const QString &spec)
{
    const std::vector<Record> twins = recordsOf(name + u'\x1f' + spec);
    const Record *shown = nullptr;
    if (!twins.empty()) {
        const qint64 id = twins[size_t(chance(int(twins.size())))].id;
        shown = byId(id, name + u'\x1f' + spec);
        // The arrow keys, a click or a search put the cursor there: the
        // selected item follows it.
        for (size_t i = 0; i < model.size(); ++i)
            if (model[i].id == id)
                window->stockGrid()->setCursorCell(int(i) + 2, 1);
        if (qgetenv("WAREHOUSE_SESSION_CENSUS") == "stock")
            state.selectedItem = {name, spec, id}; // as a click gives it
        EXPECT_TRUE(state.selectedItem.name == name && state.selectedItem.spec == spec
            && state.selectedItem.recordId == id)
            << "[光标] the selected item is the cursor's row";
    } else {
        state.selectedItem = {name, spec, 0}; // typed into the item window
    }
    return shown;
}

void StorekeeperSession::receipt()
{
    const auto &[n, s] = keys[size_t(chance(int(keys.size())))];
    const QString name = QString::fromUtf16(n), spec = QString::fromUtf16(s);
    const QString key = name + u'\x1f' + spec;
    Record *shown = const_cast<Record *>(chooseItem(name, spec));
    // In the item window: a new price now and then, the quantity received.
    auto itemWindow = std::make_unique<ItemWindow>(state, store, prompts, clock, window.get());
    const auto box = [&](int i) {
        return itemWindow->findChild<QLineEdit *>(QStringLiteral("编辑框%1").arg(i));
    };
    if (!shown)
        box(3)->setText(QStringLiteral("个"));
    if (!shown || percent(30))
        box(4)->setText(numberText(amountOf(1 + chance(20000))));
    box(5)->setText(numberText(amountOf(100 * (1 + chance(1500)) + 50 * chance(2))));
    if (percent(10))
        box(7)->setText(numberText(chance(50)));
    // Now and then a box that is no number, or no name for a new item.
    const int mistake = chance(100);
    if (mistake < 3)
        box(5)->setText(mistake == 0 ? QStringLiteral("十") : QStringLiteral("12abc"));
    if (mistake == 3 && !shown)
        box(1)->setText(QString());
    const ReceiptInput input {box(1)->text(), spec, box(3)->text(), box(4)->text(), box(5)->text(),
        box(6)->text(), box(7)->text()};
    history += QStringLiteral("进库 %1 %2 数量 %3\n").arg(input.name, spec, input.quantity);
    if (mistake < 3 || (mistake == 3 && !shown)) {
        itemWindow->addButton()->click();
        EXPECT_FALSE(prompts.messages().isEmpty()) << "[进库] the refusal is told";
        itemWindow.reset();
        window->refresh();
        forgetPicks();
        return;
    }

    receiptBackups[key] = recordsOf(key);
    const QDateTime now = clock.now();
    const double q = number(input.quantity), a = number(input.amount);
    const double price = number(input.unitPrice);
    if (shown) {
        Values &v = shown->f;
        const double stock = round2(v[Stock::Quantity].toDouble() + q);
        const double value = round2(v[Stock::Amount].toDouble() + a);
        const double average = stock != 0 ? round2(value / stock) : v[Stock::UnitPrice].toDouble();
        v[Stock::Quantity] = stock;
        v[Stock::Amount] = value;
        v[Stock::UnitPrice] = average;
        addTotals(v, receiptTotals, q, a, now);
        v[Stock::ReceiptDate] = now;
        v[Stock::ReceiptHistory]
            = v[Stock::ReceiptHistory].toString() + receiptHistoryLine(input, average, stock, now);
        v[Stock::AlarmQuantity] = number(input.alarm);
    } else {
        append({input.name, input.spec, input.unit}, q, price, price * q, number(input.alarm), a,
            receiptHistoryLine(input, price, q, now));
    }
    itemWindow->addButton()->click();
    // As the main window does once the item window is closed.
    itemWindow.reset();
    window->refresh();
    forgetPicks();
    learnNewIds(0);
}

void StorekeeperSession::deletion()
{
    if (model.empty())
        return;
    const Record &target = model[size_t(chance(int(model.size())))];
    const QString name = target.f[Stock::Name].toString();
    const QString spec = target.f[Stock::Spec].toString();
    const Record *shown = chooseItem(name, spec);
    const bool yes = percent(70);
    history += QStringLiteral("删除 %1 %2 %3\n").arg(name, spec, yes ? u"是" : u"否");
    auto itemWindow = std::make_unique<ItemWindow>(state, store, prompts, clock, window.get());
    prompts.answer(yes);
    itemWindow->deleteButton()->click();
    itemWindow.reset();
    window->refresh();
    forgetPicks();
    if (yes)
        model.erase(model.begin() + (shown - model.data()));
}

void StorekeeperSession::pick()
{
    const int rows = window->stockTable().rowCount();
    // Mostly blocks in the name columns, now and then a sum in a number
    // column, a block past the nine lines, or a row picked before.
    CellRange block {1 + chance(rows), 1 + chance(3), 1 + chance(3), 1};
    if (percent(15))
        block.column = 4;
    if (percent(5))
        block.rows = 12;
    if (!picked.empty() && percent(40))
        block.row = picked[size_t(chance(int(picked.size())))] - chance(2);
    block.row = std::clamp(block.row, 1, rows);
    block.rows = std::min(block.rows, rows - block.row + 1);
    history
        += QStringLiteral("选 行%1 列%2 共%3行\n").arg(block.row).arg(block.column).arg(block.rows);

    if (block.column < 4)
        for (int r = block.row; r < block.row + block.rows && picked.size() < 9; ++r)
            if (r >= 2 && std::find(picked.begin(), picked.end(), r) == picked.end())
                picked.push_back(r);
    window->stockGrid()->selectRange(block);
    emit window->stockGrid()->selectionChangedByUser();
}

void StorekeeperSession::issueNote()
{
    // Now and then the storekeeper asks the print dialog for pages 2 to 3
    // of the one-page note.
    const bool pastTheEnd = percent(5);
    prompts.choosePages(pastTheEnd ? 2 : 0, pastTheEnd ? 3 : 0);
    history += pastTheEnd ? QStringLiteral("开票（打印第2至3页）") : QStringLiteral("开票");
    auto window2 = std::make_unique<IssueNoteWindow>(state, store, prompts, clock, window.get());
    IssueNoteWindow &note = *window2;
    const QString pdf = state.path(QStringLiteral("note.pdf"));
    QFile::remove(pdf);
    note.setPdfOutput(pdf);
    DataSource &cells = note.note();
    const std::vector<int> rows = picked;
    forgetPicks(); // the note takes them
    ASSERT_TRUE(state.issueLines.isEmpty());

    // The storekeeper corrects the note.
    for (size_t k = 0; k < rows.size(); ++k) {
        const int r = IssueNoteLayout::firstLineRow + int(k);
        const auto edit = [&](int column, const QString &text) {
            cells.setText(r, column, text);
            IssueNoteLayout::recompute(cells, r, column);
            history += QStringLiteral(" [%1,%2]=%3").arg(r).arg(column).arg(text);
        };
        if (percent(70)) {
            const double stock = std::max(number(cells.text(r, 3)), 0.0);
            const double q
                = percent(15) ? stock + 1 + chance(50) : amountOf(chance(int(stock * 100) + 1));
            const int form = chance(20);
            edit(3,
                form == 0      ? numberText(q) + QStringLiteral("件")
                    : form < 4 ? fullWidth(numberText(q))
                    : form < 8 ? u' ' + numberText(q) + u' '
                               : grouped(q));
        }
        if (percent(5))
            edit(6, numberText(amountOf(chance(100000))));
        if (percent(5))
            edit(1, cells.text(r, 1) + QStringLiteral("x"));
    }

    // What the model expects the note to book.
    std::vector<NoteLine> lines;
    bool refused = false;
    std::map<Record *, std::pair<double, double>> left; // stock left, quantity issued
    for (int k = 0; k < IssueNote::lineCount; ++k) {
        const int r = IssueNoteLayout::firstLineRow + k;
        const QString key = cells.text(r, 1) + u'\x1f' + cells.text(r, 2);
        if (cells.text(r, 1).isEmpty() && cells.text(r, 2).isEmpty())
            continue;
        Record *record = nullptr;
        if (size_t(k) < rows.size() && rows[size_t(k)] - 2 < int(model.size()))
            record = byId(model[size_t(rows[size_t(k)] - 2)].id, key);
        if (!record)
            record = firstOf(key);
        const std::optional<double> q = wholeNumber(cells.text(r, 3));
        const std::optional<double> a = wholeNumber(cells.text(r, 6));
        if (!record || !q || !a) {
            refused = true;
            continue;
        }
        if (!left.count(record))
            left[record] = {record->f[Stock::Quantity].toDouble(), 0};
        left[record].first = round2(left[record].first - *q);
        left[record].second = round2(left[record].second + *q);
        lines.push_back({record, *q, *a, cells.text(r, 3), cells.text(r, 6)});
    }
    bool book = !refused && !lines.empty();
    if (book && std::any_of(left.begin(), left.end(), [](auto &l) {
            // Stock the note takes below zero; not stock that was there already.
            return l.second.first < -1e-7 && l.second.second > 0;
        })) {
        book = percent(50);
        prompts.answer(book);
        history += book ? QStringLiteral(" 超出库存:是") : QStringLiteral(" 超出库存:否");
    }
    const int presses = percent(30) ? 2 : 1;
    history += QStringLiteral(" 按出库%1次\n").arg(presses);
    for (int press = 0; press < presses; ++press)
        if (note.issueButton()->isEnabled())
            note.issueButton()->click();

    if (book) {
        const QDateTime now = clock.now();
        for (const NoteLine &line : lines) {
            issueBackups[line.record->key()] = recordsOf(line.record->key());
            Values &v = line.record->f;
            v[Stock::Quantity] = round2(v[Stock::Quantity].toDouble() - line.q);
            const double value = round2(v[Stock::Amount].toDouble() - line.a);
            v[Stock::Amount] = value < -0.0000001 ? 0.0 : value;
            addTotals(v, issueTotals, line.q, line.a, now);
            v[Stock::IssueDate] = now;
            v[Stock::IssueHistory] = v[Stock::IssueHistory].toString()
                + issueHistoryLine(
                    {{}, {}, line.qText, line.aText}, cells.text(2, 3), cells.text(15, 6), now);
        }
        ++notesBooked;
        if (!pastTheEnd)
            expectPrintedAsBooked(pdf, cells, lines);
    }
    EXPECT_EQ(QFileInfo::exists(pdf), book && !pastTheEnd)
        << "[打印] a note is printed exactly when it is booked";
    const bool toldNotPrinted
        = prompts.messages().join(u'\n').contains(IssueNoteWindow::notPrintedMessage().left(12));
    EXPECT_EQ(toldNotPrinted, book && pastTheEnd) << "[打印] told when a booked note did not print";
    // As the main window does once the note is closed.
    window2.reset();
    window->refresh();
}

// The paper shows what was booked: each line's quantity and amount as the
// history keeps them, and a total that is their sum. Read back from every
// fifth note, which is enough to meet every kind of line.
void StorekeeperSession::expectPrintedAsBooked(
    const QString &pdf, const DataSource &cells, const std::vector<NoteLine> &lines)
{
    double total = 0;
    for (const NoteLine &line : lines)
        total += line.a;
    const std::optional<double> printedTotal = wholeNumber(cells.text(14, 6));
    EXPECT_TRUE(printedTotal && std::abs(*printedTotal - total) < 0.005)
        << "[打印] total " << qPrintable(cells.text(14, 6)) << " of lines booked " << total;
    if (notesBooked % 5 != 1 || !PdfText::available())
        return;
    const QStringList pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 1) << "[打印] one page";
    QString page = pages.first();
    page.remove(u',').remove(u' ');
    for (const NoteLine &line : lines)
        for (const QString &text : {line.qText, line.aText}) {
            const QString shown
                = text.normalized(QString::NormalizationForm_KC).remove(u',').trimmed();
            EXPECT_TRUE(page.contains(shown)) << "[打印] " << qPrintable(shown) << " on the note";
        }
}

void StorekeeperSession::undo()
{
    const bool ofReceipt = percent(50);
    auto &backups = ofReceipt ? receiptBackups : issueBackups;
    // Only what the model can tell: a backup of this file whose records are
    // all still there, each under its key.
    std::vector<QString> candidates;
    for (const auto &[key, records] : backups) {
        bool resolvable = firstOf(key);
        for (const Record &r : records)
            resolvable = resolvable && byId(r.id, key);
        if (resolvable)
            candidates.push_back(key);
    }
    if (candidates.empty())
        return;
    const QString key = candidates[size_t(chance(int(candidates.size())))];
    history += (ofReceipt ? QStringLiteral("取消进库 ") : QStringLiteral("取消出库 "))
        + QString(key).replace(u'\x1f', u' ') + u'\n';
    const Record *first = firstOf(key);
    chooseItem(first->f[Stock::Name].toString(), first->f[Stock::Spec].toString());
    prompts.answer(true);
    trigger(ofReceipt ? QStringLiteral("取消进库") : QStringLiteral("取消出库"));
    forgetPicks();
    for (const Record &old : backups[key])
        byId(old.id, key)->f = old.f;
}

void StorekeeperSession::bulkAddition()
{
    if (percent(15)) {
        // On the stock list itself: nothing to add.
        history += QStringLiteral("加入数据库（列表是库存）\n");
        trigger(QStringLiteral("加入数据库"));
        return; // refused: the list and its picks stay
    }
    // A spreadsheet of a few rows: twins of stock items, new items, a blank
    // row, numbers with digit grouping, now and then a cell that is no number.
    QString csv = QStringLiteral("\xFEFF材料表\n序号,品名,规格型号,单位,数量,单价,金额,报警数量\n");
    struct Row
    {
        BulkAddition::Row row;
        bool twin;
    };
    std::vector<Row> rows;
    bool faulty = false;
    const int count = 1 + chance(4);
    std::vector<QString> used;
    for (int i = 0; i < count; ++i) {
        if (percent(10)) {
            csv += QStringLiteral("%1,,,,,,,\n").arg(i + 1);
            continue;
        }
        const auto &[n, s] = keys[size_t(chance(int(keys.size())))];
        const QString name
            = percent(50) ? QString::fromUtf16(n) : QStringLiteral("新料%1").arg(chance(1000));
        const QString key = name + u'\x1f' + QString::fromUtf16(s);
        if (std::find(used.begin(), used.end(), key) != used.end())
            continue;
        used.push_back(key);
        BulkAddition::Row row {name, QString::fromUtf16(s), QStringLiteral("米"),
            amountOf(1 + chance(9999)), amountOf(100 * (1 + chance(3000))), 0, double(chance(30))};
        row.value = round2(row.quantity * row.unitPrice);
        QString quantityText = u'"' + grouped(row.quantity) + u'"';
        if (percent(4)) {
            quantityText = numberText(row.quantity) + QStringLiteral("abc");
            faulty = true;
        }
        csv += QStringLiteral("%1,%2,%3,%4,%5,%6,\"%7\",%8\n")
                   .arg(i + 1)
                   .arg(row.name, row.spec, row.unit, quantityText, numberText(row.unitPrice),
                       grouped(row.value), numberText(row.alarm));
        rows.push_back({row, firstOf(key) != nullptr});
    }
    const QString path = state.path(QStringLiteral("导入.csv"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(csv.toUtf8());
    file.close();
    history += QStringLiteral("从电子表读 加入数据库:\n") + csv;

    prompts.answer(path);
    trigger(QStringLiteral("从电子表读"));
    EXPECT_TRUE(state.listShowsImport) << "[导入] " << qPrintable(prompts.messages().join(u'\n'));
    prompts.clearShown();
    window->stockGrid()->setCursorCell(2, 1);
    const bool anyTwin = std::any_of(rows.begin(), rows.end(), [](const Row &r) { return r.twin; });
    bool addTwins = true;
    if (!faulty && anyTwin) {
        addTwins = percent(50);
        prompts.answer(addTwins);
    }
    const size_t before = model.size();
    trigger(QStringLiteral("加入数据库"));
    forgetPicks();
    const bool nothingToAdd
        = std::none_of(rows.begin(), rows.end(), [&](const Row &r) { return !r.twin || addTwins; });
    if (faulty || nothingToAdd) {
        // The list still shows the sheet, to be corrected; back to the stock.
        EXPECT_TRUE(state.listShowsImport) << "[列表] the sheet stays on screen";
        trigger(QStringLiteral("刷新显示"));
        return;
    }
    for (const Row &r : rows)
        if (!r.twin || addTwins)
            append({r.row.name, r.row.spec, r.row.unit}, r.row.quantity, r.row.unitPrice,
                r.row.value, r.row.alarm, r.row.value,
                BulkAddition::openingEntry(r.row, dateTimeText(clock.now())));
    learnNewIds(before);
}

void StorekeeperSession::wholeFile()
{
    const int what = chance(10);
    if (what < 5) {
        history += QStringLiteral("备份数据库\n");
        trigger(QStringLiteral("备份数据库"));
        wholeBackups.push_back({StockFile::backupFolder(state.programDir) + u'/'
                + dateTimeText(clock.now()) + QStringLiteral(".zrb"),
            model});
        return; // the stock and the list stay as they are
    } else if (what < 9) {
        if (wholeBackups.empty())
            return;
        const auto &[path, records] = wholeBackups[size_t(chance(int(wholeBackups.size())))];
        history += QStringLiteral("导入备份 ") + QFileInfo(path).fileName() + u'\n';
        prompts.answer(path);
        trigger(QStringLiteral("导入  备份 "));
        model = records;
        for (Record &r : model)
            r.id = 0; // a restored file may number its records anew
    } else {
        history += QStringLiteral("清空数据库\n");
        trigger(QStringLiteral("清空数据库"));
        model.clear();
    }
    receiptBackups.clear();
    issueBackups.clear();
    forgetPicks();
    learnNewIds(0);
}

void StorekeeperSession::step()
{
    // Time moves on: minutes mostly, now and then into a new day, month or year.
    const int jump = chance(100);
    clock.set(clock.now().addSecs(1 + chance(600)));
    if (jump < 8)
        clock.set(clock.now().addDays(1 + chance(40)));
    const int what = chance(100);
    if (what < 30)
        receipt();
    else if (what < 60)
        pick();
    else if (what < 78)
        issueNote();
    else if (what < 88)
        undo();
    else if (what < 93)
        bulkAddition();
    else if (what < 96)
        wholeFile();
    else if (what < 98)
        deletion();
    else {
        history += QStringLiteral("刷新显示\n");
        trigger(QStringLiteral("刷新显示"));
        forgetPicks();
    }
}

// Records appended since `from` (or all, when restored) get the identities
// the stock file gave them.
void StorekeeperSession::learnNewIds(size_t from)
{
    RecordStore reader;
    ASSERT_TRUE(reader.open(state.path(Stock::fileName()), Stock::alias()));
    for (size_t i = from; i < model.size() && int(i) < reader.recordCount(); ++i)
        if (model[i].id == 0 && reader.goTo(int(i) + 1))
            model[i].id = reader.recordId();
}

void StorekeeperSession::expectStockAsModelled()
{
    RecordStore reader;
    ASSERT_TRUE(reader.open(state.path(Stock::fileName()), Stock::alias()));
    ASSERT_EQ(reader.recordCount(), int(model.size())) << "[库存] records lost or duplicated";
    for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_TRUE(reader.goTo(int(i) + 1));
        const Record &r = model[i];
        ASSERT_EQ(reader.recordId(), r.id) << "[库存] record " << i + 1;
        for (int f = 1; f <= Stock::fieldCount; ++f)
            ASSERT_EQ(valueText(reader.read(f)), valueText(r.f[size_t(f)]))
                << "[库存] record " << i + 1 << " (" << qPrintable(r.f[1].toString()) << ") field "
                << qPrintable(Stock::layout()[f - 1].name);
    }
}

void StorekeeperSession::expectListAsModelled()
{
    const DataSource &table = window->stockTable();
    ASSERT_EQ(table.rowCount(), int(model.size()) + 1) << "[列表] the list shows the stock";
    for (int r = 2; r <= table.rowCount(); ++r) {
        const Record &record = model[size_t(r - 2)];
        ASSERT_EQ(table.text(r, 1), record.f[Stock::Name].toString()) << "[列表] row " << r;
        ASSERT_EQ(table.text(r, 4), numberText(record.f[Stock::Quantity].toDouble()))
            << "[列表] row " << r;
    }
}

void StorekeeperSession::expectPicksAsModelled()
{
    const DataSource &table = window->stockTable();
    for (int r = 2; r <= table.rowCount(); ++r) {
        const bool isPicked = std::find(picked.begin(), picked.end(), r) != picked.end();
        ASSERT_EQ(table.format(r, 1).textColor == StockList::markedColor, isPicked)
            << "[标记] row " << r << " is marked exactly when picked";
    }
    ASSERT_EQ(state.issueLines.size(), qsizetype(picked.size())) << "[选行] one line a row";
    for (size_t k = 0; k < picked.size(); ++k) {
        ASSERT_EQ(state.issueLines[qsizetype(k)].name, table.text(picked[k], 1)) << "[选行]";
        ASSERT_EQ(state.issueLines[qsizetype(k)].recordId, model[size_t(picked[k] - 2)].id)
            << "[选行] the line keeps its record";
    }
}

// Takes the stock file as it is for the model's new start, after a step
// whose outcome the model did not expect (a census run goes on from there).
void StorekeeperSession::resynchronise()
{
    RecordStore reader;
    ASSERT_TRUE(reader.open(state.path(Stock::fileName()), Stock::alias()));
    model.assign(size_t(reader.recordCount()), {});
    for (int i = 1; i <= reader.recordCount(); ++i) {
        ASSERT_TRUE(reader.goTo(i));
        model[size_t(i - 1)].id = reader.recordId();
        for (int f = 1; f <= Stock::fieldCount; ++f)
            model[size_t(i - 1)].f[size_t(f)] = reader.read(f);
    }
    receiptBackups.clear();
    issueBackups.clear();
    wholeBackups.clear();
    prompts.clearAnswers();
    trigger(QStringLiteral("刷新显示"));
    forgetPicks();
}

QString lastSteps(const QString &history, int count)
{
    const QStringList lines = history.split(u'\n');
    return lines.mid(std::max(qsizetype(0), lines.size() - count - 1)).join(u'\n');
}

int failuresSoFar()
{
    return testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

TEST_F(StorekeeperSession, EveryCombinationOfOrdinaryCommandsKeepsTheStockExact)
{
    const int steps = qEnvironmentVariableIntValue("WAREHOUSE_SESSION_STEPS") > 0
        ? qEnvironmentVariableIntValue("WAREHOUSE_SESSION_STEPS")
        : 2500;
    const bool census = qEnvironmentVariableIsSet("WAREHOUSE_SESSION_CENSUS");
    int failures = failuresSoFar();
    for (int i = 1; i <= steps; ++i) {
        history += QStringLiteral("%1. ").arg(i);
        step();
        EXPECT_EQ(prompts.pendingAnswers(), 0)
            << "[询问] a question the model expected was not asked";
        prompts.clearShown();
        if (failuresSoFar() == failures) {
            expectStockAsModelled();
            expectListAsModelled();
            if (qgetenv("WAREHOUSE_SESSION_CENSUS") != "stock")
                expectPicksAsModelled();
        }
        if (failuresSoFar() != failures) {
            ADD_FAILURE() << "WAREHOUSE_SESSION_SEED=" << seed << " after step " << i << ":\n"
                          << qPrintable(lastSteps(history, census ? 6 : 40));
            if (!census)
                return;
            resynchronise();
            failures = failuresSoFar();
        }
    }
    RecordProperty("notesBooked", notesBooked);
}

} // namespace
