#include "movement_fixture.h"

#include "data/item_backup.h"
#include "data/stock_layout.h"
#include "movements/receipt.h"
#include "support/stock_faults.h"

#include <QDir>
#include <QFile>

namespace {

class ReceiptTest : public MovementTest
{
protected:
    ReceiptInput receipt(const QString &quantity, const QString &price, const QString &amount,
        const QString &name = QStringLiteral("电缆"),
        const QString &spec = QStringLiteral("YJV-3x4"))
    {
        return {name, spec, QStringLiteral("米"), price, quantity, amount, QStringLiteral("3")};
    }

    ReceiptOutcome book(const ReceiptInput &input)
    {
        ReceiptOutcome outcome;
        const Status s = bookReceipt(*store.current(), state.programDir, input, now, &outcome);
        EXPECT_TRUE(s) << s.message().toStdString();
        return outcome;
    }

    // The six receipt totals: day, month, year quantity and amount.
    QList<double> totals()
    {
        return {number(Stock::ReceiptQuantity), number(Stock::ReceiptAmount),
            number(Stock::MonthReceiptQuantity), number(Stock::MonthReceiptAmount),
            number(Stock::YearReceiptQuantity), number(Stock::YearReceiptAmount)};
    }
};

TEST_F(ReceiptTest, AveragePriceAndHistoryLineOfAnExistingItem)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"), 10, 20);
    const auto outcome = book(receipt("5", "3", "15"));
    EXPECT_FALSE(outcome.newItem);
    EXPECT_TRUE(outcome.backupTaken);
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(number(Stock::Quantity), 15.0);
    EXPECT_EQ(number(Stock::Amount), 35.0);
    EXPECT_EQ(number(Stock::UnitPrice), 2.33);
    EXPECT_EQ(number(Stock::AlarmQuantity), 3.0);
    EXPECT_EQ(store.readDateTime(Stock::ReceiptDate), now);
    EXPECT_EQ(text(Stock::ReceiptHistory),
        QStringLiteral(
            "数量 5 单价 3 金额 15 入库后均价 2.33 数量 15 时间 2011年3月7日9时5分\r\n"));
    EXPECT_EQ(totals(), QList<double>({5, 15, 5, 15, 5, 15})) << "never received before";
    EXPECT_EQ(text(Stock::Unit), QStringLiteral("个")) << "the unit of an existing item stays";

    // Box texts go into the history as typed.
    book(receipt("２", " 3.50", "7.000"));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(number(Stock::Quantity), 17.0);
    EXPECT_TRUE(
        text(Stock::ReceiptHistory)
            .endsWith(QStringLiteral("数量 ２ 单价  3.50 金额 7.000 入库后均价 2.47 数量 17 "
                                     "时间 2011年3月7日9时5分\r\n")));
}

TEST_F(ReceiptTest, TotalsFollowTheCalendar)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"), 0, 0);
    now = QDateTime(QDate(2011, 3, 7), QTime(9, 5));
    book(receipt("1", "1", "10"));
    book(receipt("2", "1", "20")); // same day: everything adds
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(totals(), QList<double>({3, 30, 3, 30, 3, 30}));

    now = QDateTime(QDate(2011, 3, 8), QTime(0, 0)); // next day
    book(receipt("4", "1", "40"));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(totals(), QList<double>({4, 40, 7, 70, 7, 70}));

    now = QDateTime(QDate(2011, 4, 8), QTime(10, 0)); // next month, same day number
    book(receipt("5", "1", "50"));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(totals(), QList<double>({5, 50, 5, 50, 12, 120}));

    now = QDateTime(QDate(2012, 1, 1), QTime(0, 0, 1)); // new year's day
    book(receipt("0.005", "1", "0.015"));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(totals(), QList<double>({0.01, 0.02, 0.01, 0.02, 0.01, 0.02})) << "through round2";
    EXPECT_EQ(store.readDateTime(Stock::ReceiptDate), now);
}

