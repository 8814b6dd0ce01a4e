#include "movements/undo.h"

#include "common/app_state.h"
#include "common/file_system.h"
#include "common/prompts.h"
#include "common/value_text.h"
#include "data/item_backup.h"
#include "data/pair_replacement.h"
#include "data/record_store.h"
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

// Whether the backup holds the item first.
bool backupHoldsItem(RecordStore &store, const QString &backup, const QString &name,
    const QString &spec, QString *error)
{
    const QString alias = QStringLiteral("xdgja");
    if (!store.open(backup, alias)) {
        *error = store.lastError();
        return false;
    }
    store.first();
    return Stock::isStockLayout(store.layout()) && store.recordCount() > 0
        && store.readText(Stock::Name) == name && store.readText(Stock::Spec) == spec;
}

} // namespace

QString backupFolder(Kind kind, const QString &programDir)
{
    return kind == Kind::Receipt ? ItemBackup::receiptFolder(programDir)
                                 : ItemBackup::issueFolder(programDir);
}

Status restore(RecordStore &store, const QString &programDir, int recordNumber,
    const QString &backup, const QString &name, const QString &spec, bool *keyMismatch)
{
    if (keyMismatch)
        *keyMismatch = false;
    const QString data = programDir + u'/' + Stock::fileName();
    const QString stem = PairReplacement::newStem();
    const QString before = PairReplacement::temporaryPath(programDir, stem + u'1', ".zrb");
    const QString after = PairReplacement::temporaryPath(programDir, stem + u'2', ".zrb");
    const auto reopen = [&] {
        store.closeAll();
        if (store.open(data, Stock::alias()))
            (void)store.goTo(recordNumber); // past the end is a place too
    };
    const auto fail = [&](const QString &message) {
        reopen();
        removePair(before);
        removePair(after);
        return Status::failure(message);
    };

    if (!store.openOrSelect(data, Stock::alias()))
        return fail(store.lastError());
    // The backup holds every record of the key (twins too), so all of them
    // give way to it: the first one's place takes the backup, the others go.
    const auto isItem = [&](const RecordStore &s) {
        return s.readText(Stock::Name) == name && s.readText(Stock::Spec) == spec;
    };
    if (!store.copyTo(before, [&](const RecordStore &s) { return s.recordNumber() < recordNumber; })
        || !store.copyTo(after,
            [&](const RecordStore &s) { return s.recordNumber() > recordNumber && !isItem(s); }))
        return fail(store.lastError());
    store.closeAll();

    QString error;
    if (!backupHoldsItem(store, backup, name, spec, &error)) {
        if (keyMismatch)
            *keyMismatch = error.isEmpty();
        return fail(error);
    }
    if (!store.open(after, QStringLiteral("xdgj2")) || !store.open(before, QStringLiteral("xdgjb"))
        || !store.appendFrom(QStringLiteral("xdgja")) || !store.appendFrom(QStringLiteral("xdgj2")))
        return fail(store.lastError());
    store.closeAll();

    // Only a complete new stock file takes the place of the old one.
    Status s = PairReplacement::replace(data, before, RecordStore::companionPath(before));
    if (!s)
        return fail(s.message());
    removePair(after);
    reopen();
    return Status::success();
}

Outcome run(Kind kind, RecordStore &store, const AppState &state, Prompts &prompts)
{
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

    bool keyMismatch = false;
    const Status s
        = restore(store, state.programDir, recordNumber, backup, name, spec, &keyMismatch);
    if (keyMismatch) {
        prompts.message(texts.keyMismatch);
        return Outcome::KeyMismatch;
    }
    if (!s) {
        prompts.message(QStringLiteral("恢复失败，库存数据未改变：") + s.message());
        return Outcome::Failed;
    }
    return Outcome::Restored;
}

} // namespace Undo
