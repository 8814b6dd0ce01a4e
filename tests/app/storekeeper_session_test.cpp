// A storekeeper's working days played at random through the main window on
// screen, with the mouse and the keyboard: receipts typed into the item
// window (pressed once or twice, negative and very large numbers among
// them), picks by click, drag, Shift, Ctrl and the arrow keys, issue notes
// corrected cell by cell, printed before and after booking, undo of either
// kind after later movements, deletions and re-added keys, opening stock and
// receipts read from a spreadsheet, backup, restore and clear.
//
// The model is an oracle of its own (storekeeper_oracle.h): it keeps every
// record, field for field, and a journal of each record's movements, and
// works out by hand what the stock file, every column of the list, the
// ledger, the six period lists and the printed note must show. After every
// step the stock file and the list must be as it says, and every question
// it expects must have been asked, and no other.
//
// WAREHOUSE_SESSION_STEPS and WAREHOUSE_SESSION_SEED (a number, or "random")
// lengthen or vary a run; a failure prints the seed and the steps that led
// to it, so the case replays. WAREHOUSE_SESSION_CENSUS=1 goes on after each
// fault, from the stock file as it is, to list the faults a build has.

#include "app/main_window.h"
#include "app/stock_list.h"
#include "common/gbk.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "issue/issue_note_window.h"
#include "movements/item_window.h"
#include "support/main_window_fixture.h"
#include "support/modal_window.h"
#include "support/pdf_text.h"
#include "table/data_source.h"
#include "tableeditor/table_editor_window.h"

#include "storekeeper_oracle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <array>
#include <map>
#include <random>

namespace {

using Oracle::cents;
using Oracle::shown;
using Oracle::typed;
using Oracle::when;
using Values = std::array<QVariant, Stock::fieldCount + 1>; // [1..23]

// One movement in a record's journal, as the storekeeper would note it.
struct Move
{
    bool receipt;
    QDateTime at;
    double q, a;
};

struct Record
{
    qint64 id = 0; // the stock file's identity, learnt when the record appears
    Values f;
    std::vector<Move> moves;
    QString key() const { return f[Stock::Name].toString() + u'\x1f' + f[Stock::Spec].toString(); }
    double n(int field) const { return f[size_t(field)].toDouble(); }
};

// The latest receipt (issue) of a key: the records as they were before it,
// the record it booked, and what it booked.
struct Latest
{
    std::vector<Record> before;
    qint64 id = 0;
    QString line;
    Move move;
};

// The fields a receipt (an issue) keeps for itself.
struct Side
{
    int day, dayAmount, month, monthAmount, year, yearAmount, date, history;
    std::vector<int> own() const
    {
        return {day, dayAmount, month, monthAmount, year, yearAmount, date, history};
    }
};
const Side receiptSide {Stock::ReceiptQuantity, Stock::ReceiptAmount, Stock::MonthReceiptQuantity,
    Stock::MonthReceiptAmount, Stock::YearReceiptQuantity, Stock::YearReceiptAmount,
    Stock::ReceiptDate, Stock::ReceiptHistory};
const Side issueSide {Stock::IssueQuantity, Stock::IssueAmount, Stock::MonthIssueQuantity,
    Stock::MonthIssueAmount, Stock::YearIssueQuantity, Stock::YearIssueAmount, Stock::IssueDate,
    Stock::IssueHistory};

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
        out += c.unicode() > 0x20 && c.unicode() < 0x7F ? QChar(c.unicode() + 0xFEE0) : c;
    return out;
}

QString grouped(double value)
{
    QString text = shown(value);
    const qsizetype dot = text.indexOf(u'.') < 0 ? text.size() : text.indexOf(u'.');
    for (qsizetype at = dot - 3; at > (text.startsWith(u'-') ? 1 : 0); at -= 3)
        text.insert(at, u',');
    return text;
}

// The same amount, to far below a cent, whatever its size.
bool near(double a, double b)
{
    return std::abs(a - b) <= 1e-7 + 1e-14 * std::abs(b);
}

bool near(const QVariant &program, const QVariant &model)
{
    if (model.typeId() != QMetaType::Double)
        return program == model || (program.toString().isEmpty() && model.toString().isEmpty());
    return near(program.toDouble(), model.toDouble());
}

// The questions of the program, each known by a part of its text, and the
// answer the session gives. A question the session did not expect is a
// fault, answered No so that nothing more is booked.
class Questions
{
public:
    // `optional`: the program may ask it or refuse without asking.
    void expect(const QString &part, bool answer, bool optional = false)
    {
        expected_[part] = {answer, optional};
    }
    // One question may say several things the session expects: each part it
    // holds counts as asked, and they share one answer.
    bool answer(const QString &text)
    {
        std::optional<bool> given;
        for (auto &[part, expectation] : expected_)
            if (text.contains(part)) {
                expectation.second = true;
                given = given.value_or(true) && expectation.first;
            }
        if (!given)
            ADD_FAILURE() << "[询问] unexpected question: " << qPrintable(text);
        return given.value_or(false);
    }
    // Every question expected since the last call was asked.
    void checkAsked(const QString &what)
    {
        for (const auto &[part, expectation] : expected_)
            EXPECT_TRUE(expectation.second)
                << "[询问] " << qPrintable(what) << ": not asked: " << qPrintable(part);
        expected_.clear();
    }

private:
    std::map<QString, std::pair<bool, bool>> expected_; // part -> answer, asked
};

// Parts of the questions' texts.
const QString undoQuestion = QStringLiteral("注意:检测到备份文件为");
const QString deleteQuestion = QStringLiteral("确定删除项目");
const QString twinsQuestion = QStringLiteral("在库存中已有");
const QString receiptOfTodayQuestion = QStringLiteral("进库的吗");
const QString receiptQuestion = QStringLiteral("确定入库吗");
const QString newItemQuestion = QStringLiteral("将新建这个项目");
const QString wholeStockQuestion = QStringLiteral("现有的全部库存");
const QString noteQuestion = QStringLiteral("仍然出库吗");
const QString restoreQuestion = QStringLiteral("替换现在的全部库存数据");
const QString tenthPickMessage = QStringLiteral("已选满9行");

