// The commands of the "编辑" and "参数" menus that open a window or undo a
// movement, run through the real main window with the mouse on the stock
// list: what each window opens on, where it opens, and that the list shows
// the stock file again once it has closed, with the picked lines gone.

#include "support/main_window_fixture.h"

#include "common/ini_file.h"
#include "data/stock_layout.h"
#include "issue/issue_note_window.h"
#include "issue/parameter_window.h"
#include "movements/item_window.h"
#include "support/cell_texts.h"
#include "support/qt_print.h"
#include "table/data_source.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class MainWindowCommandsTest : public StockWindowTest
{
protected:
    // The last item, changed by changeElsewhere().
    int watchedRow() const { return int(items.size()) + 1; }

    // Changes the last item's quantity through a connection of its own, as
    // another part of the program would. (Values only: the store keeps the
    // record order of a file it holds open.)
    void changeElsewhere()
    {
        ++changes;
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        EXPECT_TRUE(writer.goTo(int(items.size())));
        ASSERT_EQ(writer.readText(Stock::Name), items.last().name);
        ASSERT_TRUE(writer.write(Stock::Quantity, 1000 + changes));
    }
    // Whether the list shows the latest change made elsewhere.
    ::testing::AssertionResult showsLatestChange() const
    {
        const QString expected = QString::number(1000 + changes);
        const QString quantity = shownText(watchedRow(), 4);
        if (quantity == expected)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
            << "the list shows " << quantity.toStdString() << ", not " << expected.toStdString();
    }

    // Books a receipt of `quantity` for the item in `row` in the item window.
    void receive(int row, const QString &quantity)
    {
        click(row, 1);
        runModal(QStringLiteral("项目编辑"), [&](QWidget *modal) {
            auto *window = qobject_cast<ItemWindow *>(modal);
            ASSERT_NE(window, nullptr);
            ASSERT_EQ(window->box(ItemWindow::Name)->text(), items[row - 2].name);
            window->box(ItemWindow::Quantity)->setText(quantity);
            QTest::mouseClick(window->addButton(), Qt::LeftButton);
        });
    }

    // Books an issue of `quantity` of the item in `row` on the issue note,
    // the quantity typed into the note.
    void issue(int row, const QString &quantity)
    {
        prompts.clearShown();
        dragRows(row, row, 2); // off the cursor's cell, where the receipt left it
        ASSERT_EQ(pickedNames(), namesOfRows(row, row));
        runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
            auto *window = qobject_cast<IssueNoteWindow *>(modal);
            ASSERT_NE(window, nullptr);
            window->setPdfOutput(dir.filePath(QStringLiteral("出库单.pdf")));
            clickCell(window->grid(), 5, 3);
            QTest::keyClicks(QApplication::focusWidget(), quantity);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QApplication::processEvents(); // the editor commits after its key
            QTest::mouseClick(window->issueButton(), Qt::LeftButton);
        });
        ASSERT_TRUE(prompts.messages().isEmpty()) << prompts.messages().join(u'\n').toStdString();
    }

    int changes = 0;
};

TEST_F(MainWindowCommandsTest, TheIssuePreviewLaysOutThePickedLinesAndForgetsThemAfterwards)
{
    dragRows(6, 8);
    dragRows(3, 3);
    ASSERT_EQ(pickedNames(), namesOfRows(6, 8) + namesOfRows(3, 3));

    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        auto *window = qobject_cast<IssueNoteWindow *>(modal);
        ASSERT_NE(window, nullptr);
        const DataSource &note = window->note();
        // In the order picked, each proposing the item's whole stock.
        const int picked[] = {6, 7, 8, 3};
        for (int k = 0; k < 4; ++k) {
            const ListedItem &item = items[picked[k] - 2];
            SCOPED_TRACE(item.name.toStdString());
            EXPECT_TRUE(hasCellTexts(
                note, {{5 + k, 1, item.name}, {5 + k, 2, item.spec}, {5 + k, 4, u"个"}}));
            EXPECT_EQ(note.number(5 + k, 3), item.quantity);
            EXPECT_EQ(note.number(5 + k, 5), price);
        }
        EXPECT_TRUE(note.text(9, 1).isEmpty());
        changeElsewhere();
    });
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(state.pickedRows.isEmpty());
    EXPECT_TRUE(showsLatestChange()) << "the list was rebuilt";

    // The next note starts from nothing: the same rows can be picked again.
    dragRows(6, 7);
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        const DataSource &note = qobject_cast<IssueNoteWindow *>(modal)->note();
        EXPECT_EQ(note.text(5, 1), items[4].name);
        EXPECT_EQ(note.text(6, 1), items[5].name);
        EXPECT_TRUE(note.text(7, 1).isEmpty());
    });
}

