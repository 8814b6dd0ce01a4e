#include "ledger/ledger.h"
#include "ledger/ledger_window.h"

#include "data/record_store.h"
#include "data/stock_layout.h"
#include "support/qt_print.h"

#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LedgerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Stock::createEmptyFile(dir.filePath("data.zrb")));
        ASSERT_TRUE(store.open(dir.filePath("data.zrb"), Stock::alias()));
    }

    void add(const QString &name, const QString &receipts, const QString &issues)
    {
        QVariantList values(Stock::fieldCount);
        values[Stock::Name - 1] = name;
        values[Stock::Spec - 1] = QStringLiteral("∠50×5");
        values[Stock::ReceiptHistory - 1] = receipts;
        values[Stock::IssueHistory - 1] = issues;
        ASSERT_TRUE(store.add(values));
    }

    qint64 idOf(const QString &name)
    {
        store.first();
        EXPECT_TRUE(store.findFirstEqual(Stock::Name, name, Stock::Spec, QStringLiteral("∠50×5")));
        return store.recordId();
    }

    QTemporaryDir dir;
    RecordStore store;
};

TEST_F(LedgerTest, ReceiptsThenIssuesUnderTheirHeadings)
{
    add(QStringLiteral("角钢"),
        QStringLiteral("数量 10 单价 5 金额 50 入库后均价 5 数量 10 时间 2011年3月7日9时5分\r\n"),
        QStringLiteral("数量 2 金额 10 部门 供电所 经手 张三  时间 2011年3月8日\r\n"));
    EXPECT_EQ(Ledger::text(*store.current(), QStringLiteral("角钢"), QStringLiteral("∠50×5")),
        QStringLiteral("以下是角钢进库记录:\r\n"
                       "数量 10 单价 5 金额 50 入库后均价 5 数量 10 时间 2011年3月7日9时5分\r\n"
                       "\r\n\r\n\r\n\r\n"
                       "以下是角钢出库记录:\r\n"
                       "数量 2 金额 10 部门 供电所 经手 张三  时间 2011年3月8日\r\n"));

    LedgerWindow window(
        Ledger::text(*store.current(), QStringLiteral("角钢"), QStringLiteral("∠50×5")),
        Ledger::title(QStringLiteral("角钢"), QStringLiteral("∠50×5")));
    const QStringList lines = window.textBox()->toPlainText().split(u'\n');
    ASSERT_GE(lines.size(), 7);
    EXPECT_EQ(lines[0], QStringLiteral("以下是角钢进库记录:"));
    EXPECT_EQ(lines[2], QString());
    EXPECT_EQ(lines[6], QStringLiteral("以下是角钢出库记录:"));
    EXPECT_TRUE(window.textBox()->isReadOnly());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("进出库簿 — 角钢 ∠50×5"));
    EXPECT_EQ(Ledger::title(QStringLiteral("角钢"), QString()), QStringLiteral("进出库簿 — 角钢"));
}

TEST_F(LedgerTest, QuietItemsUnknownItemsAndTwins)
{
    add(QStringLiteral("静"), QString(), QString());
    EXPECT_EQ(Ledger::text(*store.current(), QStringLiteral("静"), QStringLiteral("∠50×5")),
        QStringLiteral("以下是静进库记录:\r\n\r\n\r\n\r\n\r\n以下是静出库记录:\r\n"));
    EXPECT_EQ(
        Ledger::text(*store.current(), QStringLiteral("无"), QStringLiteral("∠50×5")), QString());
    EXPECT_EQ(Ledger::text(*store.current(), QStringLiteral("材  料  品  名"),
                  QStringLiteral("规  格  型  号")),
        QString())
        << "the header row's titles name no item";

    // An older bulk addition's first line has no line end, and the next
    // receipt follows on in the memo: shown, each line ends its line.
    add(QStringLiteral("双"), QStringLiteral("数量 1 单价 2 金额 2 2011年3月7日10时8分50秒"),
        QStringLiteral("a"));
    add(QStringLiteral("双"), QStringLiteral("数量 9 单价 1 金额 9 2011年3月7日"),
        QStringLiteral("b"));
    ASSERT_TRUE(store.goTo(3));
    const qint64 second = store.recordId();
    ASSERT_TRUE(store.goTo(2));
    ASSERT_TRUE(store.appendMemo(Stock::ReceiptHistory,
        QStringLiteral("数量 200 单价 2 金额 400 入库后均价 2 数量 201 时间 2011年3月8日\r\n")));
    const QString first
        = Ledger::text(*store.current(), QStringLiteral("双"), QStringLiteral("∠50×5"));
    EXPECT_TRUE(first.contains(
        QStringLiteral("进库记录:\r\n数量 1 单价 2 金额 2 2011年3月7日10时8分50秒\r\n"
                       "数量 200 单价 2 金额 400 入库后均价 2 数量 201 "
                       "时间 2011年3月8日\r\n\r\n")))
        << first.toStdString();
    EXPECT_TRUE(first.endsWith(QStringLiteral("出库记录:\r\na\r\n"))) << "no id: the first twin";

    // Of twins, the record under the list's cursor; an id that no longer
    // holds the key falls back to the first of the key.
    const QString other
        = Ledger::text(*store.current(), QStringLiteral("双"), QStringLiteral("∠50×5"), second);
    EXPECT_TRUE(
        other.contains(QStringLiteral("进库记录:\r\n数量 9 单价 1 金额 9 2011年3月7日\r\n\r\n")));
    EXPECT_TRUE(other.endsWith(QStringLiteral("出库记录:\r\nb\r\n")));
    EXPECT_EQ(Ledger::text(*store.current(), QStringLiteral("双"), QStringLiteral("∠50×5"),
                  idOf(QStringLiteral("静"))),
        first);
    EXPECT_EQ(Ledger::text(*store.current(), QStringLiteral("无"), QStringLiteral("∠50×5"), second),
        QString());

    // A line end stays where there is one, and the words of a line stay
    // together: only a date-time running into "数量 " is parted.
    EXPECT_EQ(
        Ledger::endedLines(QStringLiteral("数量 5 入库后均价 2 数量 7 时间 2011年3月7日\r\n")),
        QStringLiteral("数量 5 入库后均价 2 数量 7 时间 2011年3月7日\r\n"));
    EXPECT_EQ(Ledger::endedLines(QString()), QString());
}

} // namespace