class StorekeeperSession : public StockWindowTest
{
protected:
    void SetUp() override
    {
        StockWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        const QByteArray seedText = qgetenv("WAREHOUSE_SESSION_SEED");
        seed = seedText == "random" ? std::random_device()()
            : seedText.isEmpty()    ? 20261209u
                                    : seedText.toUInt();
        rng.seed(seed);
        clock.set(QDateTime(QDate(2026, 12, 30), QTime(8, 0)));
        window->resize(1366, 768); // the storekeeper's screen
        prompts.setQuestionHandler([this](const QString &text) { return questions.answer(text); });
        // The names on every note: the storekeeper types them once.
        runModal(QStringLiteral("参数配置"), [&](QWidget *window) {
            const auto box = [&](int i) {
                return window->findChild<QLineEdit *>(QStringLiteral("编辑框%1").arg(i));
            };
            typeInto(box(3), department);
            typeInto(box(10), handler);
            QTest::mouseClick(
                window->findChild<QPushButton *>(QStringLiteral("按钮1")), Qt::LeftButton);
        });
        readModelFromFile();
    }

    int chance(int n) { return int(rng() % unsigned(n)); }
    bool percent(int p) { return chance(100) < p; }
    double amountOf(long long cents) { return double(cents) / 100.0; }

    // --- the model's bookkeeping --------------------------------------------
    static void addTotals(Values &v, const Side &side, double q, double a, const QDateTime &now)
    {
        const QDate last = v[size_t(side.date)].toDateTime().date();
        const bool year = last.isValid() && last.year() == now.date().year();
        const bool month = year && last.month() == now.date().month();
        const bool day = month && last.day() == now.date().day();
        const auto add = [&](int field, bool keep, double by) {
            v[size_t(field)] = cents((keep ? v[size_t(field)].toDouble() : 0) + by);
        };
        add(side.day, day, q);
        add(side.dayAmount, day, a);
        add(side.month, month, q);
        add(side.monthAmount, month, a);
        add(side.year, year, q);
        add(side.yearAmount, year, a);
        v[size_t(side.date)] = now;
    }
    static Values emptyValues()
    {
        Values v;
        for (int f = 1; f <= Stock::fieldCount; ++f)
            v[size_t(f)] = Stock::layout()[f - 1].kind == FieldKind::Number ? QVariant(0.0)
                : Stock::layout()[f - 1].kind == FieldKind::DateTime        ? QVariant(QDateTime())
                                                                            : QVariant(QString());
        return v;
    }
    Record *byId(qint64 id, const QString &key)
    {
        for (Record &r : model)
            if (r.id == id && r.key() == key)
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
    int rowOf(const Record &r) const { return int(&r - model.data()) + 2; }

    // --- the storekeeper's hands --------------------------------------------
    void trigger(const QString &caption) { StockWindowTest::trigger(caption); }
    void show(int row) { grid->scrollTo(grid->model()->index(row - 1, 0)); }
    void clickRow(int row, int column = 1, Qt::KeyboardModifiers modifiers = {})
    {
        show(row);
        const auto [widget, point] = spot(row, column);
        QTest::mouseClick(widget, Qt::LeftButton, modifiers, point);
    }
    // Keys for the letters and digits; what an input method commits for the
    // rest (Chinese, full-width forms), as the storekeeper's keyboard gives it.
    static void typeText(QWidget *widget, const QString &text)
    {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(widget, char(c.unicode()));
                continue;
            }
            QInputMethodEvent committed;
            committed.setCommitString(QString(c));
            QApplication::sendEvent(widget, &committed);
        }
    }
    static void typeInto(QLineEdit *box, const QString &text)
    {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(box, Qt::Key_Backspace);
        else
            typeText(box, text);
    }
    static void typeIntoCell(IssueNoteWindow &w, int row, int column, const QString &text)
    {
        Grid *g = w.grid();
        const QPoint at = g->viewport()->mapTo(
            &w, g->visualRect(g->model()->index(row - 1, column - 1)).center());
        QWidget *under = w.childAt(at);
        QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(&w, at));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        typeText(QApplication::focusWidget(), text);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents();
    }

    // --- steps --------------------------------------------------------------
    void receipt();
    bool bookReceipt(
        QWidget *window, Record *shownRecord, const QString &name, const QString &spec);
    void deletion();
    void pick();
    void issueNote();
    void noteWindow(IssueNoteWindow &note, const std::vector<int> &rows);
    void undo();
    bool takeBack(bool receipt, Record &record, const Latest &latest);
    void bulkAddition();
    void wholeFile();
    void lookUp();
    void step();

    // --- checks -------------------------------------------------------------
    void readModelFromFile();
    void readIdsFromFile();
    void expectStockAsModelled();
    void expectListAsModelled();
    void expectPicksAsModelled();
    void expectLedger(const Record &record, QWidget *window);
    void expectPeriodList(bool receipts, int period, TableEditorWindow &editor);
    void expectExportAsShown(TableEditorWindow &editor);
    void resynchronise();

    Questions questions;
    unsigned seed = 0;
    std::mt19937 rng;

    std::vector<Record> model;
    std::vector<int> picked; // list rows picked, in order
    std::map<QString, Latest> latestReceipt, latestIssue; // by key; kept on the disk
    std::vector<std::pair<QString, std::vector<Record>>> wholeBackups;
    const QString department = QStringLiteral("配电工区"), handler = QStringLiteral("张伟");
    QString history; // the steps so far, for the failure message
    int notesBooked = 0;
    int exports = 0;
    bool journalKnown = true;
};

// A receipt through the item window: the storekeeper clicks the item's row
// (or types a key the stock does not hold), types the quantity received and
// now and then a new price or amount, and presses 添  加 once or twice.
void StorekeeperSession::receipt()
{
    const auto &[n, s] = keys[size_t(chance(int(keys.size())))];
    const QString name = QString::fromUtf16(n), spec = QString::fromUtf16(s);
    std::vector<Record> twins = recordsOf(name + u'\x1f' + spec);
    Record *shownRecord = nullptr;
    if (!twins.empty())
        shownRecord = byId(twins[size_t(chance(int(twins.size())))].id, twins.front().key());
    if (shownRecord)
        clickRow(rowOf(*shownRecord));
    else if (!model.empty())
        clickRow(2 + chance(int(model.size())));
    history += QStringLiteral("进库 %1 %2").arg(name, spec);
    runModal(QStringLiteral("项目编辑"),
        [&](QWidget *window) { bookReceipt(window, shownRecord, name, spec); });
    picked.clear(); // any window opened from the list starts a new choice
    history += u'\n';
    readIdsFromFile();
}

