#include "movement_fixture.h"

#include "common/clock.h"
#include "common/value_text.h"
#include "data/interrupted_work.h"
#include "data/item_backup.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "issue/goods_issue.h"
#include "movements/bulk_addition.h"
#include "movements/receipt.h"
#include "movements/undo.h"
#include "support/file_faults.h"
#include "support/record_files.h"
#include "support/stock_faults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class UndoTest : public MovementTest
{
protected:
    void SetUp() override
    {
        MovementTest::SetUp();
        addItem(QStringLiteral("螺栓"), QStringLiteral("M8"), 100, 50);
        addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 10, 20);
        addItem(QStringLiteral("开关"), QStringLiteral("K1"), 3, 30);
        EXPECT_TRUE(store.goTo(3));
        ASSERT_TRUE(store.appendMemo(Stock::ReceiptHistory, QStringLiteral("开关的记录\r\n")));
        state.selectedItem = {QStringLiteral("电缆"), QStringLiteral("YJV")};
    }

    void receive(const QString &quantity, const QString &name = QStringLiteral("电缆"),
        const QString &spec = QStringLiteral("YJV"))
    {
        ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
        const ReceiptInput input {
            name, spec, "米", "2", quantity, QString::number(2 * quantity.toInt()), "1"};
        const Status s = bookReceipt(*store.current(), state.programDir, input, now);
        ASSERT_TRUE(s) << s.message().toStdString();
        now = now.addSecs(60);
    }

    // Books a one-line issue note of the item, as the issue-note window does.
    void issue(const QString &quantity, const QString &name = QStringLiteral("电缆"),
        const QString &spec = QStringLiteral("YJV"))
    {
        IssueNote note;
        note.lines = QList<IssueNote::Line>(IssueNote::lineCount);
        note.lines[0] = {name, spec, quantity, QString::number(2 * quantity.toInt())};
        note.department = QStringLiteral("供电所");
        const Status s
            = bookIssue(stockFileOf(store, state.programDir), state.programDir, note, now);
        ASSERT_TRUE(s) << s.message().toStdString();
        now = now.addSecs(60);
    }

    Undo::Outcome undo(Undo::Kind kind = Undo::Kind::Receipt)
    {
        return Undo::run(kind, store, state, prompts, now);
    }

    // Every item as "name quantity", in file order.
    QStringList items()
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(state.path(Stock::fileName()), QStringLiteral("r")));
        QStringList result;
        for (reader.first(); !reader.atEnd(); reader.skip())
            result << reader.readText(Stock::Name) + u' ' + reader.readText(Stock::Quantity);
        return result;
    }

    // The item's backup as an earlier version wrote it, naming no records.
    void makeOldStyle(Undo::Kind kind)
    {
        // Written before the last start-up: the stock file keeps no content of it.
        store.closeAll();
        ASSERT_TRUE(InterruptedWork::finish(
            state.programDir, {Undo::backupFolder(kind, state.programDir)}));
        RecordStore backup;
        ASSERT_TRUE(backup.open(Undo::backupFolder(kind, state.programDir) + "/电缆YJV.zrb", "b"));
        ASSERT_TRUE(backup.writeNote(QStringLiteral("copied from"), QString()));
    }

    // Quantity, value and histories of a record.
    QStringList recordAt(int record)
    {
        EXPECT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
        EXPECT_TRUE(store.goTo(record));
        return {text(Stock::Quantity), text(Stock::Amount), text(Stock::ReceiptHistory),
            text(Stock::IssueHistory)};
    }

    QStringList leftovers() const
    {
        return QDir(state.programDir)
            .entryList({QStringLiteral("~*"), QStringLiteral("xdgj*")}, QDir::Files | QDir::Hidden);
    }
};

