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
    for (const QString &file : {recordFile, RecordFile::companionPath(recordFile)}) {
        // Leftovers carry temporary names, removed at the next start.
        (void)FileSystem::removeIfExists(file + QStringLiteral("-journal"));
        (void)FileSystem::removeIfExists(file);
    }
}

const QString backupAlias = QStringLiteral("xdgja");

// Opens the backup; whether it holds the item first. Not so with an empty
// `error`: the backup holds another item, or none.
bool backupHoldsItem(RecordFile &backup, const QString &path, const QString &name,
    const QString &spec, QString *error)
{
    if (Status s = backup.open(path, backupAlias); !s) {
        *error = s.message();
        return false;
    }
    const bool holds = Stock::isStockLayout(backup.layout()) && backup.recordCount() > 0
        && backup.readText(Stock::Name) == name && backup.readText(Stock::Spec) == spec;
    *error = backup.readStatus().message();
    return holds && error->isEmpty();
}

// The records of the backup as values for every field, in its order;
// `writable` is false when one of them is marked deleted.
Status backupRecords(RecordFile &backup, QList<QVariantList> *records, bool *writable)
{
    *writable = true;
    for (backup.first(); !backup.atEnd(); backup.skip()) {
        if (backup.isDeleted()) {
            *writable = false;
            return backup.readStatus();
        }
        QVariantList values;
        for (int field = 1; field <= backup.fieldCount(); ++field)
            values.append(backup.read(field));
        if (Status s = backup.readStatus(); !s)
            return s;
        records->append(values);
    }
    return Status::success();
}

// Whether every identity names its own record of the item in the stock file:
// then the backup goes back over exactly the records it was taken from. Not
// so after the item was deleted or the file restored or rebuilt, where the
// identities name other records or none.
bool identitiesResolve(
    RecordFile &stock, const std::vector<qint64> &ids, const QString &name, const QString &spec)
{
    QSet<qint64> seen;
    for (const qint64 id : ids) {
        if (seen.contains(id) || !stock.goToId(id) || stock.readText(Stock::Name) != name
            || stock.readText(Stock::Spec) != spec)
            return false;
        seen.insert(id);
    }
    return true;
}

// Each record takes its values in one transaction: all of them or none.
// `places` are identities when `byId`, else record numbers.
Status writeInPlace(
    RecordFile &stock, const QList<qint64> &places, bool byId, const QList<QVariantList> &records)
{
    RecordFile::Transaction transaction(stock);
    if (Status s = transaction.begin(); !s)
        return s;
    for (qsizetype i = 0; i < places.size(); ++i) {
        if (Status s = byId ? stock.goToId(places[i]) : stock.goTo(int(places[i])); !s)
            return s;
        const QVariantList &values = records[i];
        for (int field = 1; field <= values.size(); ++field)
            if (Status s = stock.write(field, values[field - 1]); !s)
                return s;
    }
    return transaction.commit();
}

// The records of the item's place rebuilt: what comes before it, the
// backup's records, then what follows without the key's records.
Status buildRebuilt(RecordFile &backup, const QString &before, const QString &after)
{
    RecordFile rest;
    RecordFile rebuilt;
    Status s = rest.open(after, QStringLiteral("xdgj2"));
    if (s)
        s = rebuilt.open(before, QStringLiteral("xdgjb"));
    if (s)
        s = rebuilt.appendFrom(backup);
    if (s)
        s = rebuilt.appendFrom(rest);
    return s;
}

// Twins of the key: the backup holds every record of the key, so all of them
// give way to it, the first one's place taking the backup's records. The new
// stock file is built under temporary names and put in place whole; the
// stock file is closed for it.
Status rebuild(RecordFile &stock, RecordFile &backup, const QString &programDir, int recordNumber,
    const QString &name, const QString &spec, bool *changed)
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
    const auto isItem = [&](const RecordFile &f) {
        return f.readText(Stock::Name) == name && f.readText(Stock::Spec) == spec;
    };
    Status s = stock.copyTo(
        before, [&](const RecordFile &f) { return f.recordNumber() < recordNumber; });
    if (s)
        s = stock.copyTo(after,
            [&](const RecordFile &f) { return f.recordNumber() > recordNumber && !isItem(f); });
    if (!s)
        return finish(s);
    stock.close();
    s = buildRebuilt(backup, before, after);
    backup.close();
    if (!s)
        return finish(s);
    // Only a complete new stock file takes the place of the old one.
    s = PairReplacement::replace(data, before, RecordFile::companionPath(before), &committed);
    *changed = committed;
    return finish(s);
}

// The backup's records as they would go back, with what they need.
struct Saved
{
    int records = 0; // of the key in the stock file
    std::vector<qint64> sources;
    QList<QVariantList> values;
    bool writable = false;
};