bool StorekeeperSession::bookReceipt(
    QWidget *window, Record *shownRecord, const QString &name, const QString &spec)
{
    auto *itemWindow = qobject_cast<ItemWindow *>(window);
    EXPECT_NE(itemWindow, nullptr);
    if (!itemWindow)
        return false;
    const auto box = [&](int i) {
        return window->findChild<QLineEdit *>(QStringLiteral("编辑框%1").arg(i));
    };
    if (shownRecord) {
        EXPECT_EQ(box(4)->text(), shown(shownRecord->n(Stock::UnitPrice))) << "[项目] 单价";
        EXPECT_EQ(box(5)->text(), shown(shownRecord->n(Stock::Quantity))) << "[项目] 数量";
    } else {
        typeInto(box(1), name);
        typeInto(box(2), spec);
        typeInto(box(3), QStringLiteral("个"));
    }
    const bool typedQuantity = !shownRecord || percent(92);
    if (typedQuantity) {
        const int form = chance(100);
        const double q = form < 3 ? -amountOf(100 * (1 + chance(50)))
            : form < 5            ? amountOf(100 * (1234567890LL + chance(99)))
                                  : amountOf(100 * (1 + chance(1500)) + 25 * chance(4));
        typeInto(box(5),
            form % 7 == 0        ? grouped(q)
                : form % 11 == 0 ? fullWidth(shown(q))
                                 : shown(q));
    }
    if (!shownRecord || percent(30))
        typeInto(box(4), shown(amountOf(1 + chance(20000))));
    if (percent(10))
        typeInto(box(7), shown(chance(50)));
    const bool amountTyped = percent(5);
    if (amountTyped)
        typeInto(box(6), shown(amountOf(chance(10000000))));
    const int mistake = chance(100);
    if (mistake < 3)
        typeInto(box(5), mistake == 0 ? QStringLiteral("十") : QStringLiteral("12abc"));
    if (mistake == 3 && !shownRecord)
        typeInto(box(1), QString());
    const QString qText = box(5)->text(), pText = box(4)->text(), aText = box(6)->text();
    history += QStringLiteral(" 数量 %1 单价 %2 金额 %3").arg(qText, pText, aText);
    const std::optional<double> q = typed(qText), p = typed(pText);
    if (!q || !p || box(1)->text().isEmpty()) {
        prompts.clearShown();
        QTest::mouseClick(itemWindow->addButton(), Qt::LeftButton);
        EXPECT_FALSE(prompts.messages().isEmpty()) << "[进库] the refusal is told";
        return false;
    }
    const double a = amountTyped ? *typed(aText) : Oracle::amount(*p, *q);
    EXPECT_TRUE(typed(aText) && near(*typed(aText), a))
        << "[进库] 金额 " << qPrintable(aText) << " is " << qPrintable(shown(a));
    const double alarm = typed(box(7)->text()).value_or(0);

    // One question says all that is unusual about the receipt.
    QStringList unusual;
    if (!shownRecord)
        unusual << newItemQuestion;
    if (shownRecord && !typedQuantity && *q != 0)
        unusual << wholeStockQuestion;
    if (*q < 0)
        unusual << QStringLiteral("数量栏的 %1 是负数").arg(qText);
    if (a < 0)
        unusual << QStringLiteral("金额栏的 %1 是负数").arg(aText);
    const bool book = unusual.isEmpty() || percent(shownRecord && !typedQuantity ? 30 : 70);
    for (const QString &part : unusual)
        questions.expect(part, book);
    if (!unusual.isEmpty())
        history += QStringLiteral(" 问“%1”答%2").arg(unusual.join(u'/'), book ? u"是" : u"否");
    QTest::mouseClick(itemWindow->addButton(), Qt::LeftButton);
    questions.checkAsked(QStringLiteral("进库"));
    if (!book)
        return false;

    const QDateTime now = clock.now();
    const QString key = name + u'\x1f' + spec;
    Latest latest {recordsOf(key), 0, {}, {true, now, *q, a}};
    if (shownRecord) {
        Values &v = shownRecord->f;
        const double stock = cents(shownRecord->n(Stock::Quantity) + *q);
        const double value = cents(shownRecord->n(Stock::Amount) + a);
        const double average = stock != 0 ? cents(value / stock) : shownRecord->n(Stock::UnitPrice);
        v[Stock::Quantity] = stock;
        v[Stock::Amount] = value;
        v[Stock::UnitPrice] = average;
        v[Stock::AlarmQuantity] = alarm;
        latest.line = QStringLiteral("数量 %1 单价 %2 金额 %3 入库后均价 %4 数量 %5 时间 %6\r\n")
                          .arg(qText, pText, aText, shown(average), shown(stock), when(now));
        addTotals(v, receiptSide, *q, a, now);
        v[Stock::ReceiptHistory] = v[Stock::ReceiptHistory].toString() + latest.line;
        shownRecord->moves.push_back(latest.move);
        latest.id = shownRecord->id;
    } else {
        Record added {0, emptyValues(), {latest.move}};
        Values &v = added.f;
        v[Stock::Name] = name;
        v[Stock::Spec] = spec;
        v[Stock::Unit] = QStringLiteral("个");
        v[Stock::Quantity] = *q;
        v[Stock::UnitPrice] = *p;
        v[Stock::Amount] = cents(a); // the amount booked is the value stored
        v[Stock::AlarmQuantity] = alarm;
        latest.line = QStringLiteral("数量 %1 单价 %2 金额 %3 入库后均价 %4 数量 %5 时间 %6\r\n")
                          .arg(qText, pText, aText, shown(*p), shown(*q), when(now));
        addTotals(v, receiptSide, *q, a, now);
        v[Stock::ReceiptHistory] = latest.line;
        model.push_back(added);
    }
    latestReceipt[key] = latest;
    const Record &booked = shownRecord ? *shownRecord : model.back();
    EXPECT_TRUE(typed(box(6)->text()) && near(*typed(box(6)->text()), booked.n(Stock::Amount)))
        << "[进库] the window shows the value booked, " << qPrintable(box(6)->text());
    if (percent(30)) { // pressed again: nothing more is booked
        history += QStringLiteral(" 再按添加");
        QTest::mouseClick(itemWindow->addButton(), Qt::LeftButton);
    }
    return true;
}

void StorekeeperSession::deletion()
{
    if (model.empty())
        return;
    // The last record half the time: a record added next must not take its
    // identity, or an undo would write over it.
    Record &target = model[percent(50) ? model.size() - 1 : size_t(chance(int(model.size())))];
    clickRow(rowOf(target));
    const bool yes = percent(70);
    history += QStringLiteral("删除 %1 %2 %3\n")
                   .arg(target.f[Stock::Name].toString(), target.f[Stock::Spec].toString(),
                       yes ? u"是" : u"否");
    questions.expect(deleteQuestion, yes);
    runModal(QStringLiteral("项目编辑"), [&](QWidget *window) {
        QTest::mouseClick(qobject_cast<ItemWindow *>(window)->deleteButton(), Qt::LeftButton);
    });
    questions.checkAsked(QStringLiteral("删除"));
    picked.clear();
    if (yes)
        model.erase(model.begin() + (&target - model.data()));
}

