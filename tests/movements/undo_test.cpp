#include "movement_fixture.h"

#include "common/clock.h"
#include "common/value_text.h"
#include "data/interrupted_work.h"
#include "data/item_backup.h"
#include "data/movement_note.h"
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

    // Books a receipt as the item window does, into record `recordId` when given.
    void receive(const QString &quantity, const QString &name = QStringLiteral("电缆"),
        const QString &spec = QStringLiteral("YJV"), const QString &amount = QString(),
        qint64 recordId = 0)
    {
        ASSERT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
        const ReceiptInput input {name, spec, "米", "2", quantity,
            amount.isEmpty() ? QString::number(2 * quantity.toInt()) : amount, "1", recordId};
        const Status s = bookReceipt(*store.current(), state.programDir, input, now);
        ASSERT_TRUE(s) << s.message().toStdString();
        now = now.addSecs(60);
    }

    // Books a one-line issue note of the item, as the issue-note window does.
    void issue(const QString &quantity, const QString &name = QStringLiteral("电缆"),
        const QString &spec = QStringLiteral("YJV"), const QString &amount = QString())
    {
        IssueNote note;
        note.lines = QList<IssueNote::Line>(IssueNote::lineCount);
        note.lines[0] = {name, spec, quantity,
            amount.isEmpty() ? QString::number(2 * quantity.toInt()) : amount};
        note.department = QStringLiteral("供电所");
        const Status s
            = bookIssue(stockFileOf(store, state.programDir), state.programDir, note, now);
        ASSERT_TRUE(s) << s.message().toStdString();
        now = now.addSecs(60);
    }

    Undo::Outcome undo(Undo::Kind kind = Undo::Kind::Receipt)
    {
        return Undo::run(kind, store, state, prompts);
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

    // The item's backup as an earlier version wrote it: naming no movement,
    // and unless `keepIds` no records.
    void makeOldStyle(Undo::Kind kind, bool keepIds = false)
    {
        // Written before the last start-up: the stock file keeps no content of it.
        store.closeAll();
        ASSERT_TRUE(InterruptedWork::finish(
            state.programDir, {Undo::backupFolder(kind, state.programDir)}));
        RecordStore backup;
        ASSERT_TRUE(backup.open(Undo::backupFolder(kind, state.programDir) + "/电缆YJV.zrb", "b"));
        ASSERT_TRUE(backup.writeNote(MovementNote::key(), QString()));
        if (!keepIds) {
            ASSERT_TRUE(backup.writeNote(QStringLiteral("copied from"), QString()));
        }
    }

    // Quantity, value and histories of a record.
    QStringList recordAt(int record)
    {
        EXPECT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
        EXPECT_TRUE(store.goTo(record));
        return {text(Stock::Quantity), text(Stock::Amount), text(Stock::ReceiptHistory),
            text(Stock::IssueHistory)};
    }

    // Every field of a record as text, price and period totals included.
    QStringList fieldsOf(int record)
    {
        EXPECT_TRUE(store.openOrSelect(state.path(Stock::fileName()), Stock::alias()));
        EXPECT_TRUE(store.goTo(record));
        QStringList fields;
        for (int field = 1; field <= Stock::fieldCount; ++field)
            fields << text(field);
        return fields;
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
            + QStringLiteral(",您欲将项目 电缆 的数据恢复到本次进库以前状态? ＾＿＾\n"
                             "项目：电缆，规格型号：YJV\n本次进库：2011年3月7日9时5分，数量 5，"
                             "金额 10\n库存数量 15 → 10，库存金额 30 → 20"));

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

TEST_F(UndoTest, OnlyTheLatestReceiptCanBeUndoneAndOnlyOnce)
{
    receive("5");
    receive("5");
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
    EXPECT_EQ(undo(), Undo::Outcome::Refused) << "no question: nothing left to take back";
    EXPECT_EQ(prompts.messages().last(),
        QStringLiteral(
            "该项目备份之后的那次进库已不在库存中（已经取消过，或库存数据已恢复到它以前），"
            "不需要再取消。"));
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
}

// A receipt, then an issue on a note: 取消进库 takes back the receipt alone,
// the issue staying in the stock, the ledger and the issue totals; then a
// receipt and 取消出库 take back the issue alone, the new receipt staying.
TEST_F(UndoTest, AnUndoTakesBackItsOwnMovementAndKeepsTheLaterOnes)
{
    addItem(QStringLiteral("变压器油"), QStringLiteral("25#"), 1800.25, 3150.44);
    state.selectedItem = {QStringLiteral("变压器油"), QStringLiteral("25#")};
    const QStringList untouched = fieldsOf(4);
    receive("600.75", state.selectedItem.name, state.selectedItem.spec, "1081.35");
    const QStringList received = fieldsOf(4);
    issue("120.25", state.selectedItem.name, state.selectedItem.spec, "211.64");
    ASSERT_EQ(recordAt(4).mid(0, 2), QStringList({"2280.75", "4020.15"}));
    const QStringList issued = fieldsOf(4);

    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    const QString backup = ItemBackup::receiptFolder(state.programDir) + "/变压器油25#.zrb";
    EXPECT_EQ(prompts.shown().back().text,
        QStringLiteral("注意:检测到备份文件为") + dateTimeText(QFileInfo(backup).lastModified())
            + QStringLiteral(
                ",您欲将项目 变压器油 的数据恢复到本次进库以前状态? ＾＿＾\n"
                "项目：变压器油，规格型号：25#\n本次进库：2011年3月7日9时5分，"
                "数量 600.75，金额 1081.35\n库存数量 2280.75 → 1680，库存金额 "
                "4020.15 → 2938.8\n此后的 1 次出库保留不动，只减去本次进库的数量和金额。"));
    QStringList expected = issued; // the issue's fields and history stay
    for (const int field : {Stock::ReceiptQuantity, Stock::ReceiptAmount, Stock::ReceiptDate,
             Stock::ReceiptHistory, Stock::AlarmQuantity, Stock::MonthReceiptQuantity,
             Stock::MonthReceiptAmount, Stock::YearReceiptQuantity, Stock::YearReceiptAmount})
        expected[field - 1] = untouched[field - 1];
    expected[Stock::Quantity - 1] = "1680"; // 1800.25 - 120.25
    expected[Stock::Amount - 1] = "2938.8"; // 3150.44 - 211.64
    expected[Stock::UnitPrice - 1] = "1.75";
    EXPECT_EQ(fieldsOf(4), expected);

    receive("50", state.selectedItem.name, state.selectedItem.spec, "87.5");
    const QStringList second = fieldsOf(4);
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_TRUE(prompts.shown().back().text.endsWith(
        QStringLiteral("\n库存数量 1730 → 1850.25，库存金额 3026.3 → 3237.94\n此后的 1 次进库保留"
                       "不动，此后取消的 1 次进库仍然取消，只加回本次出库的数量和金额。")));
    expected = second; // the second receipt stays, the first stays undone
    for (const int field : {Stock::IssueQuantity, Stock::IssueAmount, Stock::IssueDate,
             Stock::IssueHistory, Stock::MonthIssueQuantity, Stock::MonthIssueAmount,
             Stock::YearIssueQuantity, Stock::YearIssueAmount})
        expected[field - 1] = received[field - 1];
    expected[Stock::Quantity - 1] = "1850.25";
    expected[Stock::Amount - 1] = "3237.94";
    EXPECT_EQ(fieldsOf(4), expected);
    EXPECT_EQ(items().mid(0, 3), QStringList({"螺栓 100", "电缆 10", "开关 3"}));
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
    const QStringList before = items();
    EXPECT_EQ(undo(), Undo::Outcome::KeyMismatch);
    EXPECT_EQ(prompts.messages().last(),
        QStringLiteral("失败!检测到进库备份的项目材料品名不符或者规格型号不符"));
    EXPECT_EQ(items(), before);
    EXPECT_EQ(store.currentAlias(), Stock::alias());
    EXPECT_EQ(store.recordNumber(), 4) << "on the item";
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

TEST_F(UndoTest, ADamagedBackupLeavesTheStockFileAsItWas)
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
    EXPECT_EQ(undo(), Undo::Outcome::Failed);
    EXPECT_TRUE(prompts.messages().last().startsWith(QStringLiteral("恢复失败")));
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3"}));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
}

// Of twins of one key a movement books one record: the undo writes back
// that one alone, even when the other moved since; nor does it copy the
// stock file.
TEST_F(UndoTest, AnUndoWritesBackTheOneRecordItsMovementBooked)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 7, 14);
    issue("4");
    receive("2", QStringLiteral("电缆"), QStringLiteral("YJV"), "4", 4); // into the second
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 6", "开关 3", "电缆 9"}));
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3", "电缆 9"}));
    prompts.answer(true);
    EXPECT_EQ(undo(), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3", "电缆 7"}));

    // Backups of earlier versions: naming its records, the one that grew is
    // the movement's; naming none, twins leave it unknown.
    issue("4");
    makeOldStyle(Undo::Kind::Issue, true);
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Restored);
    issue("4");
    makeOldStyle(Undo::Kind::Issue);
    EXPECT_EQ(undo(Undo::Kind::Issue), Undo::Outcome::Refused);
    EXPECT_TRUE(
        prompts.messages().last().contains(QStringLiteral("有多条品名和规格型号相同的记录")));
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 6", "开关 3", "电缆 7"}));
    EXPECT_TRUE(leftovers().isEmpty()) << leftovers().join(u' ').toStdString();
    EXPECT_TRUE(QDir(StockFile::backupFolder(state.programDir)).isEmpty());
}

