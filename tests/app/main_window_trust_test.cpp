// The ordinary gestures of a storekeeper's day, done the way a hand does them
// (a click then typing, arrow keys, a quantity set to 0, a note that fails
// half-way, an undo afterwards), must never leave a wrong number on screen, in
// the stock file or in an undo. Mouse events go to whatever widget is under
// the mouse, keys to whatever widget has the focus.

#include "support/main_window_fixture.h"

#include "app/stock_list.h"
#include "common/value_text.h"
#include "data/stock_layout.h"
#include "issue/issue_note_window.h"
#include "ledger/ledger_window.h"
#include "movements/item_window.h"
#include "support/cell_texts.h"
#include "support/stock_faults.h"
#include "table/data_source.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <sqlite3.h>

namespace {

class MainWindowTrustTest : public StockWindowTest
{
protected:
    // The stock-file record of an item: quantity, value and issue history.
    struct Booked
    {
        double quantity = 0;
        double amount = 0;
        QString history;
    };
    Booked bookedOf(const QString &name) const
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
        for (reader.first(); !reader.atEnd(); reader.skip())
            if (reader.readText(Stock::Name) == name)
                return {reader.readNumber(Stock::Quantity), reader.readNumber(Stock::Amount),
                    reader.readText(Stock::IssueHistory)};
        ADD_FAILURE() << "no item " << name.toStdString();
        return {};
    }

    // In the open issue-note window: puts the quantity of line `row` by
    // clicking its cell and typing, then Enter.
    static void typeQuantity(IssueNoteWindow *note, int row, const QString &quantity)
    {
        clickCell(note->grid(), row, 3);
        QTest::keyClicks(QApplication::focusWidget(), quantity);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QApplication::processEvents(); // the editor commits after its key
    }