// Picks with the mouse and the keyboard. A click, a drag over rows and a
// Shift-click pick the rows not picked yet, up to nine; Ctrl+click takes a
// row back or picks it; Delete takes the cursor's row back; the arrow keys
// and a sum in a number column pick nothing.
void StorekeeperSession::pick()
{
    const int rows = window->stockTable().rowCount();
    if (rows < 2)
        return;
    const auto isPicked = [&](int r) {
        return std::find(picked.begin(), picked.end(), r) != picked.end();
    };
    const auto take = [&](int from, int to) {
        for (int r = from; r <= to && picked.size() < 9; ++r)
            if (r >= 2 && !isPicked(r))
                picked.push_back(r);
    };
    const int row = 2 + chance(rows - 1);
    const int gesture = chance(100);
    if (gesture < 30) {
        history += QStringLiteral("单击 行%1\n").arg(row);
        const bool full = picked.size() == 9 && !isPicked(row);
        prompts.clearShown();
        clickRow(row, 1 + chance(3));
        take(row, row);
        if (full) {
            EXPECT_TRUE(prompts.messages().join(u'\n').contains(tenthPickMessage))
                << "[选行] a tenth pick is told";
        }
    } else if (gesture < 50) {
        const int last = std::min(rows, row + chance(percent(10) ? 12 : 4));
        history += QStringLiteral("拖选 行%1-%2\n").arg(row).arg(last);
        show(last);
        show(row);
        drag(row, 1, last, 1 + chance(3));
        take(row, last);
    } else if (gesture < 60) {
        const int from = grid->cursorRow();
        history += QStringLiteral("Shift+单击 行%1 (光标行%2)\n").arg(row).arg(from);
        clickRow(row, 1, Qt::ShiftModifier);
        if (from >= 1)
            take(std::min(from, row), std::max(from, row));
    } else if (gesture < 70) {
        history += QStringLiteral("Ctrl+单击 行%1\n").arg(row);
        prompts.clearShown();
        const bool full = picked.size() == 9 && !isPicked(row);
        clickRow(row, 1, Qt::ControlModifier);
        if (isPicked(row))
            picked.erase(std::find(picked.begin(), picked.end(), row));
        else
            take(row, row);
        if (full) {
            EXPECT_TRUE(prompts.messages().join(u'\n').contains(tenthPickMessage))
                << "[选行] a tenth pick is told";
        }
    } else if (gesture < 85) {
        // The cursor walks to a row with the arrow keys; now and then Delete.
        const int from = std::max(grid->currentIndex().row() + 1, 1);
        if (from == row)
            return; // no key to press
        history += QStringLiteral("方向键 行%1→%2").arg(from).arg(row);
        ASSERT_TRUE(activated(window.get()));
        grid->setFocus();
        show(from);
        for (int r = from; r != row; r += row > from ? 1 : -1)
            QTest::keyClick(grid, row > from ? Qt::Key_Down : Qt::Key_Up);
        const Record &record = model[size_t(row - 2)];
        EXPECT_TRUE(state.selectedItem.recordId == record.id
            && state.selectedItem.name == record.f[Stock::Name].toString())
            << "[光标] the selected item is the cursor's row";
        if (isPicked(row) && percent(50)) {
            history += QStringLiteral(" Delete");
            QTest::keyClick(grid, Qt::Key_Delete);
            picked.erase(std::find(picked.begin(), picked.end(), row));
        }
        history += u'\n';
    } else {
        const int last = std::min(rows, row + chance(3));
        history += QStringLiteral("求和 行%1-%2\n").arg(row).arg(last);
        grid->scrollTo(grid->model()->index(last - 1, 5));
        grid->scrollTo(grid->model()->index(row - 1, 3));
        drag(row, 4, last, 4 + chance(3));
    }
}

// A line of the note as the model expects it booked.
struct NoteLine
{
    Record *record;
    double q, a;
};

void StorekeeperSession::issueNote()
{
    const std::vector<int> rows = picked;
    history += QStringLiteral("开票 %1行").arg(rows.size());
    runModal(QStringLiteral("开票预览"),
        [&](QWidget *window) { noteWindow(*qobject_cast<IssueNoteWindow *>(window), rows); });
    picked.clear();
    history += u'\n';
}

