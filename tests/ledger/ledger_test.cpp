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

    // An older bulk addition's first line has no line end, so the next
    // receipt follows on in the memo: shown, every line ends its line.
    add(QStringLiteral("双"), QStringLiteral("数量 1 单价 2 金额 2 2011年3月7日"),
        QStringLiteral("a"));
    add(QStringLiteral("双"), QStringLiteral("second"), QStringLiteral("b"));
    store.last();
    ASSERT_TRUE(store.goTo(2));
    ASSERT_TRUE(store.appendMemo(
        Stock::ReceiptHistory, QStringLiteral("数量 5 单价 2 入库后均价 2 数量 6 时间 8日\r\n")));
    const QString text
        = Ledger::text(*store.current(), QStringLiteral("双"), QStringLiteral("∠50×5"));
    EXPECT_TRUE(text.contains(QStringLiteral(
        "数量 1 单价 2 金额 2 2011年3月7日\r\n数量 5 单价 2 入库后均价 2 数量 6 时间 8日\r\n")));
    EXPECT_TRUE(text.endsWith(QStringLiteral("出库记录:\r\na\r\n")))
        << "the first of two equal keys";
    // The id of a record of another key (静): the first of the key.
    ASSERT_TRUE(store.goTo(1));
    const qint64 quiet = store.recordId();
    EXPECT_EQ(
        Ledger::text(*store.current(), QStringLiteral("双"), QStringLiteral("∠50×5"), quiet), text);
}

} // namespace