    // Picks rows, opens the note, lets `onNote` work in it (printing goes to
    // a PDF file), and closes it.
    void withNote(int fromRow, int toRow, const std::function<void(IssueNoteWindow *)> &onNote)
    {
        dragRows(fromRow, toRow);
        runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
            auto *note = qobject_cast<IssueNoteWindow *>(modal);
            ASSERT_NE(note, nullptr);
            note->setPdfOutput(pdf);
            onNote(note);
        });
    }

    // Issues through the note: the quantities typed into its lines from the
    // first on, then 出库.
    void issueThroughNote(int fromRow, int toRow, const QStringList &quantities)
    {
        withNote(fromRow, toRow, [&](IssueNoteWindow *note) {
            for (int k = 0; k < quantities.size(); ++k)
                typeQuantity(note, 5 + k, quantities[k]);
            QTest::mouseClick(note->issueButton(), Qt::LeftButton);
        });
    }

    // Puts a copy of the stock file in place whose 略超 has `quantity`, with
    // the commit count and size of the file it replaces, as a restore may.
    void replaceStockKeepingItsCount(double quantity)
    {
        const QString copy = dir.filePath(QStringLiteral("copy.zrb"));
        const QString copyMemos = dir.filePath(QStringLiteral("copy.edt"));
        const auto counter = [](const QString &path) {
            QFile file(path);
            EXPECT_TRUE(file.open(QIODevice::ReadOnly));
            return file.readAll().mid(24, 4);
        };
        store.closePath(stockPath());
        ASSERT_TRUE(QFile::copy(stockPath(), copy));
        ASSERT_TRUE(QFile::copy(dir.filePath(QStringLiteral("data.edt")), copyMemos));
        const QByteArray count = counter(stockPath());
        {
            RecordStore other;
            ASSERT_TRUE(other.open(copy, QStringLiteral("copy")))
                << other.lastError().toStdString();
            for (other.first(); !other.atEnd(); other.skip()) {
                if (other.readText(Stock::Name) == QStringLiteral("略超")) {
                    ASSERT_TRUE(other.write(Stock::Quantity, quantity));
                }
            }
        }
        ASSERT_NE(counter(copy), count);
        QFile file(copy);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        for (const qint64 at : {24, 92}) // the counter and the number it validates
            ASSERT_TRUE(file.seek(at) && file.write(count) == 4);
        file.close();
        ASSERT_EQ(QFileInfo(copy).size(), QFileInfo(stockPath()).size());
        // The memos are untouched: the file of the same pair stays.
        ASSERT_TRUE(QFile::remove(copyMemos));
        ASSERT_TRUE(QFile::remove(stockPath()) && QFile::rename(copy, stockPath()));
    }

    // In the item window on the item of `row`: `quantity` typed into 数量
    // after a click there, then 进库.
    void receive(int row, const QString &quantity)
    {
        showRow(row);
        click(row, 1);
        runModal(QStringLiteral("项目编辑"), [&](QWidget *modal) {
            auto *item = qobject_cast<ItemWindow *>(modal);
            ASSERT_NE(item, nullptr);
            QTest::mouseClick(item->box(ItemWindow::Quantity), Qt::LeftButton);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(QApplication::focusWidget(), quantity);
            QTest::mouseClick(item->addButton(), Qt::LeftButton);
        });
    }

    // The stock file sorted on 品名 with twins of 盘点 and 材料9 among the
    // items, and two records purged, so that record numbers are not ids.
    void sortWithTwins()
    {
        store.closePath(stockPath());
        const QString sorted = dir.filePath(QStringLiteral("sorted.zrb"));
        {
            RecordStore writer;
            ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
            for (const auto &[name, quantity] : {std::pair {QStringLiteral("盘点"), 3.0},
                     std::pair {QStringLiteral("材料9"), 8.0}}) {
                const auto item = std::find_if(items.begin(), items.end(),
                    [&](const ListedItem &i) { return i.name == name; });
                ASSERT_NE(item, items.end());
                ASSERT_TRUE(writer.findFirstEqual(Stock::Name, name, Stock::Spec, item->spec));
                QVariantList twin;
                for (int f = 1; f <= Stock::fieldCount; ++f)
                    twin << writer.read(f);
                twin[Stock::Quantity - 1] = quantity;
                ASSERT_TRUE(writer.add(twin));
            }
            ASSERT_TRUE(writer.sortTo(sorted, Stock::Name));
        }
        for (const QString &suffix : {QStringLiteral(".zrb"), QStringLiteral(".edt")}) {
            const QString target = dir.filePath(QStringLiteral("data") + suffix);
            ASSERT_TRUE(QFile::remove(target));
            ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("sorted") + suffix), target));
        }
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        ASSERT_TRUE(writer.goTo(3) && writer.deleteRecord() && writer.goTo(10)
            && writer.deleteRecord() && writer.purge());
    }

    // Scrolls a row into view, as the wheel would.
    void showRow(int row) { grid->scrollTo(grid->model()->index(row - 1, 0)); }

    // The rows of an item, in list order.
    QList<int> rowsOf(const QString &name) const
    {
        QList<int> rows;
        for (int r = 2; r <= window->stockTable().rowCount(); ++r)
            if (shownText(r, 1) == name)
                rows << r;
        return rows;
    }

    QString pdf = dir.filePath(QStringLiteral("note.pdf"));
};

TEST_F(MainWindowTrustTest, TheStockListTakesNoTypingAndShiftArrowKeysPickAfterAClick)
{
    EXPECT_EQ(QApplication::focusWidget(), grid) << "after the first refresh";
    // The storekeeper clicks a quantity and types over it.
    click(4, 4);
    typeKeys(QStringLiteral("777"));
    pressKey(Qt::Key_Return);
    pressKey(Qt::Key_F2);
    typeKeys(QStringLiteral("9"));
    pressKey(Qt::Key_Return);
    doubleClickCell(grid, 4, 4);
    typeKeys(QStringLiteral("8"));
    pressKey(Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(shownText(4, 4), QStringLiteral("5.001"));
    EXPECT_EQ(window->stockTable().text(4, 4), QStringLiteral("5.001"));
    EXPECT_EQ(QApplication::focusWidget(), grid) << "no editor took the keyboard";
    EXPECT_TRUE(grid->findChildren<QLineEdit *>().isEmpty());

    // The keyboard reaches the grid: Shift+arrow keys after a click pick
    // lines (plain ones only move the cursor).
    trigger(QStringLiteral("刷新显示"));
    click(4, 1);
    pressKey(Qt::Key_Down, Qt::ShiftModifier);
    pressKey(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(pickedNames(), namesOfRows(4, 6));
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        const DataSource &note = qobject_cast<IssueNoteWindow *>(modal)->note();
        EXPECT_EQ(note.text(5, 1), QStringLiteral("略超"));
        EXPECT_EQ(note.text(5, 3), QStringLiteral("5.001")) << "the stock, not what was typed";
    });
}