void StorekeeperSession::noteWindow(IssueNoteWindow &note, const std::vector<int> &rows)
{
    const QString pdf = state.path(QStringLiteral("note.pdf"));
    QFile::remove(pdf);
    note.setPdfOutput(pdf);
    DataSource &cells = note.note();
    // Each picked row is a line, proposing the item's whole stock.
    for (size_t k = 0; k < rows.size(); ++k) {
        const Record &record = model[size_t(rows[k] - 2)];
        EXPECT_EQ(cells.text(5 + int(k), 1), record.f[Stock::Name].toString()) << "[开票] line";
        EXPECT_EQ(typed(cells.text(5 + int(k), 3)), record.n(Stock::Quantity)) << "[开票] stock";
    }
    // The storekeeper corrects quantities, now and then an amount or a name.
    std::vector<bool> amountTyped(rows.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        const int r = 5 + int(k);
        const auto edit = [&](int column, const QString &text) {
            typeIntoCell(note, r, column, text);
            history += QStringLiteral(" [%1,%2]=%3").arg(r).arg(column).arg(text);
        };
        if (percent(75)) {
            const double stock = std::max(typed(cells.text(r, 3)).value_or(0), 0.0);
            const int kind = chance(100);
            const double q = kind < 3 ? -amountOf(1 + chance(500))
                : kind < 15           ? stock + 1 + chance(50)
                                      : amountOf(chance(int(std::min(stock, 1e6) * 100) + 1));
            const int form = chance(20);
            edit(3,
                form == 0      ? shown(q) + QStringLiteral("件")
                    : form < 4 ? fullWidth(shown(q))
                    : form < 8 ? u' ' + shown(q) + u' '
                               : grouped(q));
        }
        if (percent(5)) {
            edit(6, shown(amountOf(chance(100000))));
            amountTyped[k] = true;
        }
        if (percent(3))
            edit(1, cells.text(r, 1) + QStringLiteral("x"));
    }

    // What the note books, worked out by hand.
    std::vector<NoteLine> lines;
    bool refused = false, asks = false;
    std::map<Record *, std::array<double, 3>> left; // stock and value left, quantity issued
    for (size_t k = 0; k < rows.size(); ++k) {
        const int r = 5 + int(k);
        Record &record = model[size_t(rows[k] - 2)];
        const std::optional<double> q = typed(cells.text(r, 3));
        const std::optional<double> price = typed(cells.text(r, 5));
        if (cells.text(r, 1) != record.f[Stock::Name].toString() || !q || !price) {
            refused = true;
            continue;
        }
        const double a = amountTyped[k] ? *typed(cells.text(r, 6)) : Oracle::amount(*price, *q);
        EXPECT_TRUE(typed(cells.text(r, 6)) && near(*typed(cells.text(r, 6)), a))
            << "[开票] the amount of line " << k + 1 << ": " << qPrintable(cells.text(r, 6));
        auto &[stock, value, issued] = left.try_emplace(&record,
                                               std::array<double, 3> {record.n(Stock::Quantity),
                                                   record.n(Stock::Amount), 0.0})
                                           .first->second;
        stock = cents(stock - *q);
        value = cents(value - a);
        issued = cents(issued + *q);
        asks = asks || *q < 0 || a < 0 || (a > 0 && value < -1e-7);
        lines.push_back({&record, *q, a});
    }
    for (const auto &[record, l] : left)
        asks = asks || (l[2] > 0 && l[0] <= 1e-7); // to zero or below
    bool book = !refused && !lines.empty();
    if (book && asks) {
        book = percent(60);
        questions.expect(noteQuestion, book);
        history += book ? QStringLiteral(" 仍然出库:是") : QStringLiteral(" 仍然出库:否");
    }

    // Printed before it is booked, the note says so.
    if (percent(10)) {
        history += QStringLiteral(" 先打印");
        QTest::mouseClick(note.printButton(), Qt::LeftButton);
        if (PdfText::available() && QFileInfo::exists(pdf)) {
            EXPECT_TRUE(PdfText::pages(pdf).join(u'\n').contains(QStringLiteral("未记账")))
                << "[打印] a note printed before booking says it is not booked";
        }
        QFile::remove(pdf);
    }
    const int presses = percent(30) ? 2 : 1;
    history += QStringLiteral(" 按出库%1次").arg(presses);
    for (int press = 0; press < presses; ++press)
        if (note.issueButton()->isEnabled())
            QTest::mouseClick(note.issueButton(), Qt::LeftButton);
    questions.checkAsked(QStringLiteral("出库"));
    EXPECT_EQ(QFileInfo::exists(pdf), book) << "[打印] printed exactly when booked";
    if (!book)
        return;

    const QDateTime now = clock.now();
    double total = 0;
    for (size_t k = 0; k < lines.size(); ++k) {
        const NoteLine &line = lines[k];
        const int r = 5 + int(k);
        // After booking the note shows what was booked.
        EXPECT_EQ(cells.text(r, 3), shown(line.q)) << "[出库] booked quantity on the note";
        EXPECT_EQ(cells.text(r, 6), Oracle::money(line.a)) << "[出库] booked amount on the note";
        Values &v = line.record->f;
        Latest latest {
            recordsOf(line.record->key()), line.record->id, {}, {false, now, line.q, line.a}};
        v[Stock::Quantity] = cents(line.record->n(Stock::Quantity) - line.q);
        const double value = cents(line.record->n(Stock::Amount) - line.a);
        v[Stock::Amount] = value < -0.0000001 ? 0.0 : value;
        addTotals(v, issueSide, line.q, line.a, now);
        latest.line
            = QStringLiteral("数量 %1 金额 %2 部门 %3 经手 %4  时间 %5\r\n")
                  .arg(shown(line.q), Oracle::money(line.a), department, handler, when(now));
        v[Stock::IssueHistory] = v[Stock::IssueHistory].toString() + latest.line;
        line.record->moves.push_back(latest.move);
        latestIssue[line.record->key()] = latest;
        total = cents(total + line.a);
    }
    EXPECT_EQ(cells.text(14, 6), Oracle::money(total)) << "[出库] the total of the note";
    ++notesBooked;
    if (notesBooked % 5 != 1 || !PdfText::available())
        return;
    const QStringList pages = PdfText::pages(pdf);
    ASSERT_EQ(pages.size(), 1) << "[打印] one page";
    const QString page = pages.first().normalized(QString::NormalizationForm_KC);
    for (const NoteLine &line : lines)
        for (const QString &text : {shown(line.q), Oracle::money(line.a)})
            EXPECT_TRUE(page.contains(text)) << "[打印] " << qPrintable(text) << " on the note";
    EXPECT_FALSE(page.contains(QStringLiteral("未记账"))) << "[打印] the booked note";
    EXPECT_TRUE(page.contains(QStringLiteral("领料部门")) && page.contains(department))
        << "[打印] captions beside the names";
}

// Undo of a key's latest receipt (issue), from its row. It takes back that
// movement alone: the records as they were before it when the record has not
// moved since, else only its quantity and amount, its own totals and its
// history line, the later movements staying. A record that is gone, or that
// no longer carries the movement (restored from an older backup, undone
// already), is left alone.
void StorekeeperSession::undo()
{
    const bool ofReceipt = percent(50);
    auto &latestOf = ofReceipt ? latestReceipt : latestIssue;
    std::vector<QString> candidates;
    for (const auto &[key, latest] : latestOf)
        if (!recordsOf(key).empty())
            candidates.push_back(key);
    if (candidates.empty())
        return;
    const QString key = candidates[size_t(chance(int(candidates.size())))];
    const Latest &latest = latestOf[key];
    Record *record = byId(latest.id, key);
    clickRow(
        rowOf(record ? *record : *std::find_if(model.begin(), model.end(), [&](const Record &r) {
            return r.key() == key;
        })));
    const auto before = std::find_if(latest.before.begin(), latest.before.end(),
        [&](const Record &r) { return record && r.id == record->id; });
    const Side &own = ofReceipt ? receiptSide : issueSide;
    const bool applies = record && before != latest.before.end()
        && record->f[size_t(own.history)].toString()
            == before->f[size_t(own.history)].toString() + latest.line;
    const bool yes = percent(85);
    history += (ofReceipt ? QStringLiteral("取消进库 ") : QStringLiteral("取消出库 "))
        + QString(key).replace(u'\x1f', u' ')
        + (applies ? QString() : QStringLiteral("（无可取消）"))
        + (yes ? QStringLiteral(" 是\n") : QStringLiteral(" 否\n"));
    if (applies) // otherwise it is refused without a question
        questions.expect(undoQuestion, yes);
    prompts.clearShown();
    trigger(ofReceipt ? QStringLiteral("取消进库") : QStringLiteral("取消出库"));
    questions.checkAsked(QStringLiteral("取消"));
    picked.clear();
    if (applies) {
        const QString asked = prompts.shown().empty() ? QString() : prompts.shown().front().text;
        EXPECT_TRUE(asked.contains(record->f[Stock::Spec].toString())
            && asked.contains(when(latest.move.at)))
            << "[取消] the question names the item and the movement: " << qPrintable(asked);
    }
    if (applies && yes)
        takeBack(ofReceipt, *record, latest);
}