TEST_F(UndoTest, ReceiptIsUndoneWithEverythingItChanged)
{
    receive("5");
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3"}));

    // The question names the backup's time and the item.
    ASSERT_EQ(prompts.shown().size(), 1u);
    const auto &question = prompts.shown()[0];
    EXPECT_EQ(question.kind, QStringLiteral("question"));
    EXPECT_EQ(question.title, QStringLiteral("提醒询问："));
    const QString backup = ItemBackup::receiptFolder(state.programDir) + "/电缆YJV.zrb";
    EXPECT_EQ(question.text,
        QStringLiteral("注意:检测到备份文件为") + dateTimeText(QFileInfo(backup).lastModified())
            + QStringLiteral(",您欲将项目 电缆 的数据恢复到本次进库以前状态? ＾＿＾"));

    // The stock file is open on the restored item, its history and totals back.
    EXPECT_EQ(store.currentAlias(), Stock::alias());
    EXPECT_EQ(store.recordNumber(), 2);
    EXPECT_EQ(text(Stock::ReceiptHistory), QString());
    EXPECT_EQ(number(Stock::UnitPrice), 2.0);
    EXPECT_FALSE(store.readDateTime(Stock::ReceiptDate).isValid());
    EXPECT_EQ(number(Stock::YearReceiptQuantity), 0.0);
    EXPECT_TRUE(store.goTo(3));
    EXPECT_EQ(text(Stock::ReceiptHistory), QStringLiteral("开关的记录\r\n"))
        << "other records keep their memos";
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
    EXPECT_TRUE(QFile::exists(backup)) << "the backup is kept";
}

TEST_F(UndoTest, OnlyTheLatestReceiptCanBeUndoneAndAgain)
{
    receive("5");
    receive("5");
    prompts.answer(true);
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
}

TEST_F(UndoTest, UndoingAReceiptAlsoUndoesALaterIssue)
{
    receive("5");
    ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV"));
    ASSERT_TRUE(store.write(Stock::Quantity, 1)); // an issue, as far as the record goes
    ASSERT_TRUE(store.appendMemo(Stock::IssueHistory, QStringLiteral("出库\r\n")));
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV"));
    EXPECT_EQ(number(Stock::Quantity), 10.0);
    EXPECT_EQ(text(Stock::IssueHistory), QString());
}

TEST_F(UndoTest, NoChangesWithoutYesOrWithoutABackup)
{
    receive("5");
    EXPECT_EQ(undo(), Undo::Outcome::Declined) << "no answer is No";
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));

    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::NoBackup);
    EXPECT_EQ(prompts.messages().last(),
        QStringLiteral("没有找到该项目的出库备份数据,同一项目如一天内出库两次,只能恢复到第二次"
                       "出库前的状态"));

    state.selectedItem = {QStringLiteral("不存在"), QStringLiteral("x")};
    EXPECT_EQ(undo(), Undo::Outcome::NoBackup);

    state.selectedItem = {};
    EXPECT_EQ(undo(), Undo::Outcome::NothingSelected);
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("请先选中要取消进库的项目"));
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::NothingSelected);
    EXPECT_EQ(prompts.messages().last(), QStringLiteral("请先选中要取消出库的项目"));
}

TEST_F(UndoTest, TheReceiptThatCreatedAnItemCannotBeUndone)
{
    receive("4", QStringLiteral("新件"), QStringLiteral("N1"));
    state.selectedItem = {QStringLiteral("新件"), QStringLiteral("N1")};
    prompts.answer(true);
    const QStringList before = items();
    EXPECT_EQ(undo(), Undo::Outcome::KeyMismatch);
    EXPECT_EQ(prompts.messages().last(),
        QStringLiteral("失败!检测到进库备份的项目材料品名不符或者规格型号不符"));
    EXPECT_EQ(items(), before);
    EXPECT_EQ(store.currentAlias(), Stock::alias());
    EXPECT_EQ(store.recordNumber(), 4) << "reopened on the item";
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(UndoTest, ItemsWhoseNamesAreNoFileNamesAreUndoneToo)
{
    const QString spec = QStringLiteral("YJV22-3*95");
    addItem(QStringLiteral("电缆"), spec, 10, 20);
    state.selectedItem = {QStringLiteral("电缆"), spec};
    receive("5", QStringLiteral("电缆"), spec);
    issue("12", QStringLiteral("电缆"), spec);
    EXPECT_EQ(items().last(), QStringLiteral("电缆 3"));
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_EQ(items().last(), QStringLiteral("电缆 15"));
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3", "电缆 10"}));
}

TEST_F(UndoTest, ABackupOfAnotherItemIsRefused)
{
    // AB+C and A+BC share a backup: the latest receipt was of the other item.
    addItem(QStringLiteral("AB"), QStringLiteral("C"), 1, 1);
    addItem(QStringLiteral("A"), QStringLiteral("BC"), 2, 2);
    receive("1", QStringLiteral("AB"), QStringLiteral("C"));
    receive("1", QStringLiteral("A"), QStringLiteral("BC"));
    state.selectedItem = {QStringLiteral("AB"), QStringLiteral("C")};
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::KeyMismatch);
    state.selectedItem = {QStringLiteral("A"), QStringLiteral("BC")};
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items().mid(3), QStringList({"AB 2", "A 2"}));
}