// A receipt into a second record of a key that is deleted after it: its id
// is never given again, so the undo of that receipt touches no record, also
// not the one added in its place with its value and history.
TEST_F(UndoTest, AnUndoOfADeletedRecordsReceiptTouchesNoOtherRecord)
{
    const auto addInBulk = [&](const QString &unit, double quantity) {
        ASSERT_TRUE(BulkAddition::add(stockFileOf(store, state.programDir),
            {{"电缆", "YJV", unit, 3, quantity, 3 * quantity}}, FixedClock(now)));
    };
    receive("5");
    addInBulk("米", 7);
    receive("2", QStringLiteral("电缆"), QStringLiteral("YJV"), "4", 4);
    ASSERT_TRUE(store.goTo(4) && store.deleteRecord() && store.purge());
    addInBulk("卷", 100);
    EXPECT_EQ(store.recordId(), 5) << "the deleted record's id stays retired";
    const QStringList kept = {fieldsOf(2).join(u'|'), fieldsOf(4).join(u'|')};
    EXPECT_EQ(undo(), Undo::Outcome::Refused);
    EXPECT_TRUE(prompts.messages().last().startsWith(
        QStringLiteral("无法取消进库：找不到本次进库所记的那条记录")));
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 15", "开关 3", "电缆 100"}));
    EXPECT_EQ(QStringList({fieldsOf(2).join(u'|'), fieldsOf(4).join(u'|')}), kept);
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
        for (int round = 0; round < 2; ++round) { // the second has nothing to take back
            if (round == 0)
                prompts.answer(true);
            EXPECT_EQ(Undo::run(kind, store, state, prompts, &rewritten),
                round == 0 ? Undo::Outcome::Restored : Undo::Outcome::Refused);
            EXPECT_EQ(rewritten, round == 0 ? 2 : 0);
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
    EXPECT_EQ(items(), QStringList({"电缆 15", "开关 3"})) << "the later receipt stays";
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV"));
    EXPECT_EQ(text(Stock::IssueHistory), QString());
    EXPECT_EQ(number(Stock::Amount), 30.0);
    // Undone in the other order, the two come back to the state before both.
    prompts.answer(true);
    EXPECT_EQ(undo(Undo::Kind::Receipt), Undo::Outcome::Restored);
    EXPECT_EQ(items(), QStringList({"电缆 10", "开关 3"}));
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

TEST_F(UndoTest, ABackupNamingNoRecordsUndoesTheOnlyRecordOfItsKey)
{
    receive("5");
    makeOldStyle(Undo::Kind::Receipt);
    prompts.answer(true);
    int rewritten = -1;
    EXPECT_EQ(
        Undo::run(Undo::Kind::Receipt, store, state, prompts, &rewritten), Undo::Outcome::Restored);
    EXPECT_EQ(rewritten, 2) << "电缆 is record 2";
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 10", "开关 3"}));
    // With a later issue it cannot tell what the receipt booked: refused.
    receive("5");
    issue("1");
    makeOldStyle(Undo::Kind::Receipt);
    EXPECT_EQ(undo(), Undo::Outcome::Refused);
    EXPECT_TRUE(prompts.messages().last().contains(QStringLiteral("又有 1 次出库")));
    EXPECT_EQ(items(), QStringList({"螺栓 100", "电缆 14", "开关 3"}));
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
// twins: none is made, the record is written in its one transaction.
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
        // SQLite's own failures are the test above.
        EXPECT_EQ(rounds, 0);
    }
}

} // namespace
