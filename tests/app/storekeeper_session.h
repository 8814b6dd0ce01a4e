#pragma once

// The storekeeper session's model and hands: the records and their journal,
// the questions it expects, and the fixture that works the real windows.
// The steps are in storekeeper_steps.cpp, the checks and the run in
// storekeeper_session_test.cpp.

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
#include "support/typing.h"
#include "table/data_source.h"
#include "tableeditor/table_editor_window.h"

#include "storekeeper_oracle.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <array>
#include <map>
#include <random>

namespace Session {

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
inline const Side receiptSide {Stock::ReceiptQuantity, Stock::ReceiptAmount,
    Stock::MonthReceiptQuantity, Stock::MonthReceiptAmount, Stock::YearReceiptQuantity,
    Stock::YearReceiptAmount, Stock::ReceiptDate, Stock::ReceiptHistory};
inline const Side issueSide {Stock::IssueQuantity, Stock::IssueAmount, Stock::MonthIssueQuantity,
    Stock::MonthIssueAmount, Stock::YearIssueQuantity, Stock::YearIssueAmount, Stock::IssueDate,
    Stock::IssueHistory};

inline const std::array<std::pair<const char16_t *, const char16_t *>, 6> keys {{
    {u"电缆", u"YJV-3×70"},
    {u"螺栓", u"M16"},
    {u"绝缘子", u"XP-70"},
    {u"导线", u"LGJ-95"},
    {u"横担", u"∠63"},
    {u"电缆", u"YJV-3×95"},
}};

inline QString fullWidth(const QString &ascii)
{
    QString out;
    for (const QChar c : ascii)
        out += c.unicode() > 0x20 && c.unicode() < 0x7F ? QChar(c.unicode() + 0xFEE0) : c;
    return out;
}

inline QString grouped(double value)
{
    QString text = shown(value);
    const qsizetype dot = text.indexOf(u'.') < 0 ? text.size() : text.indexOf(u'.');
    for (qsizetype at = dot - 3; at > (text.startsWith(u'-') ? 1 : 0); at -= 3)
        text.insert(at, u',');
    return text;
}

// The same amount, to far below a cent, whatever its size.
inline bool near(double a, double b)
{
    return std::abs(a - b) <= 1e-7 + 1e-14 * std::abs(b);
}

inline bool near(const QVariant &program, const QVariant &model)
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
inline const QString undoQuestion = QStringLiteral("注意:检测到备份文件为");
inline const QString deleteQuestion = QStringLiteral("确定删除项目");
inline const QString twinsQuestion = QStringLiteral("在库存中已有");
inline const QString receiptOfTodayQuestion = QStringLiteral("进库的吗");
inline const QString newItemQuestion = QStringLiteral("将新建这个项目");
inline const QString wholeStockQuestion = QStringLiteral("现有的全部库存");
inline const QString noteQuestion = QStringLiteral("仍然出库吗");
inline const QString restoreQuestion = QStringLiteral("替换现在的全部库存数据");
inline const QString tenthPickMessage = QStringLiteral("已选满9行");

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
            Typing::intoBox(box(3), department);
            Typing::intoBox(box(10), handler);
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
};

} // namespace Session
