#include "movements/undo.h"

#include "common/app_state.h"
#include "common/file_system.h"
#include "common/prompts.h"
#include "common/value_text.h"
#include "data/item_backup.h"
#include "data/pair_replacement.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"

#include <QFileInfo>

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

// The one record of the backup (current) as values for every field.
QVariantList recordValues(const RecordStore &store)
{
    QVariantList values;
    for (int field = 1; field <= store.fieldCount(); ++field)
        values.append(store.read(field));
    return values;
}

// The record takes the values in one transaction: all of them or none.
Status writeInPlace(RecordStore &store, int recordNumber, const QVariantList &values)
{
    if (!store.select(Stock::alias()))
        return Status::failure(store.lastError());
    RecordStore::Transaction transaction(store);
    if (!transaction.active() || !store.goTo(recordNumber))
        return Status::failure(store.lastError());
    for (int field = 1; field <= values.size(); ++field)
        if (!store.write(field, values[field - 1]))
            return Status::failure(store.lastError());
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
    // The reason is copied before reopening clears the store's error.
    const auto done = [&](const Status &s) {
        store.closeAll();
        if (store.open(data, Stock::alias()))
            (void)store.goTo(recordNumber); // past the end is a place too
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
    const bool inPlace = records == 1 && store.recordCount() == 1 && !store.isDeleted();
    const QVariantList values = inPlace ? recordValues(store) : QVariantList();
    if (store.failed())
        return done(Status::failure(store.lastError()));

    // One record written back in one transaction needs no copy of the whole
    // file: it is all or nothing, the item's backup stays for a repeat, and
    // a copy per undo (tens of megabytes on a large stock) would fill the disk.
    if (inPlace) {
        store.close(backupAlias);
        const Status s = writeInPlace(store, recordNumber, values);
        r.changed = bool(s);
        if (s)
            r.rewrittenRecord = recordNumber;
        return done(s);
    }
    // A rebuild rewrites the whole file; a quick copy of it first is enough to
    // take back a mistaken one.
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
    const QString backup = ItemBackup::path(backupFolder(kind, state.programDir), name, spec);
    if (backup.isEmpty() || !QFileInfo::exists(backup)) {
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
    if (rewrittenRecord)
        *rewrittenRecord = result.rewrittenRecord;
    return Outcome::Restored;
}

} // namespace Undo
