// The storekeeper's steps that book: receipts, picks, issue notes, undo and
// deletions, each with what the model works out by hand.

#include "storekeeper_session.h"

namespace Session {

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
        Typing::intoBox(box(1), name);
        Typing::intoBox(box(2), spec);
        Typing::intoBox(box(3), QStringLiteral("个"));
    }
    const bool typedQuantity = !shownRecord || percent(92);
    if (typedQuantity) {
        const int form = chance(100);
        const double q = form < 3 ? -amountOf(100 * (1 + chance(50)))
            : form < 5            ? amountOf(100 * (1234567890LL + chance(99)))
                                  : amountOf(100 * (1 + chance(1500)) + 25 * chance(4));
        Typing::intoBox(box(5),
            form % 7 == 0        ? grouped(q)
                : form % 11 == 0 ? fullWidth(shown(q))
                                 : shown(q));
    }
    if (!shownRecord || percent(30))
        Typing::intoBox(box(4), shown(amountOf(1 + chance(20000))));
    if (percent(10))
        Typing::intoBox(box(7), shown(chance(50)));
    const bool amountTyped = percent(5);
    if (amountTyped)
        Typing::intoBox(box(6), shown(amountOf(chance(10000000))));
    const int mistake = chance(100);
    if (mistake < 3)
        Typing::intoBox(box(5), mistake == 0 ? QStringLiteral("十") : QStringLiteral("12abc"));
    if (mistake == 3 && !shownRecord)
        Typing::intoBox(box(1), QString());
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
            Typing::intoCell(note, note.grid(), r, column, text);
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

} // namespace Session