TEST_F(MainWindowTrustTest, AClickOnTheCellHoldingTheCursorSelectsItsRow)
{
    click(2, 1);
    ASSERT_EQ(state.selectedItem.name, QStringLiteral("零库存"));
    // Ctrl+Home takes the cursor to the header row; a click there gives the
    // column titles, whose ledger is empty.
    pressKey(Qt::Key_Home, Qt::ControlModifier);
    ASSERT_EQ(grid->cursorRow(), 1);
    click(1, 1);
    EXPECT_EQ(state.selectedItem.name, QStringLiteral("材  料  品  名"));
    runModal(QStringLiteral("进出库簿"), [](QWidget *modal) {
        auto *ledger = qobject_cast<LedgerWindow *>(modal);
        ASSERT_NE(ledger, nullptr);
        EXPECT_FALSE(ledger->textBox()->toPlainText().contains(QStringLiteral("供电所")))
            << "not the ledger of the item clicked before";
    });

    // A search that stopped on a header cell leaves the cursor there.
    click(3, 2);
    ASSERT_EQ(state.selectedItem.name, QStringLiteral("微超"));
    grid->setCursorCell(1, 2);
    click(1, 2);
    EXPECT_EQ(state.selectedItem.spec, QStringLiteral("规  格  型  号"));
    // And the cursor's own data cell selects its row, however often.
    click(5, 2);
    click(5, 2);
    EXPECT_EQ(state.selectedItem.name, QStringLiteral("盘点"));
}

TEST_F(MainWindowTrustTest, AQuantitySetToZeroOnTheNoteIsShownTotalledAndBookedAsZero)
{
    const Booked before = bookedOf(QStringLiteral("盘点"));
    withNote(5, 6, [&](IssueNoteWindow *note) {
        ASSERT_EQ(note->note().text(5, 6), QStringLiteral("90.63")) << "7.25 × 12.5";
        typeQuantity(note, 5, QStringLiteral("0"));
        EXPECT_EQ(note->note().text(5, 6), QStringLiteral("0"));
        EXPECT_EQ(note->note().text(14, 6), note->note().text(6, 6)) << "the total agrees";
        prompts.answer(true); // 材料5 goes to zero
        QTest::mouseClick(note->issueButton(), Qt::LeftButton);
        EXPECT_TRUE(QFile::exists(pdf)) << "booked and printed";
    });
    const Booked after = bookedOf(QStringLiteral("盘点"));
    EXPECT_EQ(after.quantity, before.quantity);
    EXPECT_EQ(after.amount, round2(before.amount)) << "the value is not wiped, only rounded";
    EXPECT_TRUE(after.history.startsWith(QStringLiteral("数量 0 金额 0.00 部门")));
    EXPECT_EQ(bookedOf(QStringLiteral("材料5")).quantity, 0.0) << "the other line, whole";
}

TEST_F(MainWindowTrustTest, ANoteThatFailsHalfWayLeavesTheLastRealIssueUndoable)
{
    // A real issue of 2 of 盘点 (7.25 -> 5.25), through the note.
    issueThroughNote(5, 5, {"2"});
    ASSERT_EQ(bookedOf(QStringLiteral("盘点")).quantity, 5.25);
    QFile::remove(pdf);

    // The next note books 盘点 first, then fails on 材料5.
    failUpdatesOfItem(stockPath(), QStringLiteral("材料5"));
    prompts.clearShown();
    withNote(5, 6, [&](IssueNoteWindow *note) {
        typeQuantity(note, 5, QStringLiteral("1"));
        prompts.answer(true); // 材料5 goes to zero
        QTest::mouseClick(note->issueButton(), Qt::LeftButton);
        EXPECT_FALSE(QFile::exists(pdf)) << "a failed note is not printed";
    });
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("出库失败")));
    EXPECT_EQ(bookedOf(QStringLiteral("盘点")).quantity, 5.25);
    healItem(stockPath());

    // Undo of the issue puts back the state before the last real issue.
    click(5, 1);
    prompts.answer(true);
    trigger(QStringLiteral("取消出库"));
    const Booked restored = bookedOf(QStringLiteral("盘点"));
    EXPECT_EQ(restored.quantity, 7.25);
    EXPECT_EQ(restored.amount, 7.25 * price);
    EXPECT_TRUE(restored.history.isEmpty());
    EXPECT_EQ(shownText(5, 4), QStringLiteral("7.25")) << "the list is refreshed";
}

