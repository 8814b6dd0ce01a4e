#include "issue/goods_issue.h"

#include "common/app_state.h"
#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/item_backup.h"
#include "data/period_totals.h"
#include "data/record_file.h"
#include "data/stock_layout.h"
#include "issue/issue_parameters.h"
#include "table/data_source.h"

#include <optional>

namespace {

// A value that small below zero is rounding noise, not a debt.
constexpr double valueTolerance = 0.0000001;

bool blank(const QString &text)
{
    return text.trimmed().isEmpty();
}

QString lineLabel(int k, const IssueNote::Line &line)
{
    return QStringLiteral("第 %1 行“%2 %3”").arg(k).arg(line.name, line.spec);
}

// Moves to the record a line books against: the record it was picked from
// while that still holds its key (twins of one key are told apart so), else
// the first record of the key; past the end when there is none.
Status findItem(RecordFile &stock, const IssueNote::Line &line)
{
    if (line.recordId != 0 && stock.goToId(line.recordId)
        && stock.readText(Stock::Name) == line.name && stock.readText(Stock::Spec) == line.spec)
        return Status::success();
    return stock.findFirstEqual(Stock::Name, line.name, Stock::Spec, line.spec);
}

// The number a cell's text means, or a problem naming the line and the text.
std::optional<double> cellNumber(
    const QString &text, const QString &what, const QString &label, QStringList &problems)
{
    const std::optional<double> value = wholeNumber(text);
    if (!value)
        problems << QStringLiteral("%1的%2“%3”不是数字").arg(label, what, text);
    return value;
}

// Adds the line to what the note leaves of its record, as the booking will
// write it line by line.
Status countStock(IssueCheck &check, QHash<qint64, int> &shortfallOf, const RecordFile &stock,
    const IssueNote::Line &line, double quantity, double amount)
{
    const qint64 id = stock.recordId();
    auto found = shortfallOf.constFind(id);
    if (found == shortfallOf.cend()) {
        const double before = stock.readNumber(Stock::Quantity);
        const double value = stock.readNumber(Stock::Amount);
        if (Status s = stock.readStatus(); !s)
            return s;
        found = shortfallOf.insert(id, int(check.shortfalls.size()));
        check.shortfalls.append({line.name, line.spec, 0, before, 0, value, value, false});
    }
    IssueCheck::Shortfall &s = check.shortfalls[*found];
    s.issued = round2(s.issued + quantity);
    s.stockAfter = round2(s.stockAfter - quantity);
    s.amountIssued = round2(s.amountIssued + amount);
    const double value = round2(s.valueAfter - amount);
    s.valueShort = s.valueShort || (value < -valueTolerance && amount > 0);
    s.valueAfter = value < -valueTolerance ? 0 : value;
    return Status::success();
}

// Keeps the items to ask about, and gives the negative lines the result of
// their items.
void settleQuestions(IssueCheck &check, const QList<int> &negativeItems)
{
    for (qsizetype i = 0; i < check.negatives.size(); ++i) {
        const IssueCheck::Shortfall &item = check.shortfalls[negativeItems[i]];
        check.negatives[i].stockAfter = item.stockAfter;
        check.negatives[i].valueAfter = item.valueAfter;
    }
    // An item already at or below zero that the note does not lower is not
    // asked about.
    QList<IssueCheck::Shortfall> asked;
    for (const IssueCheck::Shortfall &s : std::as_const(check.shortfalls))
        if ((s.stockAfter < valueTolerance && s.issued > 0) || s.valueShort)
            asked.append(s);
    check.shortfalls = asked;
}

} // namespace

IssueNote IssueNote::fromGrid(const DataSource &note)
{
    return fromGrid(note, {});
}

