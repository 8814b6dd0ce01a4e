#include "movements/undo.h"

#include "common/app_state.h"
#include "common/file_system.h"
#include "common/prompts.h"
#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/item_backup.h"
#include "data/pair_replacement.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <QFileInfo>
#include <QSet>

namespace Undo {
namespace {

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

void removePair(const QString &recordFile)
{
    for (const QString &file : {recordFile, RecordStore::companionPath(recordFile)}) {
        // Leftovers carry temporary names, removed at the next start.
        (void)FileSystem::removeIfExists(file + QStringLiteral("-journal"));
        (void)FileSystem::removeIfExists(file);
    }
}

const QString backupAlias = QStringLiteral("xdgja");

// Opens the backup under its alias; whether it holds the item first.
bool backupHoldsItem(RecordStore &store, const QString &backup, const QString &name,
    const QString &spec, QString *error)
{
    if (!store.open(backup, backupAlias)) {
        *error = store.lastError();
        return false;
    }
    store.first();
    return Stock::isStockLayout(store.layout()) && store.recordCount() > 0
        && store.readText(Stock::Name) == name && store.readText(Stock::Spec) == spec;
}

// The records of the backup (current) as values for every field, in its
// order; false when one of them is marked deleted, or on a read error.
bool backupRecords(RecordStore &store, QList<QVariantList> *records)
{
    for (store.first(); !store.atEnd(); store.skip()) {
        if (store.isDeleted())
            return false;
        QVariantList values;
        for (int field = 1; field <= store.fieldCount(); ++field) {
            values.append(store.read(field));
            if (store.failed()) // each read clears the error of the one before
                return false;
        }
        records->append(values);
    }
    return true;
}

// Whether every identity names its own record of the item in the stock file
// (current): then the backup goes back over exactly the records it was
// taken from. Not so after the item was deleted or the file restored or
// rebuilt, where the identities name other records or none.
bool identitiesResolve(
    RecordStore &store, const std::vector<qint64> &ids, const QString &name, const QString &spec)
{
    QSet<qint64> seen;
    for (const qint64 id : ids) {
        if (seen.contains(id) || !store.goToId(id) || store.readText(Stock::Name) != name
            || store.readText(Stock::Spec) != spec)
            return false;
        seen.insert(id);
    }
    return true;
}

// Each record takes its values in one transaction: all of them or none.
// `places` are identities when `byId`, else record numbers.
Status writeInPlace(
    RecordStore &store, const QList<qint64> &places, bool byId, const QList<QVariantList> &records)
{
    if (!store.select(Stock::alias()))
        return Status::failure(store.lastError());
    RecordStore::Transaction transaction(store);
    if (!transaction.active())
        return Status::failure(store.lastError());
    for (qsizetype i = 0; i < places.size(); ++i) {
        if (!(byId ? store.goToId(places[i]) : store.goTo(int(places[i]))))
            return Status::failure(store.lastError());
        const QVariantList &values = records[i];
        for (int field = 1; field <= values.size(); ++field)
            if (!store.write(field, values[field - 1]))
                return Status::failure(store.lastError());
    }
    return transaction.commit();
}

// Twins of the key: the backup holds every record of the key, so all of them
// give way to it, the first one's place taking the backup's records. The new
// stock file is built under temporary names and put in place whole.
Status rebuild(RecordStore &store, const QString &programDir, int recordNumber, const QString &name,
    const QString &spec, bool *changed)
{
    const QString data = programDir + u'/' + Stock::fileName();
    const QString stem = PairReplacement::newStem();
    const QString before = PairReplacement::temporaryPath(programDir, stem + u'1', ".zrb");
    const QString after = PairReplacement::temporaryPath(programDir, stem + u'2', ".zrb");
    bool committed = false;
    const auto finish = [&](Status s) {
        removePair(after);
        if (!committed) // past the marker, `before` is the stock file's to be
            removePair(before);
        return s;
    };
    const auto isItem = [&](const RecordStore &s) {
        return s.readText(Stock::Name) == name && s.readText(Stock::Spec) == spec;
    };
    if (!store.select(Stock::alias())
        || !store.copyTo(
            before, [&](const RecordStore &s) { return s.recordNumber() < recordNumber; })
        || !store.copyTo(after,
            [&](const RecordStore &s) { return s.recordNumber() > recordNumber && !isItem(s); }))
        return finish(Status::failure(store.lastError()));
    store.close(Stock::alias());
    if (!store.open(after, QStringLiteral("xdgj2")) || !store.open(before, QStringLiteral("xdgjb"))
        || !store.appendFrom(backupAlias) || !store.appendFrom(QStringLiteral("xdgj2")))
        return finish(Status::failure(store.lastError()));
    store.closeAll();
    // Only a complete new stock file takes the place of the old one.
    Status s
        = PairReplacement::replace(data, before, RecordStore::companionPath(before), &committed);
    *changed = committed;
    return finish(s);
}

} // namespace

QString backupFolder(Kind kind, const QString &programDir)
{
    return kind == Kind::Receipt ? ItemBackup::receiptFolder(programDir)
                                 : ItemBackup::issueFolder(programDir);
}

Status restore(RecordStore &store, const QString &programDir, int recordNumber,
    const QString &backup, const QString &name, const QString &spec, const QDateTime &now,
    Result *result)
{
    Result ignored;
    Result &r = result ? *result : ignored;
    r = {};
    const QString data = programDir + u'/' + Stock::fileName();
    int landing = recordNumber;
    // The reason is copied before reopening clears the store's error.
    const auto done = [&](const Status &s) {
        store.closeAll();
        if (store.open(data, Stock::alias()))
            (void)store.goTo(landing); // past the end is a place too
        return s;
    };

    if (!store.openOrSelect(data, Stock::alias()))
        return done(Status::failure(store.lastError()));
    const int records = store.countEqual(Stock::Name, name, Stock::Spec, spec);
    if (records < 0)
        return done(Status::failure(store.lastError()));
    QString error;
    if (!backupHoldsItem(store, backup, name, spec, &error)) {
        r.keyMismatch = error.isEmpty();
        return done(Status::failure(error));
    }
    const std::vector<qint64> sources = store.copiedFromIds();
    if (store.failed())
        return done(Status::failure(store.lastError()));
    QList<QVariantList> saved;
    const bool writable = backupRecords(store, &saved);
    if (store.failed())
        return done(Status::failure(store.lastError()));

    // The backup's records go back over the very records they were taken
    // from; a record of the key added since (in bulk, say) stays as it is.
    // One transaction, no copy of the whole file: it is all or nothing, the
    // item's backup stays for a repeat, and a copy per undo (tens of
    // megabytes on a large stock) would fill the disk.
    const bool byId = writable && !sources.empty() && sources.size() == size_t(saved.size())
        && store.select(Stock::alias()) && identitiesResolve(store, sources, name, spec);
    // A backup of an earlier version names no records: one record of the
    // key is still its own.
    const QList<qint64> places = byId ? QList<qint64>(sources.begin(), sources.end())
        : writable && records == 1 && saved.size() == 1 ? QList<qint64> {recordNumber}
                                                        : QList<qint64>();
    if (!places.isEmpty()) {
        store.close(backupAlias);
        const Status s = writeInPlace(store, places, byId, saved);
        r.changed = bool(s);
        r.diskProblem = s ? store.diskWarning() : QString();
        if (s && byId && store.goToId(places.first()))
            landing = store.recordNumber();
        if (s && saved.size() == 1)
            r.rewrittenRecord = landing;
        return done(s);
    }
    // Otherwise every record of the key gives way to the backup's, so the
    // file is rebuilt; a quick copy of it first is enough to take back a
    // mistaken one.
    if (Status s
        = StockFile::safetyBackup(store, programDir, now, nullptr, StockFile::SafetyCopy::Quick);
        !s)
        return done(Status::failure(QStringLiteral("无法先备份库存数据：") + s.message()));
    return done(rebuild(store, programDir, recordNumber, name, spec, &r.changed));
}

Outcome run(Kind kind, RecordStore &store, const AppState &state, Prompts &prompts,
    const QDateTime &now, int *rewrittenRecord)
{
    if (rewrittenRecord)
        *rewrittenRecord = 0;
    const Texts texts = textsFor(kind);
    const SelectedItem &item = state.selectedItem;
    if (item.name.isEmpty()) {
        prompts.message(texts.nothingSelected);
        return Outcome::NothingSelected;
    }
    int recordNumber = 0;
    QString name;
    QString spec;
    if (store.openOrSelect(state.path(Stock::fileName()), Stock::alias())
        && store.findFirstEqual(Stock::Name, item.name, Stock::Spec, item.spec)) {
        recordNumber = store.recordNumber();
        name = store.readText(Stock::Name);
        spec = store.readText(Stock::Spec);
    }
    // A stock file that cannot be read is no reason to say "no backup".
    if (store.failed()) {
        prompts.message(QStringLiteral("恢复失败，库存数据未改变：") + store.lastError());
        return Outcome::Failed;
    }
    // An item no longer in stock has no backup to go back to. The latest
    // booking's backup may be only in the stock file yet (putting it in place
    // failed): it is written out first, or the undo would skip that booking.
    const QString backup = ItemBackup::path(backupFolder(kind, state.programDir), name, spec);
    if (recordNumber != 0) {
        if (Status s = BookingBackups::bringUpToDate(store, backup); !s) {
            prompts.message(QStringLiteral("恢复失败，库存数据未改变：") + s.message());
            return Outcome::Failed;
        }
    }
    if (recordNumber == 0 || !QFileInfo::exists(backup)) {
        prompts.message(texts.noBackup);
        return Outcome::NoBackup;
    }
    const QString question = QStringLiteral("注意:检测到备份文件为")
        + dateTimeText(QFileInfo(backup).lastModified()) + QStringLiteral(",您欲将项目 ") + name
        + texts.questionTail;
    if (!prompts.askYesNo(question, QStringLiteral("提醒询问：")))
        return Outcome::Declined;

    Result result;
    const Status s
        = restore(store, state.programDir, recordNumber, backup, name, spec, now, &result);
    if (result.keyMismatch) {
        prompts.message(texts.keyMismatch);
        return Outcome::KeyMismatch;
    }
    if (!s && result.changed) {
        prompts.message(QStringLiteral("已恢复，但最后一步出错：") + s.message());
        return Outcome::Restored;
    }
    if (!s) {
        prompts.message(QStringLiteral("恢复失败，库存数据未改变：") + s.message());
        return Outcome::Failed;
    }
    // Undone, but the disk complained after the commit: told as bookings tell it.
    if (!result.diskProblem.isEmpty())
        prompts.message(StockFile::bookedDespiteDiskMessage(
            kind == Kind::Receipt ? QStringLiteral("取消进库") : QStringLiteral("取消出库"),
            result.diskProblem));
    if (rewrittenRecord)
        *rewrittenRecord = result.rewrittenRecord;
    return Outcome::Restored;
}

} // namespace Undo
