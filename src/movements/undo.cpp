#include "movements/undo.h"

#include "common/app_state.h"
#include "common/prompts.h"
#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/item_backup.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <QFileInfo>

#include <vector>

namespace Undo {
namespace {

// A value that small below zero is rounding noise, as issues take it.
constexpr double valueTolerance = 0.0000001;

const QString lineEnd = QStringLiteral("\r\n");

struct Texts
{
    QString nothingSelected;
    QString questionTail;
    QString keyMismatch;
    QString noBackup;
};

Texts textsFor(Kind kind)
{
    if (kind == Kind::Receipt)
        return {
            QStringLiteral("请先选中要取消进库的项目"),
            QStringLiteral(" 的数据恢复到本次进库以前状态? ＾＿＾"),
            QStringLiteral("失败!检测到进库备份的项目材料品名不符或者规格型号不符"),
            QStringLiteral("没有找到该项目的进库备份数据,同一项目如一天内进库两次,只能恢复到第二次"
                           "进库前的状态"),
        };
    return {
        QStringLiteral("请先选中要取消出库的项目"),
        QStringLiteral(" 的数据恢复到本次出库以前状态? ＾＿＾"),
        QStringLiteral("失败!检测到出库备份的项目材料品名不符或者规格型号不符"),
        QStringLiteral("没有找到该项目的出库备份数据,同一项目如一天内出库两次,只能恢复到第二次"
                       "出库前的状态"),
    };
}

// The fields of one kind of movement.
struct Side
{
    QString word; // 进库 or 出库
    QString otherWord;
    int history; // the memo it appends to
    int otherHistory;
    std::vector<int> fields; // what else it writes, apart from quantity, value and price
};

Side sideOf(Kind kind)
{
    using namespace Stock;
    if (kind == Kind::Receipt)
        return {QStringLiteral("进库"), QStringLiteral("出库"), ReceiptHistory, IssueHistory,
            {ReceiptQuantity, ReceiptAmount, ReceiptDate, AlarmQuantity, MonthReceiptQuantity,
                MonthReceiptAmount, YearReceiptQuantity, YearReceiptAmount}};
    return {QStringLiteral("出库"), QStringLiteral("进库"), IssueHistory, ReceiptHistory,
        {IssueQuantity, IssueAmount, IssueDate, MonthIssueQuantity, MonthIssueAmount,
            YearIssueQuantity, YearIssueAmount}};
}

// Why an undo takes nothing back.
enum class Why { Gone, Ambiguous, Done, OwnHistory, NoNote };

QString refusal(Kind kind, Why why, int later = 0)
{
    const Side side = sideOf(kind);
    const QString cannot = QStringLiteral("无法取消%1：").arg(side.word);
    const QString nothing = QStringLiteral("为免改错，库存数据未作任何改动。");
    switch (why) {
    case Why::Gone:
        return cannot
            + QStringLiteral("找不到本次%1所记的那条记录（该项目可能已删除后重新加入，"
                             "或库存数据已从备份恢复）。")
                  .arg(side.word)
            + nothing;
    case Why::Ambiguous:
        return cannot
            + QStringLiteral("备份由旧版本保存，没有记下本次%1记在哪一条记录上，"
                             "而该项目有多条品名和规格型号相同的记录。")
                  .arg(side.word)
            + nothing;
    case Why::Done:
        return QStringLiteral("该项目备份之后的那次%1已不在库存中（已经取消过，"
                              "或库存数据已恢复到它以前），不需要再取消。")
            .arg(side.word);
    case Why::OwnHistory:
        return cannot
            + QStringLiteral("该项目的%1记录与备份对不上（库存数据可能已从备份恢复）。")
                  .arg(side.word)
            + nothing;
    case Why::NoNote:
        return cannot
            + QStringLiteral("备份由旧版本保存，没有记下本次%1的数量和金额，而此后该项目%2。"
                             "为免抹掉这些%3，库存数据未作任何改动。")
                  .arg(side.word,
                      later > 0 ? QStringLiteral("又有 %1 次%2").arg(later).arg(side.otherWord)
                                : QStringLiteral("的%1有过取消").arg(side.otherWord),
                      side.otherWord);
    }
    return cannot + nothing;
}

// Every field of the current record.
QVariantList readRecord(const RecordFile &file, Status *status)
{
    QVariantList values;
    for (int field = 1; field <= file.fieldCount(); ++field)
        values.append(file.read(field));
    *status = file.readStatus();
    return values;
}

// The item's backup as it was read.
struct Saved
{
    std::vector<qint64> sources; // the ids its records were copied from
    QList<QVariantList> records;
    QList<bool> deleted;
    std::optional<MovementNote> movement;
};

// Reads the backup; `holdsItem` is false when it holds another item or none.
Status readBackup(
    const QString &path, const QString &name, const QString &spec, Saved *saved, bool *holdsItem)
{
    *holdsItem = false;
    RecordFile backup;
    if (Status s = backup.open(path, QStringLiteral("xdgja")); !s)
        return s;
    if (!Stock::isStockLayout(backup.layout()) || backup.recordCount() == 0
        || backup.readText(Stock::Name) != name || backup.readText(Stock::Spec) != spec)
        return backup.readStatus();
    *holdsItem = true;
    if (Status s = backup.copiedFromIds(&saved->sources); !s)
        return s;
    QString note;
    if (Status s = backup.readNote(MovementNote::key(), &note); !s)
        return s;
    saved->movement = MovementNote::fromText(note);
    for (backup.first(); !backup.atEnd(); backup.skip()) {
        saved->deleted.append(backup.isDeleted());
        Status s;
        saved->records.append(readRecord(backup, &s));
        if (!s)
            return s;
    }
    // Identities that do not pair with the records name none of them.
    if (saved->sources.size() != size_t(saved->records.size()))
        saved->sources.clear();
    return Status::success();
}

bool holdsKey(RecordFile &stock, qint64 id, const QString &name, const QString &spec)
{
    return id > 0 && stock.goToId(id) && stock.readText(Stock::Name) == name
        && stock.readText(Stock::Spec) == spec;
}

// The record the movement booked and its copy in the backup.
struct Target
{
    qint64 id = 0;
    qsizetype index = -1;
    Why why = Why::Gone; // when there is none
};

// A backup of an earlier version names no movement: the record is the one of
// its records whose history of the kind grew since, or with no identities in
// it the only record of the key.
Status findUnnoted(Kind kind, RecordFile &stock, const Saved &saved, const QString &name,
    const QString &spec, Target *target)
{
    if (saved.sources.empty()) {
        int count = 0;
        if (saved.records.size() == 1)
            if (Status s = stock.countEqual(Stock::Name, name, Stock::Spec, spec, &count); !s)
                return s;
        if (count != 1) {
            target->why = saved.records.size() > 1 || count > 1 ? Why::Ambiguous : Why::Gone;
            return Status::success();
        }
        if (Status s = stock.findFirstEqual(Stock::Name, name, Stock::Spec, spec); !s)
            return s;
        *target = {stock.recordId(), 0};
        return Status::success();
    }
    const int history = sideOf(kind).history;
    std::vector<qsizetype> grown;
    for (size_t i = 0; i < saved.sources.size(); ++i) {
        // One of them gone: the records are not those the backup was taken from.
        if (!holdsKey(stock, saved.sources[i], name, spec))
            return stock.readStatus();
        if (stock.read(history) != saved.records[qsizetype(i)][history - 1])
            grown.push_back(qsizetype(i));
        if (Status s = stock.readStatus(); !s)
            return s;
    }
    if (grown.size() == 1)
        *target = {saved.sources[size_t(grown[0])], grown[0]};
    else if (grown.empty() && saved.records.size() == 1)
        *target = {saved.sources[0], 0}; // planned as nothing left to take back
    else
        target->why = grown.empty() ? Why::Done : Why::Ambiguous;
    return Status::success();
}

Status findTarget(Kind kind, RecordFile &stock, const Saved &saved, const QString &name,
    const QString &spec, Target *target)
{
    *target = {};
    if (!saved.movement)
        return findUnnoted(kind, stock, saved, name, spec, target);
    const qint64 id = saved.movement->recordId;
    for (size_t i = 0; i < saved.sources.size(); ++i)
        if (saved.sources[i] == id && holdsKey(stock, id, name, spec))
            *target = {id, qsizetype(i)};
    return stock.readStatus();
}

// The record with the movement taken back and the later ones kept (see Plan).
QVariantList takenBack(
    Kind kind, const QVariantList &now, const QVariantList &saved, const MovementNote &movement)
{
    const Side side = sideOf(kind);
    QVariantList after = now;
    for (const int field : side.fields)
        after[field - 1] = saved[field - 1];
    after[side.history - 1] = saved[side.history - 1];
    const auto numberOf = [](const QVariantList &record, int field) {
        return record[field - 1].toDouble();
    };
    const double quantityBefore = numberOf(saved, Stock::Quantity);
    const double valueBefore = numberOf(saved, Stock::Amount);
    double quantity = numberOf(now, Stock::Quantity);
    double value = numberOf(now, Stock::Amount);
    if (kind == Kind::Receipt) {
        // What the receipt added, as it rounded it.
        quantity = round2(quantity - (round2(quantityBefore + movement.quantity) - quantityBefore));
        value = round2(value - (round2(valueBefore + movement.amount) - valueBefore));
        // The later issues never took the value below 0, nor would they have without it.
        if (value < -valueTolerance)
            value = 0;
    } else {
        double issuedTo = round2(valueBefore - movement.amount);
        if (issuedTo < -valueTolerance)
            issuedTo = 0;
        quantity = round2(quantity + (quantityBefore - round2(quantityBefore - movement.quantity)));
        value = round2(value + (valueBefore - issuedTo));
    }
    after[Stock::Quantity - 1] = quantity;
    after[Stock::Amount - 1] = value;
    const QVariantList &priceKept = kind == Kind::Receipt ? saved : now;
    after[Stock::UnitPrice - 1]
        = quantity != 0 ? round2(value / quantity) : priceKept[Stock::UnitPrice - 1];
    return after;
}

// The number of lines a history text holds (a last one without its end too).
int lineCount(const QString &text)
{
    const int ends = int(text.count(lineEnd));
    return ends + (text.endsWith(lineEnd) || text.isEmpty() ? 0 : 1);
}

// How a history changed since its copy: lines added, lines taken away (an
// undo of that kind), counted past what they share.
void countChanges(const QString &now, const QString &then, int *added, int *removed)
{
    *added = 0;
    *removed = 0;
    // A first line without its end (of an item added in bulk) is shared whole.
    if (now.startsWith(then)) {
        *added = lineCount(now.mid(then.size()));
        return;
    }
    if (then.startsWith(now)) {
        *removed = lineCount(then.mid(now.size()));
        return;
    }
    const QStringList nowLines = now.split(lineEnd);
    const QStringList thenLines = then.split(lineEnd);
    qsizetype shared = 0;
    while (shared < nowLines.size() && shared < thenLines.size()
        && nowLines[shared] == thenLines[shared])
        ++shared;
    *added = lineCount(nowLines.mid(shared).join(lineEnd));
    *removed = lineCount(thenLines.mid(shared).join(lineEnd));
}

// Whether what the history gained since the backup is the movement's own
// line alone: the one of its moment, or without a note one line.
bool isMovementLine(const QString &gained, const std::optional<MovementNote> &movement)
{
    if (movement)
        return gained.endsWith(QStringLiteral("时间 ") + dateTimeText(movement->time) + lineEnd);
    return gained.endsWith(lineEnd) && lineCount(gained) == 1;
}

// Plans on the record the movement booked, the stock file on it.
void planOn(Kind kind, const Saved &saved, qsizetype index, Plan *p)
{
    const Side side = sideOf(kind);
    const QVariantList &copy = saved.records[index];
    const auto refuse = [&](Why why, int later = 0) {
        p->verdict = Plan::Verdict::Refused;
        p->reason = refusal(kind, why, later);
    };
    const QString own = p->before[side.history - 1].toString();
    const QString ownSaved = copy[side.history - 1].toString();
    if (saved.deleted[index])
        return refuse(Why::Gone);
    if (own == ownSaved)
        return refuse(Why::Done);
    p->movementLine = own.mid(ownSaved.size());
    if (!own.startsWith(ownSaved) || !isMovementLine(p->movementLine, p->movement))
        return refuse(Why::OwnHistory);
    // Movements of the other kind since (or undos of them) stay: only this
    // movement's effect is taken back.
    const QString other = p->before[side.otherHistory - 1].toString();
    const QString otherSaved = copy[side.otherHistory - 1].toString();
    if (other == otherSaved) {
        p->after = copy;
    } else {
        countChanges(other, otherSaved, &p->laterMovements, &p->undoneMovements);
        if (!p->movement)
            return refuse(Why::NoNote, p->laterMovements);
        p->after = takenBack(kind, p->before, copy, *p->movement);
    }
    p->verdict = Plan::Verdict::Ready;
}

} // namespace

QString backupFolder(Kind kind, const QString &programDir)
{
    return kind == Kind::Receipt ? ItemBackup::receiptFolder(programDir)
                                 : ItemBackup::issueFolder(programDir);
}

Status plan(Kind kind, RecordFile &stock, const QString &backup, const QString &name,
    const QString &spec, Plan *p)
{
    *p = {};
    Saved saved;
    bool holdsItem = false;
    if (Status s = readBackup(backup, name, spec, &saved, &holdsItem); !s)
        return s;
    if (!holdsItem) {
        p->verdict = Plan::Verdict::KeyMismatch;
        return Status::success();
    }
    p->movement = saved.movement;
    Target target;
    if (Status s = findTarget(kind, stock, saved, name, spec, &target); !s)
        return s;
    if (target.index < 0) {
        p->reason = refusal(kind, target.why);
        return Status::success();
    }
    if (Status s = stock.goToId(target.id); !s)
        return s;
    p->recordId = target.id;
    p->recordNumber = stock.recordNumber();
    Status s;
    p->before = readRecord(stock, &s);
    if (s)
        planOn(kind, saved, target.index, p);
    return s;
}

QString question(
    Kind kind, const Plan &p, const QString &name, const QString &spec, const QDateTime &backupTime)
{
    const Side side = sideOf(kind);
    QString text = QStringLiteral("注意:检测到备份文件为") + dateTimeText(backupTime)
        + QStringLiteral(",您欲将项目 ") + name + textsFor(kind).questionTail;
    text += QStringLiteral("\n项目：%1，规格型号：%2").arg(name, spec);
    if (p.movement)
        text += QStringLiteral("\n本次%1：%2，数量 %3，金额 %4")
                    .arg(side.word, dateTimeText(p.movement->time),
                        numberText(p.movement->quantity), numberText(p.movement->amount));
    else
        text += QStringLiteral("\n本次%1的记录：%2").arg(side.word, p.movementLine.trimmed());
    const auto stockText = [&](int field) {
        return numberText(p.before.value(field - 1).toDouble()) + QStringLiteral(" → ")
            + numberText(p.after.value(field - 1).toDouble());
    };
    text += QStringLiteral("\n库存数量 %1，库存金额 %2")
                .arg(stockText(Stock::Quantity), stockText(Stock::Amount));
    if (p.laterMovements > 0)
        text
            += QStringLiteral("\n此后的 %1 次%2保留不动").arg(p.laterMovements).arg(side.otherWord);
    if (p.undoneMovements > 0)
        text += (p.laterMovements > 0 ? QStringLiteral("，") : QStringLiteral("\n"))
            + QStringLiteral("此后取消的 %1 次%2仍然取消")
                  .arg(p.undoneMovements)
                  .arg(side.otherWord);
    if (p.laterMovements > 0 || p.undoneMovements > 0)
        text += QStringLiteral("，只%1本次%2的数量和金额。")
                    .arg(kind == Kind::Receipt ? QStringLiteral("减去") : QStringLiteral("加回"),
                        side.word);
    return text;
}

Status restore(Kind kind, RecordFile &stock, const QString &backup, const QString &name,
    const QString &spec, Result *result, const Plan *agreed)
{
    Result ignored;
    Result &r = result ? *result : ignored;
    r = {};
    RecordFile::Transaction transaction(stock);
    if (Status s = transaction.begin(); !s)
        return s;
    Plan p;
    if (Status s = plan(kind, stock, backup, name, spec, &p); !s)
        return s;
    if (p.verdict == Plan::Verdict::KeyMismatch) {
        r.keyMismatch = true;
        return Status::failure(textsFor(kind).keyMismatch);
    }
    if (p.verdict == Plan::Verdict::Refused) {
        r.refusal = p.reason;
        return Status::failure(p.reason);
    }
    if (agreed
        && (p.recordId != agreed->recordId || p.before != agreed->before
            || p.after != agreed->after))
        return Status::failure(QStringLiteral("库存数据在询问之后有了变动，请重新取消"));
    // Only what changes is written: the record's other fields stay as they are.
    for (int field = 1; field <= p.after.size(); ++field)
        if (p.after[field - 1] != p.before[field - 1])
            if (Status s = stock.write(field, p.after[field - 1]); !s)
                return s;
    if (Status s = transaction.commit(); !s)
        return s;
    r.changed = true;
    r.diskProblem = stock.diskWarning();
    if (stock.goToId(p.recordId))
        r.rewrittenRecord = stock.recordNumber();
    return Status::success();
}

namespace {

// Finds the selected item in the stock file: its record number (0 when it is
// no longer there), name and specification.
Status findItem(
    RecordFile &stock, const SelectedItem &item, int *recordNumber, QString *name, QString *spec)
{
    if (Status s = stock.findFirstEqual(Stock::Name, item.name, Stock::Spec, item.spec); !s)
        return s;
    if (stock.atEnd())
        return Status::success();
    *recordNumber = stock.recordNumber();
    *name = stock.readText(Stock::Name);
    *spec = stock.readText(Stock::Spec);
    return stock.readStatus();
}

const QString failedText = QStringLiteral("恢复失败，库存数据未改变：");

// Tells the user how the undo went.
Outcome tell(Kind kind, const Status &restored, const Result &result, Prompts &prompts)
{
    if (result.keyMismatch) {
        prompts.message(textsFor(kind).keyMismatch);
        return Outcome::KeyMismatch;
    }
    if (!result.refusal.isEmpty()) {
        prompts.message(result.refusal);
        return Outcome::Refused;
    }
    if (!restored) {
        prompts.message(failedText + restored.message());
        return Outcome::Failed;
    }
    // Undone, but the disk complained after the commit: told as bookings tell it.
    if (!result.diskProblem.isEmpty())
        prompts.message(StockFile::bookedDespiteDiskMessage(
            kind == Kind::Receipt ? QStringLiteral("取消进库") : QStringLiteral("取消出库"),
            result.diskProblem));
    return Outcome::Restored;
}

// The plan for the item, or the outcome that ends the command before the
// question, with its message shown.
std::optional<Outcome> planOrTell(Kind kind, RecordFile &stock, const QString &backup,
    const QString &name, const QString &spec, Prompts &prompts, Plan *p)
{
    if (Status s = plan(kind, stock, backup, name, spec, p); !s) {
        prompts.message(failedText + s.message());
        return Outcome::Failed;
    }
    if (p->verdict == Plan::Verdict::KeyMismatch) {
        prompts.message(textsFor(kind).keyMismatch);
        return Outcome::KeyMismatch;
    }
    if (p->verdict == Plan::Verdict::Refused) {
        prompts.message(p->reason);
        return Outcome::Refused;
    }
    return std::nullopt;
}

} // namespace

Outcome run(
    Kind kind, RecordStore &store, const AppState &state, Prompts &prompts, int *rewrittenRecord)
{
    if (rewrittenRecord)
        *rewrittenRecord = 0;
    const Texts texts = textsFor(kind);
    const SelectedItem &item = state.selectedItem;
    if (item.name.isEmpty()) {
        prompts.message(texts.nothingSelected);
        return Outcome::NothingSelected;
    }
    const QString stockPath = state.path(Stock::fileName());
    RecordFile *stock = nullptr;
    int recordNumber = 0;
    QString name;
    QString spec;
    Status found = store.openOrSelect(stockPath, Stock::alias(), &stock);
    if (found)
        found = findItem(*stock, item, &recordNumber, &name, &spec);
    // A stock file that cannot be read is no reason to say "no backup".
    if (!found) {
        prompts.message(failedText + found.message());
        return Outcome::Failed;
    }
    // An item no longer in stock has no backup to go back to. The latest
    // booking's backup may be only in the stock file yet (putting it in place
    // failed): it is written out first, or the undo would skip that booking.
    const QString backup = ItemBackup::path(backupFolder(kind, state.programDir), name, spec);
    if (recordNumber != 0) {
        if (Status s = BookingBackups::bringUpToDate(*stock, backup); !s) {
            prompts.message(failedText + s.message());
            return Outcome::Failed;
        }
    }
    if (recordNumber == 0 || !QFileInfo::exists(backup)) {
        prompts.message(texts.noBackup);
        return Outcome::NoBackup;
    }
    Plan planned;
    std::optional<Outcome> ended = planOrTell(kind, *stock, backup, name, spec, prompts, &planned);
    if (!ended
        && !prompts.askYesNo(question(kind, planned, name, spec, QFileInfo(backup).lastModified()),
            QStringLiteral("提醒询问：")))
        ended = Outcome::Declined;
    if (ended) {
        (void)stock->goTo(recordNumber); // the item stays current
        return *ended;
    }
    Result result;
    // Open still, unless something closed it while the question was asked.
    Status s = store.openOrSelect(stockPath, Stock::alias(), &stock);
    if (s)
        s = restore(kind, *stock, backup, name, spec, &result, &planned);
    const Outcome outcome = tell(kind, s, result, prompts);
    if (rewrittenRecord && outcome == Outcome::Restored)
        *rewrittenRecord = result.rewrittenRecord;
    return outcome;
}

} // namespace Undo
