#include "movement_fixture.h"

#include "common/clock.h"
#include "common/value_text.h"
#include "data/stock_layout.h"
#include "movements/item_window.h"
#include "support/disk_faults.h"
#include "support/modal_window.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class ItemWindowTest : public MovementTest
{
protected:
    void SetUp() override
    {
        MovementTest::SetUp();
        addItem(QStringLiteral("螺栓"), QStringLiteral("M8"), 100, 50);
        addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 3, 37.5);
        addItem(QStringLiteral("电缆"), QStringLiteral("YJV"), 7, 7); // a twin, never shown first
        addItem(QStringLiteral("开关"), QStringLiteral("K1"), 2, 5);
        EXPECT_TRUE(store.goTo(2));
        ASSERT_TRUE(store.write(Stock::AlarmQuantity, 4));
        store.closeAll();
        clock.set(now);
    }

    std::unique_ptr<ItemWindow> open(const QString &name, const QString &spec)
    {
        state.selectedItem = {name, spec};
        return std::make_unique<ItemWindow>(state, store, prompts, clock);
    }

    // Types into the box over what it held, by keys to whatever has the focus;
    // Chinese and full-width characters come from the input method.
    static void typeInto(ItemWindow &w, ItemWindow::Box which, const QString &text)
    {
        QTest::mouseClick(w.box(which), Qt::LeftButton);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        for (const QChar c : text) {
            QInputMethodEvent commit;
            commit.setCommitString(c);
            if (c.unicode() < 0x80)
                QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
            else
                QApplication::sendEvent(QApplication::focusWidget(), &commit);
        }
        ASSERT_EQ(w.box(which)->text(), text);
    }

    std::pair<double, qsizetype> quantityAndLines(int record)
    {
        EXPECT_TRUE(store.select(Stock::alias()) && store.goTo(record));
        return {number(Stock::Quantity), text(Stock::ReceiptHistory).count(u'\n')};
    }

    static QStringList shown(const ItemWindow &w)
    {
        QStringList texts;
        for (int i = 0; i < ItemWindow::BoxCount; ++i)
            texts << w.box(ItemWindow::Box(i))->text();
        return texts;
    }

    FixedClock clock;
};

