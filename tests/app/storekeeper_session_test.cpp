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

#include "storekeeper_session.h"

namespace Session {

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

// The journals and the latest movements stay: a census goes on to meet the
// faults they show too.
void StorekeeperSession::resynchronise()
{
    std::map<qint64, std::vector<Move>> journals;
    for (const Record &r : model)
        journals[r.id] = r.moves;
    readModelFromFile();
    for (Record &r : model)
        r.moves = journals[r.id];
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
        // A census looks at the books even after a fault of the step itself.
        if (census || failuresSoFar() == failures) {
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

} // namespace Session