// The latest receipt is the one undone, also when its backup could not be
// put in place after the booking: the stock file keeps it.
TEST_F(UndoTest, AReceiptWhoseBackupIsNotInPlaceYetIsTheOneUndone)
{
    addItem(QStringLiteral("变压器"), QStringLiteral("S11-100"), 1000, 20000);
    receive("5", QStringLiteral("变压器"), QStringLiteral("S11-100"));
    FileSystem::setFaultHook([](FileSystem::Operation operation, const QString &path) {
        return operation == FileSystem::Operation::Rename && path.contains(QStringLiteral("变压器"))
            ? EIO
            : 0;
    });
    ReceiptOutcome outcome;
    const Status booked = bookReceipt(*store.current(), state.programDir,
        {QStringLiteral("变压器"), QStringLiteral("S11-100"), "台", "2", "11", "22", "1"}, now,
        &outcome);
    FileSystem::setFaultHook({});
    ASSERT_TRUE(booked) << booked.message().toStdString();
    EXPECT_FALSE(outcome.backupProblem.isEmpty());
    goToItem(QStringLiteral("变压器"), QStringLiteral("S11-100"));
    EXPECT_EQ(number(Stock::Quantity), 1016);

    state.selectedItem = {QStringLiteral("变压器"), QStringLiteral("S11-100")};
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    goToItem(QStringLiteral("变压器"), QStringLiteral("S11-100"));
    EXPECT_EQ(number(Stock::Quantity), 1005) << "the first receipt stays";
    EXPECT_EQ(text(Stock::ReceiptHistory).count(QStringLiteral("\r\n")), 1);
    EXPECT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join(u' ').toStdString();
}

TEST_F(UndoTest, AFailedRebuildLeavesTheStockFileAsItWas)
{
    receive("5");
    const QString backup = ItemBackup::receiptFolder(state.programDir) + "/电缆YJV.zrb";
    // After a start-up the stock file no longer keeps the backup's content.
    store.closeAll();
    ASSERT_TRUE(
        InterruptedWork::finish(state.programDir, {ItemBackup::receiptFolder(state.programDir)}));
    // A damaged backup: the undo cannot read it.
    QFile::remove(backup);
    QFile damaged(backup);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("damaged");
    damaged.close();
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Failed);
    EXPECT_TRUE(prompts.messages().last().startsWith(QStringLiteral("恢复失败")));
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(UndoTest, TwinRecordsOfTheKeyComeBackOnceEach)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 7, 14);
    issue("4");
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 6", "开关 3", "电缆 7"}))
        << "only the first twin is issued";
    // The backup holds both twins: each goes back over its own record, once.
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3", "电缆 7"}));
    // One of an earlier version names no records: they take the first one's place.
    makeOldStyle(Undo::Kind::Issue);
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "电缆 7", "开关 3"}));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