bool StorekeeperSession::takeBack(bool receipt, Record &record, const Latest &latest)
{
    const Record &before = *std::find_if(latest.before.begin(), latest.before.end(),
        [&](const Record &r) { return r.id == record.id; });
    const Side &own = receipt ? receiptSide : issueSide;
    const Side &other = receipt ? issueSide : receiptSide;
    const Move &move = latest.move;
    const auto gone = std::find_if(record.moves.begin(), record.moves.end(), [&](const Move &m) {
        return m.receipt == move.receipt && m.at == move.at && m.q == move.q && m.a == move.a;
    });
    EXPECT_NE(gone, record.moves.end()) << "[模型] the journal holds the movement";
    if (gone != record.moves.end())
        record.moves.erase(gone);
    if (record.f[size_t(other.history)] == before.f[size_t(other.history)]) {
        record.f = before.f; // nothing happened since: as it was
        return true;
    }
    // What the movement did to the stock, taken back from what it is now.
    const double preQ = before.n(Stock::Quantity), preV = before.n(Stock::Amount);
    double postV = cents(preV + (receipt ? move.a : -move.a));
    if (!receipt && postV < -0.0000001)
        postV = 0;
    const double dq = cents(preQ + (receipt ? move.q : -move.q)) - preQ;
    const double dv = postV - preV;
    for (const int field : own.own())
        record.f[size_t(field)] = before.f[size_t(field)];
    if (receipt)
        record.f[Stock::AlarmQuantity] = before.f[Stock::AlarmQuantity];
    const double q = cents(record.n(Stock::Quantity) - dq);
    double v = cents(record.n(Stock::Amount) - dv);
    if (v < -0.0000001)
        v = 0;
    record.f[Stock::Quantity] = q;
    record.f[Stock::Amount] = v;
    // With no stock left there is no average: a receipt taken back leaves
    // the price before it, an issue taken back the price now.
    record.f[Stock::UnitPrice] = q != 0 ? cents(v / q)
        : receipt                       ? before.f[Stock::UnitPrice]
                                        : record.f[Stock::UnitPrice];
    return true;
}

// A spreadsheet of a few rows read into the list (twins of stock items, new
// items, a blank row, digit grouping, now and then a cell that is no number)
// and added from wherever the cursor stands, as opening stock or as a
// receipt of the day.
void StorekeeperSession::bulkAddition()
{
    if (percent(10)) {
        history += QStringLiteral("加入数据库（列表是库存）\n");
        prompts.clearShown();
        trigger(QStringLiteral("加入数据库"));
        EXPECT_FALSE(prompts.messages().isEmpty()) << "[加入] refused on the stock list";
        return; // the list and its picks stay
    }
    struct Row
    {
        QString name, spec;
        double q, price, value, alarm;
        bool twin;
    };
    QString csv = QStringLiteral("\xFEFF材料表\n序号,品名,规格型号,单位,数量,单价,金额,报警数量\n");
    std::vector<Row> rows;
    bool faulty = false;
    std::vector<QString> used;
    for (int i = 0, count = 1 + chance(4); i < count; ++i) {
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
        Row row {name, QString::fromUtf16(s), amountOf(1 + chance(9999)),
            amountOf(100 * (1 + chance(3000))), 0, double(chance(30)), !recordsOf(key).empty()};
        row.value = cents(row.q * row.price);
        QString quantityText = u'"' + grouped(row.q) + u'"';
        if (percent(4)) {
            quantityText = shown(row.q) + QStringLiteral("abc");
            faulty = true;
        }
        csv += QStringLiteral("%1,%2,%3,米,%4,%5,\"%6\",%7\n")
                   .arg(i + 1)
                   .arg(row.name, row.spec, quantityText, shown(row.price), grouped(row.value),
                       shown(row.alarm));
        rows.push_back(row);
    }
    QFile file(state.path(QStringLiteral("导入.csv")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(csv.toUtf8());
    file.close();
    history += QStringLiteral("从电子表读 加入数据库:\n") + csv;
    prompts.answer(file.fileName());
    trigger(QStringLiteral("从电子表读"));
    EXPECT_TRUE(state.listShowsImport) << "[导入] " << qPrintable(prompts.messages().join(u'\n'));
    picked.clear();
    // A note from the sheet's rows would book them against the stock.
    if (percent(20) && window->stockTable().rowCount() >= 2) {
        drag(2, 1, window->stockTable().rowCount(), 1);
        bool opened = false;
        QPointer<QTimer> watch = whenModalShown<QWidget>(
            QStringLiteral("开票预览"), [&](QWidget *w) { opened = true, w->close(); }, true);
        prompts.clearShown();
        trigger(QStringLiteral("开票预览"));
        delete watch.data();
        EXPECT_FALSE(opened) << "[开票] no note from a spreadsheet's rows";
        EXPECT_FALSE(prompts.messages().isEmpty()) << "[开票] the refusal is told";
        history += QStringLiteral("开票预览（列表是电子表）\n");
        if (opened) { // back to the sheet, as it was
            prompts.answer(file.fileName());
            trigger(QStringLiteral("从电子表读"));
        }
    }
    // The cursor anywhere in the sheet: every item row is added.
    const int sheetRows = window->stockTable().rowCount();
    if (sheetRows >= 2)
        clickRow(2 + chance(sheetRows - 1), 1);
    picked.clear();
    const bool anyTwin = std::any_of(rows.begin(), rows.end(), [](const Row &r) { return r.twin; });
    const bool addTwins = percent(50);
    const bool opening = percent(70);
    if (!faulty && anyTwin)
        questions.expect(twinsQuestion, addTwins);
    const bool anyAdded
        = std::any_of(rows.begin(), rows.end(), [&](const Row &r) { return !r.twin || addTwins; });
    if (!faulty && anyAdded)
        questions.expect(receiptOfTodayQuestion, !opening);
    history += opening ? QStringLiteral("（期初）\n") : QStringLiteral("（进库）\n");
    trigger(QStringLiteral("加入数据库"));
    questions.checkAsked(QStringLiteral("加入数据库"));
    if (faulty || !anyAdded) {
        EXPECT_TRUE(state.listShowsImport) << "[列表] the sheet stays on screen";
        trigger(QStringLiteral("刷新显示"));
        return;
    }
    const QDateTime now = clock.now();
    for (const Row &r : rows) {
        if (r.twin && !addTwins)
            continue;
        Record added {0, emptyValues(), {}};
        Values &v = added.f;
        v[Stock::Name] = r.name;
        v[Stock::Spec] = r.spec;
        v[Stock::Unit] = QStringLiteral("米");
        v[Stock::Quantity] = r.q;
        v[Stock::UnitPrice] = r.price;
        v[Stock::Amount] = r.value;
        v[Stock::AlarmQuantity] = r.alarm;
        const QString line = QStringLiteral("数量 %1 单价 %2 金额 %3 %4\r\n")
                                 .arg(shown(r.q), shown(r.price), shown(r.value), when(now));
        if (opening) {
            v[Stock::ReceiptHistory] = QStringLiteral("期初 ") + line;
        } else {
            addTotals(v, receiptSide, r.q, r.value, now);
            v[Stock::ReceiptHistory] = line;
            added.moves.push_back({true, now, r.q, r.value});
        }
        model.push_back(added);
    }
    readIdsFromFile();
}

void StorekeeperSession::wholeFile()
{
    const int what = chance(10);
    if (what < 5) {
        history += QStringLiteral("备份数据库\n");
        trigger(QStringLiteral("备份数据库"));
        wholeBackups.push_back(
            {state.path(QStringLiteral("备份数据库/")) + when(clock.now()) + QStringLiteral(".zrb"),
                model});
        return; // the stock and the list stay as they are
    }
    if (what < 9) {
        if (wholeBackups.empty())
            return;
        const auto &[path, records] = wholeBackups[size_t(chance(int(wholeBackups.size())))];
        history += QStringLiteral("导入备份 ") + QFileInfo(path).fileName() + u'\n';
        prompts.answer(path);
        questions.expect(restoreQuestion, true);
        trigger(QStringLiteral("导入  备份 "));
        questions.checkAsked(QStringLiteral("导入备份"));
        model = records;
    } else {
        history += QStringLiteral("清空数据库\n");
        trigger(QStringLiteral("清空数据库"));
        model.clear();
    }
    // The item backups stay on the disk: an undo meets them later.
    picked.clear();
    readIdsFromFile();
}

// The storekeeper checks the books: an item's ledger, or one of the six
// period lists, against the journal the model keeps.
void StorekeeperSession::lookUp()
{
    if (percent(50) && !model.empty()) {
        const Record &record = model[size_t(chance(int(model.size())))];
        clickRow(rowOf(record));
        history += QStringLiteral("进出库簿 行%1\n").arg(rowOf(record));
        runModal(
            QStringLiteral("进出库簿"), [&](QWidget *window) { expectLedger(record, window); });
    } else {
        const QStringList periodNames {
            QStringLiteral("本日"), QStringLiteral("本月"), QStringLiteral("本年")};
        const bool receipts = percent(50);
        const int period = chance(3);
        history += QStringLiteral("统计 %1%2\n")
                       .arg(periodNames[period],
                           receipts ? QStringLiteral("进库") : QStringLiteral("出库"));
        runModal(periodNames[period] + (receipts ? QStringLiteral("进库") : QStringLiteral("出库")),
            [&](QWidget *window) {
                expectPeriodList(receipts, period, *qobject_cast<TableEditorWindow *>(window));
            });
    }
    picked.clear();
}

// Every history line on a line of its own, under the two headings.
void StorekeeperSession::expectLedger(const Record &record, QWidget *window)
{
    const QString name = record.f[Stock::Name].toString();
    const auto lines = [](QString text) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        return text;
    };
    const QString expected = QStringLiteral("以下是") + name + QStringLiteral("进库记录:\n")
        + lines(record.f[Stock::ReceiptHistory].toString()) + QStringLiteral("\n\n\n\n以下是")
        + name + QStringLiteral("出库记录:\n") + lines(record.f[Stock::IssueHistory].toString());
    const auto *box = window->findChild<QPlainTextEdit *>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->toPlainText().trimmed(), expected.trimmed()) << "[账簿] " << qPrintable(name);
    EXPECT_TRUE(window->windowTitle().contains(name)
        && window->windowTitle().contains(record.f[Stock::Spec].toString()))
        << "[账簿] title " << qPrintable(window->windowTitle());
}

