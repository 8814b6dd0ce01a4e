// Picking issue lines and choosing the item in the stock list as the
// storekeeper does, with the mouse and the keys, and adding a spreadsheet's
// rows: each row is picked once, the marks are the picked rows, the commands
// act on the cursor's row, and only an imported list is added, read whole.

#include "support/main_window_fixture.h"

#include "data/stock_layout.h"
#include "issue/issue_note_window.h"
#include "ledger/ledger_window.h"
#include "movements/item_window.h"
#include "support/modal_window.h"
#include "table/data_source.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

namespace {

class MainWindowPickingTest : public StockWindowTest
{
protected:
    static constexpr quint32 yellow = rgbColor(255, 255, 0);

    qint64 idOfRecord(int recordNumber) const
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
        EXPECT_TRUE(reader.goTo(recordNumber));
        return reader.recordId();
    }
    int recordsNamed(const QString &name) const
    {
        RecordStore reader;
        EXPECT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
        int n = 0;
        for (reader.first(); !reader.atEnd(); reader.skip())
            n += reader.readText(Stock::Name) == name;
        return n;
    }
    void ctrlClick(int row, int column)
    {
        const auto [widget, point] = spot(row, column);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::ControlModifier, point);
    }
    // Reads items (rows from spreadsheet row 3 on) into the list.
    void import(const QString &rows)
    {
        readSpreadsheet(rows);
        ASSERT_TRUE(state.listShowsImport);
    }
};

TEST_F(MainWindowPickingTest, ARowIsPickedOnceWhateverTheGestureAndMarkedWhilePicked)
{
    dragRows(2, 4);
    click(3, 1); // to look at it
    EXPECT_EQ(pickedNames(), namesOfRows(2, 4));
    EXPECT_EQ(window->pickedStatus()->text(), QStringLiteral("已选 3/9 行"));
    for (const Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_PageDown,
             Qt::Key_Tab, Qt::Key_End, Qt::Key_Home, Qt::Key_PageUp})
        pressKey(key); // looking about never picks
    ASSERT_EQ(pickedNames(), namesOfRows(2, 4));
    click(5, 1);
    pressKey(Qt::Key_Down, Qt::ShiftModifier); // rows 5 and 6
    pressKey(Qt::Key_Up); // row 5 alone
    ASSERT_EQ(pickedNames(), namesOfRows(2, 6));
    EXPECT_EQ(window->pickedStatus()->text(), QStringLiteral("已选 5/9 行"));
    for (int r = 2; r <= 6; ++r) {
        EXPECT_TRUE(rowDrawnIn(r, yellow)) << r;
        EXPECT_EQ(state.issueLines[r - 2].recordId, idOfRecord(r - 1)) << r;
    }

    // A wrong line is taken off again: Ctrl+click toggles, Delete un-picks.
    ctrlClick(3, 2);
    EXPECT_EQ(state.pickedRows, QList<int>({2, 4, 5, 6}));
    EXPECT_TRUE(rowDrawnIn(3, StockList::lowStockColor)) << "its own colour again";
    EXPECT_EQ(window->stockTable().format(3, 1).background, CellFormat::white);
    ctrlClick(3, 1);
    click(4, 2);
    pressKey(Qt::Key_Delete);
    EXPECT_EQ(state.pickedRows, QList<int>({2, 5, 6, 3}));
    EXPECT_EQ(pickedNames(), namesOfRows(2, 2) + namesOfRows(5, 6) + namesOfRows(3, 3));
    EXPECT_TRUE(rowDrawnIn(4, CellFormat::black));
    EXPECT_EQ(window->pickedStatus()->text(), QStringLiteral("已选 4/9 行"));

    // Nine lines fill the note; a tenth pick is told, by whatever gesture.
    dragRows(7, 11);
    const QStringList full {StockList::fullNoteMessage()};
    prompts.clearShown();
    click(12, 1);
    EXPECT_EQ(prompts.messages(), full);
    ctrlClick(13, 1);
    EXPECT_EQ(prompts.messages(), full + full);
    dragRows(12, 13);
    EXPECT_EQ(prompts.messages(), full + full + full);
    EXPECT_EQ(window->pickedStatus()->text(), QStringLiteral("已选 9/9 行"));
    EXPECT_FALSE(rowDrawnIn(12, yellow));
    click(5, 1);
    pressKey(Qt::Key_Delete);
    prompts.clearShown();
    click(12, 1);
    EXPECT_TRUE(prompts.messages().isEmpty());
    EXPECT_EQ(state.pickedRows.last(), 12);
    ASSERT_EQ(state.issueLines.size(), 9);
    EXPECT_EQ(state.issueLines.last().recordId, idOfRecord(11));

    const QList<int> picked = state.pickedRows;
    runModal(QStringLiteral("开票预览"), [&](QWidget *modal) {
        const DataSource &note = qobject_cast<IssueNoteWindow *>(modal)->note();
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(note.text(5 + k, 1), items[picked[k] - 2].name) << "in the order picked";
    });
    // The lines went to the note: no row stays marked.
    for (int r = 2; r <= 12; ++r)
        EXPECT_FALSE(rowDrawnIn(r, yellow)) << r;
    EXPECT_EQ(window->stockTable().format(5, 1).background, CellFormat::white);
}