IssueNote IssueNote::fromGrid(const DataSource &note, const QList<IssueLine> &picked)
{
    IssueNote result;
    using namespace IssueNoteLayout;
    for (int k = 0; k < lineCount; ++k) {
        const int r = firstLineRow + k;
        Line line {note.text(r, nameColumn), note.text(r, specColumn), note.text(r, quantityColumn),
            note.text(r, amountColumn)};
        if (k < picked.size() && picked[k].name == line.name && picked[k].spec == line.spec)
            line.recordId = picked[k].recordId;
        result.lines.append(line);
    }
    result.department = parameterName(note, departmentCell);
    result.handler = parameterName(note, handlerCell);
    return result;
}

double IssueCheck::bookedAmount() const
{
    double sum = 0;
    for (const Booking &b : bookings)
        sum = round2(sum + b.amount);
    return sum;
}

IssueCheck checkIssue(RecordFile &stock, const IssueNote &note)
{
    IssueCheck check;
    QHash<qint64, int> shortfallOf;
    QList<int> negativeItems; // the item of each negative line
    for (int k = 1; k <= note.lines.size(); ++k) {
        const IssueNote::Line &line = note.lines[k - 1];
        const bool unnamed = line.name.isEmpty() && line.spec.isEmpty();
        if (unnamed && blank(line.quantity) && blank(line.amount))
            continue; // an empty line of the note
        const QString label = lineLabel(k, line);
        const std::optional<double> quantity
            = cellNumber(line.quantity, QStringLiteral("数量"), label, check.problems);
        const std::optional<double> amount
            = cellNumber(line.amount, QStringLiteral("金额"), label, check.problems);
        if (unnamed) {
            check.problems << QStringLiteral("第 %1 行有数量或金额，但没有品名和规格型号").arg(k);
            continue;
        }
        if (check.status = findItem(stock, line); !check.status)
            return check;
        if (stock.atEnd()) {
            check.problems << label + QStringLiteral("在库存中找不到这个品名和规格型号");
            continue;
        }
        if (!quantity || !amount)
            continue;
        check.bookings.append({k, stock.recordId(), *quantity, *amount});
        if (check.status = countStock(check, shortfallOf, stock, line, *quantity, *amount);
            !check.status)
            return check;
        if (*quantity < 0 || *amount < 0) {
            check.negatives.append({k, line.name, line.spec, *quantity, *amount});
            negativeItems.append(shortfallOf.value(stock.recordId()));
        }
    }
    settleQuestions(check, negativeItems);
    return check;
}

QString issueQuestion(const IssueCheck &check)
{
    QStringList zero, value, negative;
    for (const IssueCheck::Shortfall &s : check.shortfalls) {
        if (s.stockAfter < valueTolerance && s.issued > 0)
            zero << QStringLiteral("%1 %2：出库 %3，出库后库存 %4")
                        .arg(s.name, s.spec, numberText(s.issued), numberText(s.stockAfter));
        if (s.valueShort)
            value << QStringLiteral("%1 %2：出库金额 %3，库存金额 %4，出库后库存金额 %5")
                         .arg(s.name, s.spec, numberText(s.amountIssued), numberText(s.valueBefore),
                             numberText(s.valueAfter));
    }
    for (const IssueCheck::NegativeLine &n : check.negatives)
        negative << QStringLiteral("第 %1 行“%2 %3”：数量 %4，金额 %5，出库后库存 %6，库存金额 %7")
                        .arg(n.line)
                        .arg(n.name, n.spec, numberText(n.quantity), numberText(n.amount),
                            numberText(n.stockAfter), numberText(n.valueAfter));
    QString text;
    const auto section = [&text](const QString &heading, const QStringList &lines) {
        if (!lines.isEmpty())
            text += heading + u'\n' + lines.join(u'\n') + u'\n';
    };
    section(QStringLiteral("以下物资出库后库存将为零或小于零："), zero);
    section(QStringLiteral("以下物资的出库金额超过库存金额，库存金额将记为 0："), value);
    section(QStringLiteral("以下各行的数量或金额是负数，出库将使库存增加："), negative);
    return text.isEmpty() ? text : text + QStringLiteral("仍然出库吗？");
}