// The items moved in the period, in stock order, with the period's sums
// from the journal and the time of their latest movement of the kind.
void StorekeeperSession::expectPeriodList(bool receipts, int period, TableEditorWindow &editor)
{
    const QDate today = clock.now().date();
    const auto inPeriod = [&](const QDate &d) {
        return d.year() == today.year() && (period == 2 || d.month() == today.month())
            && (period >= 1 || d.day() == today.day());
    };
    QStringList expected;
    for (const Record &r : model) {
        double q = 0, a = 0;
        QDateTime last;
        for (const Move &m : r.moves)
            if (m.receipt == receipts && inPeriod(m.at.date())) {
                q = cents(q + m.q);
                a = cents(a + m.a);
                last = m.at;
            }
        if (last.isValid())
            expected << QStringList {r.f[Stock::Name].toString(), r.f[Stock::Spec].toString(),
                r.f[Stock::Unit].toString(), shown(r.n(Stock::UnitPrice)), shown(q), shown(a),
                when(last)}
                            .join(u'|');
    }
    if (!journalKnown)
        return; // a census took the file as it was: the journal before is lost
    QStringList listed;
    const DataSource &table = editor.table();
    for (int row = table.headerRows() + 1; row <= table.rowCount(); ++row) {
        QStringList cells;
        for (int c = 1; c <= 7; ++c)
            cells << table.text(row, c);
        if (!cells.first().isEmpty()
            && QString(cells.first()).remove(u' ') != QStringLiteral("合计"))
            listed << cells.join(u'|');
    }
    EXPECT_TRUE(listed == expected) << "[统计] " << qPrintable(editor.windowTitle()) << ":\n"
                                    << qPrintable(listed.join(u'\n')) << "\nagainst\n"
                                    << qPrintable(expected.join(u'\n'));
    const QString title = editor.windowTitle();
    EXPECT_TRUE(title.contains(QString::number(today.year()) + u'年'))
        << "[统计] titled with its period: " << qPrintable(title);
    if (!listed.isEmpty() && percent(30))
        expectExportAsShown(editor);
}