TEST_F(ReceiptTest, AnUnknownKeyAddsAnItemWorthTheAmountBooked)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"), 10, 20);
    ReceiptInput input
        = receipt("3", "0.333", "1", QStringLiteral("电缆"), QStringLiteral("yjv-3x4"));
    input.alarm = QString();
    const auto outcome = book(input);
    EXPECT_TRUE(outcome.newItem);
    EXPECT_TRUE(outcome.backupTaken) << "an empty backup, as the item had no record yet";
    EXPECT_EQ(store.recordCount(), 2);
    goToItem(QStringLiteral("电缆"), QStringLiteral("yjv-3x4"));
    EXPECT_EQ(store.recordNumber(), 2);
    EXPECT_EQ(text(Stock::Unit), QStringLiteral("米"));
    EXPECT_EQ(number(Stock::Quantity), 3.0);
    EXPECT_EQ(number(Stock::UnitPrice), 0.333);
    EXPECT_EQ(number(Stock::Amount), 1.0) << "the 金额 box, as the totals, not 0.333 × 3";
    EXPECT_EQ(number(Stock::AlarmQuantity), 0.0);
    EXPECT_EQ(totals(), QList<double>({3, 1, 3, 1, 3, 1}));
    EXPECT_EQ(text(Stock::ReceiptHistory),
        QStringLiteral(
            "数量 3 单价 0.333 金额 1 入库后均价 0.333 数量 3 时间 2011年3月7日9时5分\r\n"));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(number(Stock::Quantity), 10.0) << "the other item is untouched";
}

TEST_F(ReceiptTest, StockBackToZeroKeepsTheLastPrice)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"), 10, 25);
    book(receipt("-10", "2.5", "-25"));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(number(Stock::Quantity), 0.0);
    EXPECT_EQ(number(Stock::Amount), 0.0);
    EXPECT_EQ(number(Stock::UnitPrice), 2.5);
    EXPECT_TRUE(text(Stock::ReceiptHistory).contains(QStringLiteral("入库后均价 2.5 数量 0")));

    // A receipt of nothing still stamps the date and writes a line.
    now = now.addDays(1);
    book(receipt("", "", ""));
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(store.readDateTime(Stock::ReceiptDate), now);
    EXPECT_EQ(number(Stock::ReceiptQuantity), 0.0);
    EXPECT_EQ(text(Stock::ReceiptHistory).count(QStringLiteral("\r\n")), 2);
}

TEST_F(ReceiptTest, BackupsHoldTheStateBeforeTheLatestReceipt)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"), 10, 20);
    book(receipt("5", "3", "15"));
    book(receipt("5", "3", "15"));
    const QString backup = ItemBackup::path(ItemBackup::receiptFolder(state.programDir),
        QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_TRUE(backup.endsWith(QStringLiteral("/进库备份/电缆YJV-3x4.zrb")));
    RecordStore reader;
    ASSERT_TRUE(reader.open(backup, QStringLiteral("xdgja")));
    ASSERT_EQ(reader.recordCount(), 1);
    EXPECT_EQ(reader.readNumber(Stock::Quantity), 15.0) << "the state after the first receipt";
    EXPECT_EQ(reader.readText(Stock::ReceiptHistory).count(QStringLiteral("\r\n")), 1);
    const QStringList left
        = QDir(ItemBackup::receiptFolder(state.programDir)).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList({"电缆YJV-3x4.edt", "电缆YJV-3x4.zrb"}));
}