QString issueHistoryLine(double quantity, double amount, const QString &department,
    const QString &handler, const QDateTime &now)
{
    return QStringLiteral("数量 ") + numberText(quantity) + QStringLiteral(" 金额 ")
        + amountText(amount) + QStringLiteral(" 部门 ") + department + QStringLiteral(" 经手 ")
        + handler + QStringLiteral("  时间 ") + dateTimeText(now) + QStringLiteral("\r\n");
}

void showBooked(DataSource &note, const IssueCheck &check)
{
    using namespace IssueNoteLayout;
    note.setText(titleRow, 1, title());
    for (const IssueCheck::Booking &b : check.bookings) {
        const int r = firstLineRow + b.line - 1;
        note.setText(r, quantityColumn, numberText(b.quantity));
        note.setText(r, amountColumn, amountText(b.amount));
    }
    note.setText(totalRow, amountColumn, amountText(check.bookedAmount()));
}

namespace {

// Writes one checked line into its record, the item's backup taken first.
Status bookLine(RecordFile &stock, BookingBackups &backups, const IssueNote &note,
    const IssueCheck::Booking &booking, const QDateTime &now)
{
    const IssueNote::Line &line = note.lines[booking.line - 1];
    // The backup holds the item as it is now, inside this booking: a second
    // line of the same item backs up the state after the first. It takes its
    // place only once the whole note is booked.
    if (Status s = backups.take(
            stock, line.name, line.spec, {booking.recordId, booking.quantity, booking.amount, now});
        !s)
        return Status::failure(QStringLiteral("无法保存出库备份：") + s.message());
    if (Status s = stock.goToId(booking.recordId); !s)
        return s;
    double value = round2(stock.readNumber(Stock::Amount) - booking.amount);
    if (value < -valueTolerance)
        value = 0;
    const double quantity = round2(stock.readNumber(Stock::Quantity) - booking.quantity);
    Status s = stock.readStatus();
    if (s)
        s = stock.write(Stock::Quantity, quantity);
    if (s)
        s = stock.write(Stock::Amount, value);
    if (s)
        s = addToPeriodTotals(stock, issueTotals, booking.quantity, booking.amount, now);
    if (s)
        s = stock.write(Stock::IssueDate, now);
    if (s)
        s = stock.appendMemo(Stock::IssueHistory,
            issueHistoryLine(booking.quantity, booking.amount, note.department, note.handler, now));
    return s;
}

} // namespace

Status bookIssue(RecordFile &stock, const QString &programDir, const IssueNote &note,
    const QDateTime &now, QString *backupProblem, QString *diskProblem)
{
    BookingBackups backups(ItemBackup::issueFolder(programDir));
    RecordFile::Transaction transaction(stock);
    if (Status s = transaction.begin(); !s)
        return s;
    // Checked inside the booking, so what is booked is what was checked.
    const IssueCheck check = checkIssue(stock, note);
    if (!check.status)
        return check.status;
    if (!check.problems.isEmpty())
        return Status::failure(check.problems.join(u'\n'));
    if (check.bookings.isEmpty())
        return Status::success(); // nothing to book, nothing written
    for (const IssueCheck::Booking &booking : check.bookings)
        if (Status s = bookLine(stock, backups, note, booking, now); !s)
            return s;
    if (Status s = backups.list(stock); !s)
        return s;
    if (Status committed = transaction.commit(); !committed) {
        (void)backups.settle(stock); // start-up finishes what cannot be settled now
        return committed;
    }
    if (diskProblem)
        *diskProblem = stock.diskWarning();
    // Booked: a backup that cannot be put in place now is left for start-up.
    const Status installed = backups.install();
    if (backupProblem)
        *backupProblem = installed ? QString() : installed.message();
    return Status::success();
}