// 加入数据库 may add a record of a key in stock: an undo of an earlier movement
// of the key puts back the records it changed, and only those, every time.
TEST_F(UndoTest, ARecordOfTheKeyAddedAfterTheMovementStays)
{
    const auto addInBulk = [&](double quantity) {
        ASSERT_TRUE(BulkAddition::add(stockFileOf(store, state.programDir),
            {{"电缆", "YJV", "米", 3, quantity, 3 * quantity}}, FixedClock(now)));
        store.close(Stock::alias());
    };
    receive("5");
    addInBulk(7);
    const QStringList added = recordAt(4);
    ASSERT_EQ(added.mid(0, 2), QStringList({"7", "21"}));
    int rewritten = -1;
    for (const auto kind : {Undo::Kind::Receipt, Undo::Kind::Issue}) {
        if (kind == Undo::Kind::Issue) { // it backs up both records; a third comes after
            issue("4");
            addInBulk(2);
        }
        const QStringList last = recordAt(int(items().size()));
        for (int round = 0; round < 2; ++round) {
            prompts.answer(true);
            EXPECT_EQ(
                Undo::run(kind, store, state, prompts, now, &rewritten), Undo::Outcome::Restored);
            EXPECT_EQ(rewritten, kind == Undo::Kind::Receipt ? 2 : 0) << "0: read the list again";
            EXPECT_EQ(items().mid(0, 4), QStringList({"螺栓 100", "电缆 10", "开关 3", "电缆 7"}));
            EXPECT_EQ(recordAt(2).mid(2), QStringList({"", ""}));
            EXPECT_EQ(recordAt(4), added);
            EXPECT_EQ(recordAt(int(items().size())), last);
        }
    }
}

TEST_F(UndoTest, UndoWorksAfterTheFirstRecordWasDeletedAndPurged)
{
    EXPECT_TRUE(store.goTo(1));
    ASSERT_TRUE(store.deleteRecord());
    ASSERT_TRUE(store.purge());
    issue("4");
    receive("5");
    EXPECT_EQ(items(), QStringList({"电缆 11", "开关 3"}));
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"电缆 10", "开关 3"}));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV"));
    EXPECT_EQ(text(Stock::IssueHistory), QString());
    EXPECT_EQ(number(Stock::Amount), 20.0);
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Receipt), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"电缆 6", "开关 3"})) << "the state after the issue";
    goToItem(QStringLiteral("开关"), QStringLiteral("K1"));
    EXPECT_EQ(text(Stock::ReceiptHistory), QStringLiteral("开关的记录\r\n"));
}

TEST_F(UndoTest, AnIssueNoteThatFailsLeavesTheLastRealIssueUndoable)
{
    issue("10", QStringLiteral("螺栓"), QStringLiteral("M8")); // 100 -> 90, backup 100
    // The next note fails on its second line, after the first was written.
    store.closeAll();
    failUpdatesOfItem(state.path(Stock::fileName()), QStringLiteral("开关"));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    IssueNote note;
    note.lines = QList<IssueNote::Line>(IssueNote::lineCount);
    note.lines[0] = {QStringLiteral("螺栓"), QStringLiteral("M8"), "20", "10"};
    note.lines[1] = {QStringLiteral("开关"), QStringLiteral("K1"), "1", "10"};
    const QString backup = ItemBackup::issueFolder(state.programDir) + "/螺栓M8.zrb";
    const QByteArray backupBefore = bytesOf(backup);
    ASSERT_FALSE(backupBefore.isEmpty());
    EXPECT_FALSE(bookIssue(stockFileOf(store, state.programDir), state.programDir, note, now));
    EXPECT_EQ(items(), QStringList({"螺栓 90", "电缆 10", "开关 3"}));
    EXPECT_EQ(bytesOf(backup), backupBefore) << "the backup is the one of the last real issue";

    state.selectedItem = {QStringLiteral("螺栓"), QStringLiteral("M8")};
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3"}));
}

