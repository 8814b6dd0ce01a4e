#include "issue/goods_issue.h"

#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/item_backup.h"
#include "data/period_totals.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "table/data_source.h"

namespace {

// A value that small below zero is rounding noise, not a debt.
constexpr double valueTolerance = 0.0000001;

} // namespace

IssueNote IssueNote::fromGrid(const DataSource &note)
{
    IssueNote result;
    for (int k = 0; k < lineCount; ++k) {
        const int r = firstLineRow + k;
        result.lines.append({note.text(r, 1), note.text(r, 2), note.text(r, 3), note.text(r, 6)});
    }
    result.department = note.text(2, 3);
    result.handler = note.text(15, 6);
    return result;
}

QString issueHistoryLine(const IssueNote::Line &line, const QString &department,
    const QString &handler, const QDateTime &now)
{
    return QStringLiteral("数量 ") + line.quantity + QStringLiteral(" 金额 ") + line.amount
        + QStringLiteral(" 部门 ") + department + QStringLiteral(" 经手 ") + handler
        + QStringLiteral("  时间 ") + dateTimeText(now) + QStringLiteral("\r\n");
}

Status bookIssue(RecordStore &store, const QString &programDir, const IssueNote &note,
    const QDateTime &now, QString *backupProblem)
{
    const auto failed = [&] {
        return Status::failure(store.lastError());
    };
    if (!store.openOrSelect(programDir + u'/' + Stock::fileName(), Stock::alias()))
        return failed();

    BookingBackups backups(ItemBackup::issueFolder(programDir));
    RecordStore::Transaction transaction(store);
    if (!transaction.active())
        return failed();
    for (const IssueNote::Line &line : note.lines) {
        if (line.name.isEmpty() && line.spec.isEmpty())
            continue; // an empty line of the note
        if (!store.findFirstEqual(Stock::Name, line.name, Stock::Spec, line.spec)) {
            if (store.failed())
                return failed();
            continue;
        }
        const int recordNumber = store.recordNumber();
        // The backup holds the item as it is now, inside this booking: a second
        // line of the same item backs up the state after the first. It takes
        // its place only once the whole note is booked.
        if (Status s = backups.take(store, line.name, line.spec); !s)
            return Status::failure(QStringLiteral("无法保存出库备份：") + s.message());
        if (!store.goTo(recordNumber))
            return failed();
        const double quantity = number(line.quantity);
        const double amount = number(line.amount);
        double value = round2(store.readNumber(Stock::Amount) - amount);
        if (value < -valueTolerance)
            value = 0;
        if (!store.write(Stock::Quantity, round2(store.readNumber(Stock::Quantity) - quantity))
            || !store.write(Stock::Amount, value)
            || !addToPeriodTotals(store, issueTotals, quantity, amount, now)
            || !store.write(Stock::IssueDate, now)
            || !store.appendMemo(
                Stock::IssueHistory, issueHistoryLine(line, note.department, note.handler, now)))
            return failed();
    }
    if (Status s = backups.list(store); !s)
        return s;
    if (Status committed = transaction.commit(); !committed) {
        (void)backups.settle(store); // start-up finishes what cannot be settled now
        return committed;
    }
    // Booked: a backup that cannot be put in place now is left for start-up.
    const Status installed = backups.install();
    if (backupProblem)
        *backupProblem = installed ? QString() : installed.message();
    return Status::success();
}