TEST_F(MainWindowCommandsTest, ItemEditingOpensOnTheItemLastClicked)
{
    click(2, 2);
    click(6, 3);
    ASSERT_EQ(pickedNames(), namesOfRows(2, 2) + namesOfRows(6, 6))
        << "a click on a text column picks its row";

    runModal(QStringLiteral("项目编辑"), [&](QWidget *modal) {
        auto *window = qobject_cast<ItemWindow *>(modal);
        ASSERT_NE(window, nullptr);
        const auto box = [&](int n) {
            auto *edit = window->findChild<QLineEdit *>(QStringLiteral("编辑框%1").arg(n));
            return edit ? edit->text() : QStringLiteral("(no box)");
        };
        EXPECT_EQ(box(1), QStringLiteral("材料5"));
        EXPECT_EQ(box(2), QStringLiteral("型号-5"));
        EXPECT_EQ(box(3), QStringLiteral("个"));
        EXPECT_EQ(box(4), QStringLiteral("12.5"));
        EXPECT_EQ(box(5), QStringLiteral("15"));
        EXPECT_EQ(box(6), QStringLiteral("187.5"));
        EXPECT_EQ(box(7), QStringLiteral("10"));
        changeElsewhere();
    });
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(showsLatestChange()) << "the list was rebuilt";

    // A receipt booked in the window shows in the list once it has closed.
    receive(7, QStringLiteral("1"));
    EXPECT_EQ(shownText(7, 4), QStringLiteral("19"));
}

TEST_F(MainWindowCommandsTest, ParameterSettingsOpenTheParameterWindowAndHoldForTheNextNote)
{
    dragRows(2, 3);
    runModal(QStringLiteral("参数配置"), [&](QWidget *modal) {
        auto *window = qobject_cast<ParameterWindow *>(modal);
        ASSERT_NE(window, nullptr);
        window->edit(1)->setText(QStringLiteral("二号仓库"));
        QTest::mouseClick(window->okButton(), Qt::LeftButton);
        changeElsewhere();
    });
    EXPECT_EQ(prompts.messages(), QStringList {ParameterWindow::savedMessage()});
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(showsLatestChange()) << "the list was rebuilt";

    dragRows(8, 8);
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        const DataSource &note = qobject_cast<IssueNoteWindow *>(modal)->note();
        EXPECT_EQ(note.text(2, 1), QStringLiteral("仓库名称：二号仓库"));
        EXPECT_EQ(note.text(5, 1), items[6].name);
    });
}

TEST_F(MainWindowCommandsTest, UndoWithNothingSelectedOnlySaysSo)
{
    const QString before = shownText(watchedRow(), 4);
    changeElsewhere();
    trigger(QStringLiteral("取消进库"));
    trigger(QStringLiteral("取消出库"));
    EXPECT_EQ(
        prompts.messages(), QStringList({"请先选中要取消进库的项目", "请先选中要取消出库的项目"}));
    EXPECT_EQ(prompts.shown().size(), 2u) << "no question";
    EXPECT_EQ(shownText(watchedRow(), 4), before) << "no rebuild";

    trigger(QStringLiteral("刷新显示"));
    EXPECT_TRUE(showsLatestChange());
}