TEST_F(ItemWindowTest, OpensOnTheClickedItemWithItsAmount)
{
    state.issueLines.append(IssueLine());
    state.pickedRows.append(5);
    const auto w = open(QStringLiteral("电缆"), QStringLiteral("YJV"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("澄州禾岭供电有限责任公司材料出库单系统"));
    EXPECT_EQ(shown(*w), QStringList({"电缆", "YJV", "个", "12.5", "3", "37.5", "4"}));
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(state.pickedRows.isEmpty());
    EXPECT_EQ(store.recordNumber(), 2) << "the first of two equal keys";
    const QStringList names = {"编辑框1", "编辑框7", "按钮1", "按钮2", "按钮3", "按钮4"};
    for (const QString &name : names)
        EXPECT_NE(w->findChild<QWidget *>(name), nullptr) << name.toStdString();
    EXPECT_EQ(w->addButton()->text(), QStringLiteral("添  加"));

    // Closing the window closes the stock file.
    EXPECT_TRUE(store.isOpen(Stock::alias()));
    const_cast<std::unique_ptr<ItemWindow> &>(w).reset();
    EXPECT_FALSE(store.isOpen(Stock::alias()));
}

TEST_F(ItemWindowTest, AnUnknownItemShowsOnlyItsKey)
{
    const auto w = open(QStringLiteral("新件"), QStringLiteral("N"));
    EXPECT_EQ(shown(*w), QStringList({"新件", "N", "", "", "", "", ""}));
}

TEST_F(ItemWindowTest, AmountFollowsPriceAndQuantity)
{
    const auto w = open(QString(), QString());
    w->box(ItemWindow::UnitPrice)->setText(QStringLiteral("12.5"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QString()) << "no quantity yet";
    w->box(ItemWindow::Quantity)->setText(QStringLiteral("4"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("50"));
    w->box(ItemWindow::Quantity)->setText(QStringLiteral("０．５"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("6.25"));
    w->box(ItemWindow::Quantity)->clear(); // a change of the quantity: 12.5 x 0
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("0"));
    w->box(ItemWindow::Amount)->setText(QStringLiteral("7"));
    w->box(ItemWindow::UnitPrice)->setText(QStringLiteral("99"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("7"))
        << "without a quantity the amount stays";
    w->box(ItemWindow::Quantity)->setText(QStringLiteral("abc"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QString()) << "no number, no amount";
}

TEST_F(ItemWindowTest, StepsOffBothEndsAndBack)
{
    const auto w = open(QStringLiteral("螺栓"), QStringLiteral("M8"));
    w->showNext();
    EXPECT_EQ(w->box(ItemWindow::Name)->text(), QStringLiteral("电缆"));
    w->showPrevious();
    EXPECT_TRUE(w->previousButton()->isEnabled()) << "the test looks at the place before the move";
    EXPECT_EQ(w->box(ItemWindow::Name)->text(), QStringLiteral("螺栓"));
    w->showPrevious();
    EXPECT_FALSE(w->previousButton()->isEnabled());
    EXPECT_EQ(shown(*w), QStringList({"", "", "", "0", "0", "0", "0"}));
    w->showNext();
    EXPECT_TRUE(w->previousButton()->isEnabled());
    EXPECT_EQ(w->box(ItemWindow::Name)->text(), QStringLiteral("螺栓"));

    for (int i = 0; i < 3; ++i)
        w->showNext();
    EXPECT_EQ(w->box(ItemWindow::Name)->text(), QStringLiteral("开关"));
    EXPECT_TRUE(w->nextButton()->isEnabled());
    w->showNext();
    EXPECT_FALSE(w->nextButton()->isEnabled());
    EXPECT_EQ(shown(*w), QStringList({"", "", "", "0", "0", "0", "0"}));
    w->showPrevious();
    EXPECT_TRUE(w->nextButton()->isEnabled());
    EXPECT_EQ(w->box(ItemWindow::Name)->text(), QStringLiteral("开关"));
}

TEST_F(ItemWindowTest, DeleteRemovesTheItemAndShowsTheOneBefore)
{
    const auto w = open(QStringLiteral("开关"), QStringLiteral("K1"));
    w->deleteShown(); // no answer is No
    EXPECT_EQ(prompts.shown().at(0).text,
        QStringLiteral("确定删除项目 开关 K1 吗？它的库存数量是 2 个。"));
    EXPECT_EQ(store.recordCount(), 4);
    prompts.clearShown();
    prompts.answer(true);
    w->deleteShown();
    EXPECT_TRUE(prompts.messages().value(0).startsWith(QStringLiteral("项目已删除\n")));
    EXPECT_EQ(store.recordCount(), 3);
    EXPECT_EQ(store.recordNumber(), 3);
    EXPECT_EQ(shown(*w), QStringList({"电缆", "YJV", "个", "1", "7", "7", "0"}));

    // Deleting the first item shows the place before the first record.
    EXPECT_TRUE(store.goTo(1));
    prompts.answer(true);
    w->deleteShown();
    EXPECT_EQ(store.recordCount(), 2);
    EXPECT_EQ(shown(*w), QStringList({"", "", "", "0", "0", "0", "0"}));

    // With no item shown there is nothing to delete, ask or report.
    prompts.clearShown();
    w->deleteShown();
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_EQ(store.recordCount(), 2);
}

TEST_F(ItemWindowTest, AReceiptIsBookedOncePerIntention)
{
    const auto w = open(QStringLiteral("电缆"), QStringLiteral("YJV")); // 3 at 12.5
    w->show();
    ASSERT_TRUE(activated(w.get()));
    const QString closing = QStringLiteral("\n\n确定入库吗？选“否”不入库。");
    // Untouched, 数量 holds the whole stock: asked, and No books nothing.
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("提醒询问："));
    EXPECT_EQ(prompts.shown()[0].text,
        QStringLiteral("数量栏的 3 是 电缆 YJV 现有的全部库存，不是输入的进库数量。") + closing);
    EXPECT_EQ(quantityAndLines(2), std::make_pair(3.0, qsizetype(0)));

    // Typed, it is booked once however often 添  加 is pressed; the boxes
    // then show the record as stored.
    typeInto(*w, ItemWindow::Quantity, QStringLiteral("2"));
    typeInto(*w, ItemWindow::UnitPrice, QStringLiteral("15"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("30"));
    prompts.clearShown();
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.messages(), QStringList({"添加成功返回主界面后刷新可显示"}));
    EXPECT_EQ(quantityAndLines(2), std::make_pair(5.0, qsizetype(1)));
    EXPECT_EQ(shown(*w), QStringList({"电缆", "YJV", "个", "13.5", "5", "67.5", "4"}));
    EXPECT_FALSE(w->addButton()->isEnabled());

    // The same quantity typed again is a new receipt.
    typeInto(*w, ItemWindow::Quantity, QStringLiteral("2"));
    EXPECT_TRUE(w->addButton()->isEnabled());
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    EXPECT_EQ(quantityAndLines(2), std::make_pair(7.0, qsizetype(2)));
    EXPECT_EQ(shown(*w), QStringList({"电缆", "YJV", "个", "13.5", "7", "94.5", "4"}));

    // A new price over the stock shown after the booking: the stock is asked.
    prompts.clearShown();
    typeInto(*w, ItemWindow::UnitPrice, QStringLiteral("14"));
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.shown().at(0).text,
        QStringLiteral("数量栏的 7 是 电缆 YJV 现有的全部库存，不是输入的进库数量。") + closing);
    EXPECT_EQ(quantityAndLines(2), std::make_pair(7.0, qsizetype(2)));
}

TEST_F(ItemWindowTest, NewKeysAndNegativesAreAskedAndLargeAmountsKeepTheirCents)
{
    const auto w = open(QStringLiteral("开关"), QStringLiteral("K1")); // 2 at 2.5
    w->show();
    ASSERT_TRUE(activated(w.get()));
    typeInto(*w, ItemWindow::Spec, QStringLiteral("K2"));
    typeInto(*w, ItemWindow::Quantity, QStringLiteral("-20"));
    QTest::mouseClick(w->addButton(), Qt::LeftButton); // No
    EXPECT_EQ(prompts.shown().at(0).text,
        QStringLiteral("库存中没有品名“开关”、规格型号“K2”的项目，将新建这个项目（数量 -20，金额 "
                       "-50）。\n数量栏的 -20 是负数，会减少库存数量。\n金额栏的 -50 是负数，会减少"
                       "库存金额。\n入库后 开关 K2 的库存数量是 -20，库存金额是 -50，低于零。\n\n"
                       "确定入库吗？选“否”不入库。"));
    EXPECT_EQ(store.recordCount(), 4);

    typeInto(*w, ItemWindow::Spec, QStringLiteral("K1"));
    typeInto(*w, ItemWindow::Quantity, QStringLiteral("-1"));
    prompts.clearShown();
    prompts.answer(true);
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    EXPECT_TRUE(prompts.shown().at(0).text.contains(
        QStringLiteral("\n入库后 开关 K1 的库存数量是 1，库存金额是 2.5。\n")));
    EXPECT_EQ(quantityAndLines(4).first, 1.0);

    // 10^11 and more: the box, the stored value and the totals keep the cents.
    typeInto(*w, ItemWindow::Spec, QStringLiteral("K3"));
    typeInto(*w, ItemWindow::UnitPrice, QStringLiteral("987654.32"));
    typeInto(*w, ItemWindow::Quantity, QStringLiteral("1234567"));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("1219325430879.44"));
    prompts.answer(true); // the new key
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    goToItem(QStringLiteral("开关"), QStringLiteral("K3"));
    for (const int f :
        {Stock::Amount, Stock::ReceiptAmount, Stock::MonthReceiptAmount, Stock::YearReceiptAmount})
        EXPECT_EQ(number(f), 1219325430879.44) << f;
    EXPECT_TRUE(text(Stock::ReceiptHistory).contains(QStringLiteral(" 金额 1219325430879.44 ")));
    EXPECT_EQ(w->box(ItemWindow::Amount)->text(), QStringLiteral("1219325430879.44"));
}

TEST_F(ItemWindowTest, AReceiptSavedBeforeTheDiskComplainedIsToldAsBooked)
{
    FolderSyncFault::install(); // before the window opens the stock file
    const auto w = open(QStringLiteral("开关"), QStringLiteral("K1"));
    w->box(ItemWindow::Quantity)->setText(QStringLiteral("3"));
    {
        FolderSyncFault::Armed fault;
        w->receive();
    }
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("入库已完成")))
        << prompts.messages()[0].toStdString();
    goToItem(QStringLiteral("开关"), QStringLiteral("K1"));
    EXPECT_EQ(number(Stock::Quantity), 5.0);
}