TEST_F(UndoTest, OnlyARebuildKeepsAWholeCopyOfTheStockFileBeforeIt)
{
    const QDir copies(StockFile::backupFolder(state.programDir));
    const QStringList pattern = {QStringLiteral("*.zrb")};
    // One record written back: all or nothing in one transaction, no copy.
    receive("5");
    makeOldStyle(Undo::Kind::Receipt); // also from a backup of an earlier version
    prompts.answer(true);
    int rewritten = -1;
    EXPECT_EQ(Undo::run(Undo::Kind::Receipt, store, state, prompts, now, &rewritten),
        Undo::Outcome::Restored);
    EXPECT_EQ(rewritten, 2) << "电缆 is record 2";
    EXPECT_TRUE(copies.entryList(pattern, QDir::Files).isEmpty());

    // Twins of a backup naming no records rebuild the file: the state before it is kept.
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 7, 14);
    issue("4");
    makeOldStyle(Undo::Kind::Issue);
    prompts.answer(true);
    EXPECT_EQ(Undo::run(Undo::Kind::Issue, store, state, prompts, now, &rewritten),
        Undo::Outcome::Restored);
    EXPECT_EQ(rewritten, 0) << "rebuilt, not written in place";
    const QStringList kept = copies.entryList(pattern, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    RecordStore copy;
    ASSERT_TRUE(copy.open(copies.filePath(kept[0]), Stock::alias()))
        << copy.lastError().toStdString();
    ASSERT_EQ(copy.recordCount(), 4);
    EXPECT_TRUE(copy.goTo(2));
    EXPECT_EQ(copy.readNumber(Stock::Quantity), 6.0) << "the state the undo took back";
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

TEST_F(UndoTest, AFailedUndoSaysWhyAndChangesNothing)
{
    receive("5");
    store.closeAll();
    failUpdatesOfItem(state.path(Stock::fileName()), QStringLiteral("电缆"));
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Failed);
    const QString prefix = QStringLiteral("恢复失败，库存数据未改变：");
    ASSERT_TRUE(prompts.messages().last().startsWith(prefix));
    EXPECT_GT(prompts.messages().last().size(), prefix.size()) << "the reason is told";
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
}

// A rename or removal failing at any step of an undo, of one record or of
// twins: what the message says is what the stock file holds, and after a
// restart the stock file opens, old or new.
TEST_F(UndoTest, EveryFailedStepOfAnUndoLeavesTheOldOrTheNewStockFile)
{
    for (const bool twins : {false, true}) {
        const int rounds = forEachFaultPoint([&](int failAt) {
            store.closeAll();
            state.programDir = dir.path() + QStringLiteral("/%1-%2").arg(twins).arg(failAt);
            EXPECT_TRUE(QDir().mkpath(state.programDir));
            EXPECT_TRUE(Stock::createEmptyFile(state.path(Stock::fileName())));
            EXPECT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
            addItem(QStringLiteral("螺栓"), QStringLiteral("M8"), 100, 50);
            addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 10, 20);
            if (twins)
                addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 7, 14);
            issue("4");
            if (twins) // a backup naming no records: the rebuild
                makeOldStyle(Undo::Kind::Issue);
            const QStringList old = items();
            const QStringList undone = twins ? QStringList({"螺栓 100", "电缆 10", "电缆 7"})
                                             : QStringList({"螺栓 100", "电缆 10"});
            prompts.answer(true);
            Undo::Outcome outcome;
            bool fired = false;
            {
                const InjectedFault fault(failAt);
                outcome = undo(Undo::Kind::Issue);
                fired = fault.fired();
            }
            const bool told = outcome == Undo::Outcome::Restored
                && (prompts.messages().isEmpty()
                    || !prompts.messages().last().startsWith(QStringLiteral("已恢复，但")));
            if (outcome == Undo::Outcome::Failed) {
                EXPECT_EQ(items(), old) << failAt;
            }
            if (told) {
                EXPECT_EQ(items(), undone) << failAt;
            }
            store.closeAll();
            EXPECT_TRUE(InterruptedWork::finish(
                state.programDir, {Undo::backupFolder(Undo::Kind::Issue, state.programDir)}));
            EXPECT_EQ(items(), outcome == Undo::Outcome::Restored ? undone : old) << failAt;
            EXPECT_TRUE(leftovers().isEmpty()) << failAt;
            return fired && !HasFailure();
        });
        // One record goes back in one transaction: no rename or flush of
        // ours to fail (SQLite's own failures are the test above).
        if (twins)
            EXPECT_GE(rounds, 6);
        else
            EXPECT_EQ(rounds, 0);
    }
}

} // namespace