TEST_F(MainWindowTrustTest, AnUndoRedrawsItsRowAsAFullRefreshWould)
{
    // 略超 (5.001 in stock, alarm 5) drops to 4 (stock is kept to two decimals)
    // and turns low.
    issueThroughNote(4, 4, {"1"});
    ASSERT_EQ(bookedOf(QStringLiteral("略超")).quantity, 4.0);
    ASSERT_EQ(window->windowTitle(), StockList::title(lowCount() + 1));
    dragRows(2, 3); // picked rows lose their marks with the undo
    click(4, 1);
    ASSERT_EQ(state.selectedItem.name, QStringLiteral("略超"));

    prompts.answer(true);
    const QSignalSpy rebuilt(&window->stockTable(), &DataSource::rowsAppended);
    trigger(QStringLiteral("取消出库"));
    EXPECT_EQ(rebuilt.count(), 0) << "one row redrawn, not the list rebuilt";
    EXPECT_EQ(shownText(4, 4), QStringLiteral("5.001"));
    EXPECT_EQ(window->windowTitle(), StockList::title(lowCount()));
    EXPECT_TRUE(state.issueLines.isEmpty());
    expectListAsBuilt();
}

TEST_F(MainWindowTrustTest, AnUndoWhileTheListShowsASpreadsheetShowsTheStockAgain)
{
    issueThroughNote(4, 4, {"1"});
    ASSERT_EQ(bookedOf(QStringLiteral("略超")).quantity, 4.0);

    // A spreadsheet of 24 items fills as many rows as the stock list (six
    // blank names end the reading); its third item is 略超.
    QString rows;
    for (int i = 1; i <= 24; ++i)
        rows += i == 3 ? QStringLiteral("3,略超,M5.001,个,99,1,99,0\r\n")
                       : QStringLiteral("%1,表内%1,,个,1,1,1,0\r\n").arg(i);
    readSpreadsheet(rows);
    ASSERT_EQ(window->stockTable().rowCount(), int(items.size()) + 1);
    ASSERT_EQ(shownText(2, 1), QStringLiteral("表内1"));

    click(4, 1);
    ASSERT_EQ(state.selectedItem.name, QStringLiteral("略超"));
    prompts.answer(true);
    trigger(QStringLiteral("取消出库"));
    EXPECT_EQ(bookedOf(QStringLiteral("略超")).quantity, 5.001);
    // The whole stock again, not the spreadsheet with one stock row in it.
    EXPECT_EQ(shownText(2, 1), QStringLiteral("零库存"));
    expectListAsBuilt();
}

// A stock file from elsewhere may hold bytes the program never writes: a
// name that starts with a byte-order mark. The list shows it as every record
// read (the item window, the ledger) gives it.
TEST_F(MainWindowTrustTest, ANameStoredWithAByteOrderMarkIsListedAsARecordReadGivesIt)
{
    store.closePath(stockPath());
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(stockPath().toUtf8().constData(), &db), SQLITE_OK);
    const int rc = sqlite3_exec(db,
        "UPDATE records SET c1=CAST(X'EFBBBF' || CAST(c1 AS BLOB) AS TEXT) WHERE c1='盘点'",
        nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);

    trigger(QStringLiteral("刷新显示"));
    RecordStore reader;
    ASSERT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
    ASSERT_TRUE(reader.goTo(4));
    EXPECT_EQ(shownText(5, 1), reader.readText(Stock::Name));
    EXPECT_EQ(shownText(5, 1), QStringLiteral("盘点"));
    expectListAsBuilt();
}