TEST_F(ItemWindowTest, SteppingToAnItemOfEqualTextsStillShowsItsOwnAmount)
{
    EXPECT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()));
    addItem(QStringLiteral("灯泡"), QStringLiteral("E27"), 2, 5); // 2.5 × 2, as 开关
    store.closeAll();
    const auto w = open(QStringLiteral("开关"), QStringLiteral("K1"));
    w->show();
    ASSERT_TRUE(activated(w.get()));
    QLineEdit *amount = w->box(ItemWindow::Amount);
    QTest::mouseClick(amount, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), amount);
    QTest::keyClick(amount, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("999"));
    ASSERT_EQ(amount->text(), QStringLiteral("999"));

    QTest::mouseClick(w->nextButton(), Qt::LeftButton);
    EXPECT_EQ(shown(*w), QStringList({"灯泡", "E27", "个", "2.5", "2", "5", "0"}));
    // Adding now books the item's own amount, not the one typed before (its
    // whole stock, untyped, is asked about first).
    prompts.answer(true);
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    goToItem(QStringLiteral("灯泡"), QStringLiteral("E27"));
    EXPECT_EQ(number(Stock::Amount), 10.0);
}

TEST_F(ItemWindowTest, AddBooksOnlyWholeNumbersAndNeedsAName)
{
    const auto w = open(QStringLiteral("开关"), QStringLiteral("K1")); // record 4: 2 at 2.5
    w->show();
    ASSERT_TRUE(activated(w.get()));
    const std::pair<QString, std::optional<double>> cases[] = {{"", 0}, {"abc", {}}, {"十", {}},
        {"12abc", {}}, {"1,234.5", 1234.5}, {"１２．５", 12.5}, {" 7 ", 7}};
    for (const auto &[typed, booked] : cases) {
        const auto [quantity, lines] = quantityAndLines(4);
        prompts.clearShown();
        typeInto(*w, ItemWindow::Quantity, typed);
        EXPECT_EQ(w->box(ItemWindow::Amount)->text(),
            booked ? numberText(round2(2.5 * *booked)) : QString());
        QTest::mouseClick(w->addButton(), Qt::LeftButton);
        EXPECT_EQ(prompts.messages().value(0),
            booked ? "添加成功返回主界面后刷新可显示" : "数量“" + typed + "”不是数字，未入库");
        EXPECT_EQ(quantityAndLines(4),
            std::make_pair(round2(quantity + booked.value_or(0)), lines + (booked ? 1 : 0)))
            << typed.toStdString();
    }
    typeInto(*w, ItemWindow::Name, QString());
    prompts.clearShown();
    QTest::mouseClick(w->addButton(), Qt::LeftButton);
    EXPECT_EQ(prompts.messages(), QStringList({"请填写品名，未入库"}));
    EXPECT_EQ(store.recordCount(), 4);
}

TEST_F(ItemWindowTest, OpensAndBooksOnTheRowUnderTheCursor)
{
    ASSERT_TRUE(store.open(state.path(Stock::fileName()), Stock::alias()) && store.goTo(3));
    state.selectedItem = {QStringLiteral("电缆"), QStringLiteral("YJV"), store.recordId()};
    store.closeAll();
    ItemWindow w(state, store, prompts, clock);
    EXPECT_EQ(shown(w), QStringList({"电缆", "YJV", "个", "1", "7", "7", "0"}));
    w.box(ItemWindow::Quantity)->setText(QStringLiteral("5"));
    QTest::mouseClick(w.addButton(), Qt::LeftButton);
    EXPECT_EQ(quantityAndLines(3).first, 12.0) << "the twin shown is booked";
    EXPECT_EQ(quantityAndLines(2).first, 3.0);
}

} // namespace