// Either undo asks first and rebuilds the list whatever the answer; after 是
// the list shows the stock without that movement, the later movement of the
// other kind kept (a receipt, then an issue of 1 on a note; an issue of 1,
// then a receipt).
TEST_F(MainWindowCommandsTest, UndoRefreshesTheListWhateverTheAnswer)
{
    const struct
    {
        const char *command;
        int row; // 材料9 (27 in stock) and 材料10 (30)
        int pickedBelow; // further rows of the block picked before the undo
        const char16_t *undone, *booked, *kept;
    } cases[] = {{"取消进库", 10, 1, u"26", u"30", u"此后的 1 次出库保留不动"},
        {"取消出库", 11, 2, u"34", u"33", u"此后的 1 次进库保留不动"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        if (c.row == 10) {
            receive(c.row, QStringLiteral("4")); // 27 -> 31
            issue(c.row, QStringLiteral("1"));
        } else {
            issue(c.row, QStringLiteral("1")); // 30 -> 29
            receive(c.row, QStringLiteral("4"));
        }
        ASSERT_EQ(shownText(c.row, 4), QString::fromUtf16(c.booked)) << "after the movements";
        for (const bool yes : {false, true}) {
            SCOPED_TRACE(yes ? "Yes" : "No");
            dragRows(c.row, c.row + c.pickedBelow);
            ASSERT_EQ(state.selectedItem.name, items[c.row - 2].name);
            changeElsewhere();
            prompts.clearShown();
            prompts.answer(yes);
            trigger(QString::fromUtf8(c.command));
            ASSERT_EQ(prompts.shown().size(), 1u);
            EXPECT_EQ(prompts.shown()[0].kind, QStringLiteral("question"));
            EXPECT_TRUE(prompts.shown()[0].text.contains(QString::fromUtf16(c.kept)));
            EXPECT_TRUE(state.issueLines.isEmpty());
            EXPECT_TRUE(showsLatestChange()) << "the list was rebuilt";
            EXPECT_EQ(shownText(c.row, 4), QString::fromUtf16(yes ? c.undone : c.booked));
        }
    }
}

struct GeometryCase
{
    int number; // ck<number>z, ck<number>d, ck<number>k, ck<number>g
    const char *caption;
    const char *className;
};

TEST_F(MainWindowCommandsTest, TheWindowsOpenWhereConfigPutsThemAndRememberWhereTheyWent)
{
    IniFile config(state.path(QStringLiteral("config.ini")));
    const auto stored = [&](int number) {
        const auto value = [&](char16_t suffix) {
            const QString key = QStringLiteral("ck%1").arg(number) + suffix;
            return config.read(key, key, QStringLiteral("-1")).toInt();
        };
        return QRect(value(u'z'), value(u'd'), value(u'k'), value(u'g'));
    };
    const GeometryCase cases[] = {{1, "项目编辑", "ItemWindow"}, {2, "开票预览", "IssueNoteWindow"},
        {3, "参数配置", "ParameterWindow"}};
    QRect finals[4];
    for (const GeometryCase &c : cases) {
        SCOPED_TRACE(c.caption);
        const QString prefix = QStringLiteral("ck%1").arg(c.number);
        const QRect placed(120 + c.number, 70 + c.number, 620 + c.number * 10, 500 + c.number);
        const int values[] = {placed.x(), placed.y(), placed.width(), placed.height()};
        for (int i = 0; i < 4; ++i) {
            const QString key = prefix + QStringLiteral("zdkg").at(i);
            ASSERT_TRUE(config.write(key, key, QString::number(values[i])));
        }

        // Moved and resized by the user: the frame as it then is gets stored.
        QRect frame;
        runModal(QString::fromUtf8(c.caption), [&](QWidget *modal) {
            EXPECT_STREQ(modal->metaObject()->className(), c.className);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(modal));
            EXPECT_EQ(modal->frameGeometry(), placed);
            modal->setGeometry(60 + c.number, 40, 640 + c.number * 10, 520);
            frame = modal->frameGeometry();
        });
        EXPECT_EQ(stored(c.number), frame);

        // Only moved: the size stays as stored.
        runModal(QString::fromUtf8(c.caption), [&](QWidget *modal) {
            ASSERT_TRUE(QTest::qWaitForWindowExposed(modal));
            EXPECT_EQ(modal->frameGeometry(), frame);
            modal->move(40 + c.number, 30);
        });
        finals[c.number] = QRect(QPoint(40 + c.number, 30), frame.size());
        EXPECT_EQ(stored(c.number), finals[c.number]);
    }
    // Each window kept to its own keys.
    for (int number = 1; number <= 3; ++number)
        EXPECT_EQ(stored(number), finals[number]) << "window " << number;
}

} // namespace