TEST_F(MainWindowPickingTest, AClickOrDragOnTheCursorsOwnRowAfterARefreshPicksIt)
{
    click(8, 1);
    trigger(QStringLiteral("刷新显示"));
    ASSERT_EQ(grid->cursorRow(), 8);
    ASSERT_TRUE(state.issueLines.isEmpty());
    click(8, 1);
    EXPECT_EQ(pickedNames(), namesOfRows(8, 8));
    EXPECT_EQ(window->pickedStatus()->text(), QStringLiteral("已选 1/9 行"));
    trigger(QStringLiteral("刷新显示"));
    dragRows(8, 9);
    EXPECT_EQ(pickedNames(), namesOfRows(8, 9));
}

TEST_F(MainWindowPickingTest, TheCommandsActOnTheRowUnderTheCursor)
{
    click(5, 1); // 盘点
    pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Down); // 材料6
    EXPECT_EQ(state.selectedItem.name, items[5].name);
    EXPECT_EQ(state.selectedItem.recordId, idOfRecord(6));
    runModal(QStringLiteral("项目编辑"), [&](QWidget *modal) {
        EXPECT_EQ(qobject_cast<ItemWindow *>(modal)->box(ItemWindow::Name)->text(), items[5].name);
    });
    // The list was refreshed; the cursor and its item stayed.
    EXPECT_EQ(grid->cursorRow(), 7);
    runModal(QStringLiteral("进出库簿"), [&](QWidget *modal) {
        EXPECT_TRUE(qobject_cast<LedgerWindow *>(modal)->textBox()->toPlainText().startsWith(
            QStringLiteral("以下是%1进库记录").arg(items[5].name)));
    });
    ASSERT_TRUE(activated(window.get()));

    pressKey(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(state.selectedItem.name, items.last().name);
    EXPECT_EQ(state.selectedItem.recordId, idOfRecord(int(items.size())));
    pressKey(Qt::Key_Home, Qt::ControlModifier); // the header row: no item
    prompts.answer(QStringLiteral("略超"));
    trigger(QStringLiteral("项目查找"));
    window->editMenu()->hide();
    EXPECT_EQ(state.selectedItem.name, QStringLiteral("略超"));
    EXPECT_EQ(state.selectedItem.recordId, idOfRecord(3));
}

TEST_F(MainWindowPickingTest, OnlyAnImportedListIsAddedAndItsTwinsAreAskedAbout)
{
    trigger(QStringLiteral("加入数据库"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("从电子表读")));
    EXPECT_EQ(recordsNamed(QStringLiteral("盘点")), 1) << "the stock list is not added again";

    // No leaves the twins out, Yes adds them as records of their own.
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        import(QStringLiteral("1,新件%1,A,个,1,1,1,0\r\n2,盘点,Φ20,个,2,3,6,0\r\n").arg(int(yes)));
        prompts.clearShown();
        prompts.answer(yes);
        trigger(QStringLiteral("加入数据库"));
        ASSERT_EQ(prompts.shown().size(), 3u) << "the twins, opening stock or receipt, done";
        EXPECT_TRUE(prompts.shown()[0].text.contains(QStringLiteral("第 3 行 盘点 Φ20")));
        EXPECT_FALSE(prompts.shown()[0].text.contains(QStringLiteral("新件"))) << "no twin";
        EXPECT_EQ(prompts.messages(), QStringList {QStringLiteral("添加完毕")});
        EXPECT_EQ(recordsNamed(QStringLiteral("盘点")), yes ? 2 : 1);
        EXPECT_EQ(recordsNamed(QStringLiteral("新件%1").arg(int(yes))), 1);
    }
}

TEST_F(MainWindowPickingTest, NoNoteIsMadeOfAnImportedSheet)
{
    import(QStringLiteral("1,盘点,Φ20,个,2000,1,2000,0\r\n"));
    click(2, 1);
    ASSERT_EQ(state.issueLines.size(), 1);
    prompts.clearShown();
    QTimer::singleShot(0, [] {
        if (QWidget *note = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "a note of the sheet was opened";
            note->close();
        }
    });
    trigger(QStringLiteral("开票预览"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("“开票预览”只开库存中的材料")));
    EXPECT_TRUE(state.listShowsImport) << "the sheet stays for 加入数据库";
    EXPECT_EQ(stockOf(QStringLiteral("盘点")), items[3].quantity);
}

TEST_F(MainWindowPickingTest, ImportedNumbersAreBookedWholeOrNotAtAll)
{
    import(QStringLiteral("1,电缆,YJV,米,\"1,234.5\",2,\"2,469.00\",１０\r\n"
                          "2,螺栓,M10,个,12abc,1,12,0\r\n"));
    prompts.clearShown();
    trigger(QStringLiteral("加入数据库"));
    ASSERT_EQ(prompts.messages().size(), 1);
    EXPECT_TRUE(prompts.messages()[0].contains(QStringLiteral("第 3 行 螺栓：库存数量“12abc”")))
        << prompts.messages()[0].toStdString();
    EXPECT_EQ(recordsNamed(QStringLiteral("电缆")), 0) << "nothing added";

    import(QStringLiteral("1,电缆,YJV,米,\"1,234.5\",2,\"2,469.00\",１０\r\n"));
    trigger(QStringLiteral("加入数据库"));
    RecordStore reader;
    ASSERT_TRUE(reader.open(stockPath(), QStringLiteral("r")));
    ASSERT_TRUE(reader.goTo(int(items.size()) + 1));
    EXPECT_EQ(reader.readNumber(Stock::Quantity), 1234.5);
    EXPECT_EQ(reader.readNumber(Stock::Amount), 2469.0);
    EXPECT_EQ(reader.readNumber(Stock::AlarmQuantity), 10.0);
}

} // namespace