// 转为电子表格 writes the rows as the editor shows them, 合计 included, and
// says where.
void StorekeeperSession::expectExportAsShown(TableEditorWindow &editor)
{
    const QDir folder(state.programDir, QStringLiteral("*.xls"));
    const QStringList before = folder.entryList();
    prompts.answer(QStringLiteral("月报"));
    prompts.clearShown();
    editor.action(QStringLiteral("&W.转为电子表格"))->trigger();
    const QString told = prompts.messages().join(u'\n');
    QStringList written = QDir(state.programDir, QStringLiteral("*.xls")).entryList();
    for (const QString &old : before)
        written.removeOne(old);
    ASSERT_EQ(written.size(), 1) << "[导出] one file written: " << qPrintable(told);
    const QString path = folder.filePath(written.first());
    EXPECT_TRUE(told.contains(QFileInfo(path).fileName()) && told.contains(state.programDir))
        << "[导出] the message names the folder and the file: " << qPrintable(told);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "[导出] " << qPrintable(path);
    const QString html = Gbk::decode(file.readAll());
    QStringList exported;
    static const QRegularExpression rowPattern(
        QStringLiteral("<tr[^>]*>(.*?)</tr>"), QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression cellPattern(QStringLiteral("<td[^>]*>([^<]*)</td>"));
    for (const auto &row : rowPattern.globalMatch(html)) {
        QStringList cells;
        for (const auto &cell : cellPattern.globalMatch(row.captured(1)))
            cells << cell.captured(1)
                         .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
                         .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
                         .replace(QStringLiteral("&amp;"), QStringLiteral("&"))
                         .trimmed();
        exported << cells.join(u'|');
    }
    QStringList shownRows;
    const DataSource &table = editor.table();
    for (int row = table.headerRows() + 1; row <= table.rowCount(); ++row) {
        QStringList cells;
        for (int c = 1; c <= table.columnCount(); ++c)
            cells << table.text(row, c).trimmed();
        shownRows << cells.join(u'|');
    }
    EXPECT_EQ(exported.mid(1).join(u'\n'), shownRows.join(u'\n')) << "[导出] rows as shown";
}

void StorekeeperSession::step()
{
    // Time moves on: minutes mostly, now and then into a new day, month or year.
    clock.set(clock.now().addSecs(1 + chance(600)));
    if (chance(100) < 8)
        clock.set(clock.now().addDays(1 + chance(40)));
    const int what = chance(100);
    if (what < 24)
        receipt();
    else if (what < 50)
        pick();
    else if (what < 66)
        issueNote();
    else if (what < 76)
        undo();
    else if (what < 81)
        bulkAddition();
    else if (what < 84)
        wholeFile();
    else if (what < 86)
        deletion();
    else if (what < 96)
        lookUp();
    else {
        history += QStringLiteral("刷新显示\n");
        trigger(QStringLiteral("刷新显示"));
        picked.clear();
    }
}

// The records as the stock file holds them: the model's start, and its
// new start after a step it did not expect (a census goes on from there).
void StorekeeperSession::readModelFromFile()
{
    RecordStore reader;
    ASSERT_TRUE(reader.open(stockPath(), Stock::alias()));
    model.assign(size_t(reader.recordCount()), {});
    for (int i = 1; i <= reader.recordCount(); ++i) {
        ASSERT_TRUE(reader.goTo(i));
        model[size_t(i - 1)].id = reader.recordId();
        for (int f = 1; f <= Stock::fieldCount; ++f)
            model[size_t(i - 1)].f[size_t(f)] = reader.read(f);
    }
}

// New records, and every record after a restore, take the identities the
// stock file gave them, by place.
void StorekeeperSession::readIdsFromFile()
{
    RecordStore reader;
    ASSERT_TRUE(reader.open(stockPath(), Stock::alias()));
    for (size_t i = 0; i < model.size() && int(i) < reader.recordCount(); ++i)
        if (reader.goTo(int(i) + 1))
            model[i].id = reader.recordId();
}

void StorekeeperSession::expectStockAsModelled()
{
    RecordStore reader;
    ASSERT_TRUE(reader.open(stockPath(), Stock::alias()));
    ASSERT_EQ(reader.recordCount(), int(model.size())) << "[库存] records lost or duplicated";
    for (size_t i = 0; i < model.size(); ++i) {
        ASSERT_TRUE(reader.goTo(int(i) + 1));
        const Record &r = model[i];
        ASSERT_EQ(reader.recordId(), r.id) << "[库存] record " << i + 1;
        for (int f = 1; f <= Stock::fieldCount; ++f)
            ASSERT_TRUE(near(reader.read(f), r.f[size_t(f)]))
                << "[库存] record " << i + 1 << " (" << qPrintable(r.f[1].toString()) << ") field "
                << qPrintable(Stock::layout()[f - 1].name) << ": "
                << qPrintable(reader.read(f).toString()) << " against "
                << qPrintable(r.f[size_t(f)].toString());
    }
}

// Every column of every row, as the storekeeper reads the list.
void StorekeeperSession::expectListAsModelled()
{
    const DataSource &table = window->stockTable();
    ASSERT_EQ(table.rowCount(), int(model.size()) + 1) << "[列表] the list shows the stock";
    for (int r = 2; r <= table.rowCount(); ++r) {
        const Values &v = model[size_t(r - 2)].f;
        const QStringList expected {v[Stock::Name].toString(), v[Stock::Spec].toString(),
            v[Stock::Unit].toString(), shown(v[Stock::Quantity].toDouble()),
            shown(v[Stock::UnitPrice].toDouble()), shown(v[Stock::Amount].toDouble()),
            shown(v[Stock::AlarmQuantity].toDouble())};
        for (int c = 1; c <= 7; ++c)
            ASSERT_EQ(table.text(r, c), expected[c - 1]) << "[列表] row " << r << " column " << c;
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
    for (size_t k = 0; k < picked.size(); ++k)
        ASSERT_EQ(state.issueLines[qsizetype(k)].recordId, model[size_t(picked[k] - 2)].id)
            << "[选行] line " << k + 1 << " keeps its record";
}

void StorekeeperSession::resynchronise()
{
    readModelFromFile();
    journalKnown = false;
    latestReceipt.clear();
    latestIssue.clear();
    wholeBackups.clear();
    prompts.clearAnswers();
    trigger(QStringLiteral("刷新显示"));
    picked.clear();
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

TEST_F(StorekeeperSession, AWorkingMonthKeepsStockListLedgerAndReportsAsWorkedOutByHand)
{
    const int steps = qEnvironmentVariableIntValue("WAREHOUSE_SESSION_STEPS") > 0
        ? qEnvironmentVariableIntValue("WAREHOUSE_SESSION_STEPS")
        : 800;
    const bool census = qEnvironmentVariableIsSet("WAREHOUSE_SESSION_CENSUS");
    int failures = failuresSoFar();
    for (int i = 1; i <= steps; ++i) {
        history += QStringLiteral("%1. ").arg(i);
        step();
        EXPECT_EQ(prompts.pendingAnswers(), 0) << "[询问] a prepared answer was not asked for";
        prompts.clearShown();
        if (failuresSoFar() == failures) {
            expectStockAsModelled();
            expectListAsModelled();
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