TEST_F(MainWindowTrustTest, AWindowThatChangedNothingLeavesTheListABuildWouldShowWithoutAScan)
{
    dragRows(2, 3);
    click(2, 1);
    prompts.answer(QStringLiteral("略超"));
    trigger(QStringLiteral("项目查找"));
    window->editMenu()->hide();
    ASSERT_EQ(grid->cursorRow(), 4);
    ASSERT_EQ(window->stockTable().format(4, 1).textColor, rgbColor(255, 255, 0)) << "found";

    const QSignalSpy rebuilt(&window->stockTable(), &DataSource::rowsAppended);
    runModal(QStringLiteral("进出库簿"),
        [](QWidget *modal) { ASSERT_NE(qobject_cast<LedgerWindow *>(modal), nullptr); });
    trigger(QStringLiteral("刷新显示"));
    EXPECT_EQ(rebuilt.count(), 0) << "neither the file nor the list changed: no scan";
    EXPECT_EQ(grid->cursorRow(), 4) << "the cursor stays on its row";
    EXPECT_EQ(state.selectedItem.name, QStringLiteral("略超"));
    EXPECT_TRUE(state.issueLines.isEmpty());
    EXPECT_TRUE(rowDrawnIn(2, StockList::lowStockColor)) << "no longer picked, no longer marked";
    expectListAsBuilt();

    // A change behind the program's back that keeps the commit count and the
    // size (a file put in place whole) is still read.
    replaceStockKeepingItsCount(4.5);
    trigger(QStringLiteral("刷新显示"));
    EXPECT_EQ(rebuilt.count(), 1);
    EXPECT_EQ(shownText(4, 4), QStringLiteral("4.5"));
    EXPECT_EQ(window->windowTitle(), StockList::title(lowCount() + 1)) << "略超 is low now";
    expectListAsBuilt();
}

// After a receipt, an issue and an undo the list shows, cell for cell, what a
// full read of the stock file shows, though only the booked rows are read
// again: in a file sorted on 品名, with records purged and with twins.
TEST_F(MainWindowTrustTest, BookingsRedrawTheirRowsAsAFullReadOfASortedFileWithTwins)
{
    sortWithTwins();
    trigger(QStringLiteral("刷新显示"));
    expectListAsBuilt();
    const QList<int> twins = rowsOf(QStringLiteral("盘点"));
    ASSERT_EQ(twins.size(), 2);
    ASSERT_EQ(shownText(twins[1], 4), QStringLiteral("3"));
    const QList<int> nines = rowsOf(QStringLiteral("材料9"));
    ASSERT_EQ(nines.size(), 2);
    const QSignalSpy rebuilt(&window->stockTable(), &DataSource::rowsAppended);

    // The second 盘点 receives 4.5: its row alone changes.
    receive(twins[1], QStringLiteral("4.5"));
    EXPECT_EQ(shownText(twins[1], 4), QStringLiteral("7.5"));
    EXPECT_EQ(shownText(twins[0], 4), QStringLiteral("7.25"));
    expectListAsBuilt();

    // One note: 1 of the first 材料9, 1 of 略超, which turns low, and 2 of
    // the first 盘点; the three rows were picked and lose their marks.
    const int slightlyOver = rowsOf(QStringLiteral("略超")).value(0);
    for (const int row : {nines[0], slightlyOver}) {
        showRow(row);
        dragRows(row, row);
    }
    showRow(twins[0]);
    issueThroughNote(twins[0], twins[0], {"1", "1", "2"});
    EXPECT_TRUE(hasCellTexts(
        shownCells(), {{twins[0], 4, u"5.25"}, {twins[1], 4, u"7.5"}, {nines[0], 4, u"26"}}));
    EXPECT_TRUE(rowDrawnIn(slightlyOver, StockList::lowStockColor));
    expectListAsBuilt();

    // 取消进库 of the second 盘点 gives it its 3 back.
    showRow(twins[1]);
    click(twins[1], 1);
    prompts.answer(true);
    trigger(QStringLiteral("取消进库"));
    EXPECT_EQ(shownText(twins[1], 4), QStringLiteral("3"));
    expectListAsBuilt();
    EXPECT_EQ(rebuilt.count(), 0) << "no booking made the list read the whole file";
}

} // namespace