Status readSaved(RecordFile &stock, RecordFile &backup, const QString &path, const QString &name,
    const QString &spec, Saved *saved, Result &r)
{
    if (Status s = stock.countEqual(Stock::Name, name, Stock::Spec, spec, &saved->records); !s)
        return s;
    QString error;
    if (!backupHoldsItem(backup, path, name, spec, &error)) {
        r.keyMismatch = error.isEmpty();
        return Status::failure(error);
    }
    if (Status s = backup.copiedFromIds(&saved->sources); !s)
        return s;
    return backupRecords(backup, &saved->values, &saved->writable);
}

} // namespace

QString backupFolder(Kind kind, const QString &programDir)
{
    return kind == Kind::Receipt ? ItemBackup::receiptFolder(programDir)
                                 : ItemBackup::issueFolder(programDir);
}

Status restore(RecordFile &stock, const QString &programDir, int recordNumber,
    const QString &backup, const QString &name, const QString &spec, const QDateTime &now,
    Result *result)
{
    Result ignored;
    Result &r = result ? *result : ignored;
    r = {};
    int landing = recordNumber;
    RecordFile backupFile;
    const auto done = [&](const Status &s) {
        backupFile.close();
        // Open again: a rebuild has put another file in its place.
        if (stock.reopen())
            (void)stock.goTo(landing); // past the end is a place too
        return s;
    };

    Saved saved;
    if (Status s = readSaved(stock, backupFile, backup, name, spec, &saved, r); !s)
        return done(s);
    // The backup's records go back over the very records they were taken
    // from; a record of the key added since (in bulk, say) stays as it is.
    // One transaction, no copy of the whole file: it is all or nothing, the
    // item's backup stays for a repeat, and a copy per undo (tens of
    // megabytes on a large stock) would fill the disk.
    const bool byId = saved.writable && !saved.sources.empty()
        && saved.sources.size() == size_t(saved.values.size())
        && identitiesResolve(stock, saved.sources, name, spec);
    // A backup of an earlier version names no records: one record of the
    // key is still its own.
    const QList<qint64> places = byId ? QList<qint64>(saved.sources.begin(), saved.sources.end())
        : saved.writable && saved.records == 1 && saved.values.size() == 1
        ? QList<qint64> {recordNumber}
        : QList<qint64>();
    if (!places.isEmpty()) {
        backupFile.close();
        const Status s = writeInPlace(stock, places, byId, saved.values);
        r.changed = bool(s);
        r.diskProblem = s ? stock.diskWarning() : QString();
        if (s && byId && stock.goToId(places.first()))
            landing = stock.recordNumber();
        if (s && saved.values.size() == 1)
            r.rewrittenRecord = landing;
        return done(s);
    }
    // Otherwise every record of the key gives way to the backup's, so the
    // file is rebuilt; a quick copy of it first is enough to take back a
    // mistaken one.
    if (Status s
        = StockFile::safetyBackup(stock, programDir, now, nullptr, StockFile::SafetyCopy::Quick);
        !s)
        return done(Status::failure(QStringLiteral("无法先备份库存数据：") + s.message()));
    return done(rebuild(stock, backupFile, programDir, recordNumber, name, spec, &r.changed));
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

// Tells the user how the undo went.
Outcome tell(Kind kind, const Status &restored, const Result &result, Prompts &prompts)
{
    if (result.keyMismatch) {
        prompts.message(textsFor(kind).keyMismatch);
        return Outcome::KeyMismatch;
    }
    if (!restored && result.changed) {
        prompts.message(QStringLiteral("已恢复，但最后一步出错：") + restored.message());
        return Outcome::Restored;
    }
    if (!restored) {
        prompts.message(QStringLiteral("恢复失败，库存数据未改变：") + restored.message());
        return Outcome::Failed;
    }
    // Undone, but the disk complained after the commit: told as bookings tell it.
    if (!result.diskProblem.isEmpty())
        prompts.message(StockFile::bookedDespiteDiskMessage(
            kind == Kind::Receipt ? QStringLiteral("取消进库") : QStringLiteral("取消出库"),
            result.diskProblem));
    return Outcome::Restored;
}

} // namespace

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
        prompts.message(QStringLiteral("恢复失败，库存数据未改变：") + found.message());
        return Outcome::Failed;
    }
    // An item no longer in stock has no backup to go back to. The latest
    // booking's backup may be only in the stock file yet (putting it in place
    // failed): it is written out first, or the undo would skip that booking.
    const QString backup = ItemBackup::path(backupFolder(kind, state.programDir), name, spec);
    if (recordNumber != 0) {
        if (Status s = BookingBackups::bringUpToDate(*stock, backup); !s) {
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
    // Open still, unless something closed it while the question was asked.
    Status s = store.openOrSelect(stockPath, Stock::alias(), &stock);
    if (s)
        s = restore(*stock, state.programDir, recordNumber, backup, name, spec, now, &result);
    const Outcome outcome = tell(kind, s, result, prompts);
    if (rewrittenRecord && s && outcome == Outcome::Restored)
        *rewrittenRecord = result.rewrittenRecord;
    return outcome;
}

} // namespace Undo