TEST_F(ReceiptTest, AReceiptThatFailsLeavesTheBackupOfTheLastOneByteForByte)
{
    addItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"), 10, 20);
    book(receipt("5", "3", "15"));
    const QString backup = ItemBackup::path(ItemBackup::receiptFolder(state.programDir),
        QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    const auto bytes = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = bytes(backup);
    ASSERT_FALSE(before.isEmpty());

    store.closeAll();
    failUpdatesOfItem(state.path(Stock::fileName()), QStringLiteral("电缆"));
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    const Status s = bookReceipt(*store.current(), state.programDir, receipt("5", "3", "15"), now);
    EXPECT_FALSE(s);
    EXPECT_EQ(bytes(backup), before);
    EXPECT_EQ(
        QDir(ItemBackup::receiptFolder(state.programDir)).entryList(QDir::Files | QDir::Hidden),
        QStringList({"电缆YJV-3x4.edt", "电缆YJV-3x4.zrb"}))
        << "the staged copy is gone";
    goToItem(QStringLiteral("电缆"), QStringLiteral("YJV-3x4"));
    EXPECT_EQ(number(Stock::Quantity), 15.0);
}

TEST_F(ReceiptTest, NamesThatCannotBeFileNamesAreBackedUpUnderAnEncodedName)
{
    // Also our own temporary prefix (removed at every start) and a name too
    // long for the file system with its suffix (86 × 3 bytes).
    for (const QString &name : {QStringLiteral("阀/门"), QStringLiteral("*"), QStringLiteral("CON"),
             QStringLiteral(".."), QStringLiteral("~WH-阀"), QString(86, u'长')}) {
        addItem(name, QString(), 1, 1);
        const auto outcome = book(receipt("1", "1", "1", name, QString()));
        EXPECT_TRUE(outcome.backupTaken) << name.toStdString();
        goToItem(name, QString());
        EXPECT_EQ(number(Stock::Quantity), 2.0) << name.toStdString();
    }
    const QDir folder(ItemBackup::receiptFolder(state.programDir));
    EXPECT_EQ(folder.entryList({"~编码~*"}, QDir::Files | QDir::Hidden).size(), 12);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("阀"))));
}

TEST_F(ReceiptTest, ItemsWhoseNamesJoinAlikeShareOneBackup)
{
    addItem(QStringLiteral("AB"), QStringLiteral("C"), 1, 1);
    addItem(QStringLiteral("A"), QStringLiteral("BC"), 7, 7);
    book(receipt("1", "1", "1", QStringLiteral("AB"), QStringLiteral("C")));
    book(receipt("1", "1", "1", QStringLiteral("A"), QStringLiteral("BC")));
    RecordStore reader;
    ASSERT_TRUE(reader.open(
        ItemBackup::receiptFolder(state.programDir) + "/ABC.zrb", QStringLiteral("xdgja")));
    ASSERT_EQ(reader.recordCount(), 1);
    EXPECT_EQ(reader.readText(Stock::Name), QStringLiteral("A")) << "the latest receipt's item";
}

TEST(ItemBackupNames, OnlyNamesEveryPlatformTakes)
{
    for (const char *good : {"电缆YJV-3x4", "a.b", "CONSOLE", "com10", "名 字", "data", "qd"})
        EXPECT_TRUE(ItemBackup::isSafeFileName(QString::fromUtf8(good))) << good;
    for (const char *bad : {"", ".", "..", "a/b", "a\\b", "a:b", "a*", "a?", "\"a\"", "a<b", "a>b",
             "a|b", "end.", "end ", "CON", "con", "Nul.txt", "COM1", "lpt9.x", "tab\tname"})
        EXPECT_FALSE(ItemBackup::isSafeFileName(QString::fromUtf8(bad))) << bad;
    EXPECT_FALSE(ItemBackup::isSafeFileName(QString(300, u'长')));
    EXPECT_FALSE(ItemBackup::isSafeFileName(QString(84, u'长'))) << "252 bytes";
    EXPECT_TRUE(ItemBackup::isSafeFileName(QString(83, u'长'))) << "249 bytes";
    EXPECT_FALSE(ItemBackup::isSafeFileName(QStringLiteral("~wh-0123456789abcdef")));
    EXPECT_TRUE(ItemBackup::isSafeFileName(QStringLiteral("wh-1~")));
}

} // namespace
