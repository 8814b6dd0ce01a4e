// The commands of the "编辑" and "统计" menus that open windows of their own:
// each is run through the real main window, and the window it opens is read
// and closed from inside its modal loop.

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/startup.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "ledger/ledger_window.h"
#include "support/cell_texts.h"
#include "support/disk_faults.h"
#include "support/main_window_fixture.h"
#include "support/modal_window.h"
#include "support/qt_print.h"
#include "support/reader_threads_param.h"
#include "support/record_files.h"
#include "table/data_source.h"
#include "tableeditor/query_table.h"
#include "tableeditor/table_editor_window.h"
#include "workbook/misbehaving_child.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <csignal>
#endif

namespace {

// Two items of a spreadsheet as the warehouse keeps it.
const QString twoItems = QStringLiteral("1,接地线,TJ-35,米,40,2.5,100,10\r\n"
                                        "2,扎带,4x200,包,3,8,24,5\r\n");

class MainCommandsTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        clock.set(QDateTime(QDate(2011, 3, 7), QTime(16, 0)));
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        const QDateTime today = clock.now();
        for (const auto &[name, issued] : {std::pair {"今天出库", today.addSecs(-600)},
                 std::pair {"昨天出库", today.addDays(-1)}, std::pair {"从未出库", QDateTime()}}) {
            QVariantList values(Stock::fieldCount);
            values[Stock::Name - 1] = QString::fromUtf8(name);
            values[Stock::Spec - 1] = QStringLiteral("A");
            values[Stock::IssueQuantity - 1] = 2;
            values[Stock::IssueAmount - 1] = 25.5;
            values[Stock::MonthIssueAmount - 1] = 100;
            values[Stock::IssueDate - 1] = issued;
            values[Stock::IssueHistory - 1] = QStringLiteral("数量 2 金额 25.5\r\n");
            ASSERT_TRUE(writer.add(values));
        }
        writer.closeAll();
        makeWindow(true);
    }

    // Runs a command whose window is modal; `inspect` sees that window and
    // closes it.
    void runModal(const QString &caption, const std::function<void(QWidget *)> &inspect)
    {
        runModalWindow(
            caption, [&] { window->action(caption)->trigger(); }, inspect);
    }

    // The backups of the folder by name, each with the records it holds;
    // "(no companion)" marks a record file without its .edt.
    QStringList backups() const
    {
        QStringList result;
        const QDir folder(backupFolder());
        for (const QString &name : folder.entryList({QStringLiteral("*.zrb")}, QDir::Files)) {
            const QString path = folder.filePath(name);
            result << name + u' ' + QString::number(recordsIn(path))
                    + (QFile::exists(RecordStore::companionPath(path))
                            ? QString()
                            : QStringLiteral(" (no companion)"));
        }
        return result;
    }
};

TEST_F(MainCommandsTest, StatisticsOpenTheTableEditorOnTheirResult)
{
    for (const char *caption :
        {"本日出库", "本月出库", "本年出库", "本日进库", "本月进库", "本年进库"})
        EXPECT_TRUE(window->action(QString::fromUtf8(caption))->isEnabled()) << caption;

    runModal(QStringLiteral("本月出库"), [](QWidget *modal) {
        auto *editor = qobject_cast<TableEditorWindow *>(modal);
        ASSERT_NE(editor, nullptr);
        EXPECT_EQ(editor->windowTitle(), QStringLiteral("本月出库 2011年3月"));
        const DataSource &table = editor->table();
        ASSERT_EQ(table.rowCount(), 4) << "field names, two items, the total";
        EXPECT_TRUE(hasCellTexts(table,
            {{1, 6, u"本月出库金额"}, {2, 1, u"今天出库"}, {3, 1, u"昨天出库"},
                {4, 1, u"合      计"}, {4, 6, u"200"}}));
    });
    runModal(QStringLiteral("本年进库"),
        [](QWidget *modal) { EXPECT_EQ(modal->windowTitle(), QStringLiteral("本年进库 2011年")); });
    runModal(QStringLiteral("本日出库"), [](QWidget *modal) {
        EXPECT_EQ(modal->windowTitle(), QStringLiteral("本日出库 2011年3月7日"));
        const DataSource &table = qobject_cast<TableEditorWindow *>(modal)->table();
        ASSERT_EQ(table.rowCount(), 3);
        EXPECT_EQ(table.text(2, 5), QStringLiteral("2"));
        EXPECT_EQ(table.text(3, 6), QStringLiteral("25.5"));
    });
    EXPECT_EQ(store.currentAlias(), Stock::alias()) << "the stock file is current again";
    EXPECT_EQ(window->stockTable().rowCount(), 4) << "the list was rebuilt";
}

class StatisticsThreadsTest : public ReaderThreadsParam, public MainCommandsTest
{
};

TEST_P(StatisticsThreadsTest, StatisticsShowTheirResultFileCellForCell)
{
    // Twins, a deleted record, and values another program stored.
    RecordStore writer;
    ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
    ASSERT_TRUE(writer.goTo(1));
    QVariantList twin;
    for (int f = 1; f <= Stock::fieldCount; ++f)
        twin << writer.read(f);
    ASSERT_TRUE(writer.add(twin));
    ASSERT_TRUE(writer.add(twin));
    ASSERT_TRUE(writer.deleteRecord());
    writer.closeAll();
    execSql(stockPath(),
        QStringLiteral("UPDATE records SET c5=0.1+0.2, c17=-1e300, c16=NULL WHERE id=1;"
                       "UPDATE records SET c1=CAST(X'EFBBBF41' AS TEXT), c8='甲' WHERE id=2"));
    window->action(QStringLiteral("刷新显示"))->trigger();

    for (const char *caption :
        {"本日出库", "本月出库", "本年出库", "本日进库", "本月进库", "本年进库"}) {
        runModal(QString::fromUtf8(caption), [&](QWidget *modal) {
            const DataSource &shown = qobject_cast<TableEditorWindow *>(modal)->table();
            RecordStore reader;
            DataSource fromFile;
            ASSERT_TRUE(QueryTable::load(fromFile, reader, state.path(QStringLiteral("qd.zrb"))));
            ASSERT_EQ(shown.rowCount(), fromFile.rowCount()) << caption;
            ASSERT_EQ(shown.columnCount(), fromFile.columnCount()) << caption;
            for (int r = 1; r <= shown.rowCount(); ++r)
                for (int c = 1; c <= shown.columnCount(); ++c)
                    EXPECT_EQ(shown.text(r, c), fromFile.text(r, c))
                        << caption << " row " << r << " column " << c;
        });
    }
}

INSTANTIATE_READER_THREADS(StatisticsThreadsTest);

TEST_F(MainCommandsTest, TheLedgerShowsTheHistoryOfTheRowUnderTheCursor)
{
    window->action(QStringLiteral("进出库簿"))->trigger();
    EXPECT_EQ(prompts.messages(), QStringList({"请先选中要查阅的项目"}));

    state.selectedItem = {QStringLiteral("昨天出库"), QStringLiteral("A")};
    runModal(QStringLiteral("进出库簿"), [](QWidget *modal) {
        auto *ledger = qobject_cast<LedgerWindow *>(modal);
        ASSERT_NE(ledger, nullptr);
        EXPECT_EQ(ledger->textBox()->toPlainText(),
            QStringLiteral("以下是昨天出库进库记录:\n\n\n\n\n以下是昨天出库出库记录:\n数量 2 "
                           "金额 25.5\n"));
        EXPECT_EQ(ledger->windowTitle(), QStringLiteral("进出库簿 — 昨天出库 A"));
    });

    // An older twin (its opening entry unended), the cursor put on it by keys.
    store.closePath(stockPath());
    QVariantList twin(Stock::fieldCount);
    twin[Stock::Name - 1] = QStringLiteral("昨天出库");
    twin[Stock::Spec - 1] = QStringLiteral("A");
    twin[Stock::ReceiptHistory - 1]
        = QStringLiteral("数量 200 单价 1 金额 200 2011年3月7日10时8分50秒数量 5 单价 1 金额 5 "
                         "入库后均价 1 数量 205 时间 2011年3月7日10时23分\r\n");
    ASSERT_TRUE(store.open(stockPath(), QStringLiteral("w")) && store.add(twin));
    store.close(QStringLiteral("w"));
    window->action(QStringLiteral("刷新显示"))->trigger();
    Grid *grid = window->stockGrid();
    grid->setCursorCell(2, 1);
    for (int step = 0; step < 3; ++step)
        QTest::keyClick(grid, Qt::Key_Down);
    ASSERT_EQ(grid->cursorRow(), 5);
    runModal(QStringLiteral("进出库簿"), [](QWidget *modal) {
        auto *ledger = qobject_cast<LedgerWindow *>(modal);
        ASSERT_NE(ledger, nullptr);
        EXPECT_EQ(ledger->textBox()->toPlainText(),
            QStringLiteral("以下是昨天出库进库记录:\n"
                           "数量 200 单价 1 金额 200 2011年3月7日10时8分50秒\n"
                           "数量 5 单价 1 金额 5 入库后均价 1 数量 205 时间 2011年3月7日10时23分\n"
                           "\n\n\n\n以下是昨天出库出库记录:\n"));
    });
}

TEST_F(MainCommandsTest, FindingInTheStockListStepsThroughTheCaption)
{
    QAction *find = window->action(QStringLiteral("项目查找"));
    window->show();
    window->stockGrid()->setCursorCell(1, 1);
    prompts.answer(QStringLiteral("出库"));
    find->trigger();
    EXPECT_EQ(find->text(), QStringLiteral("下一个"));
    EXPECT_EQ(window->stockGrid()->cursorRow(), 2);
    EXPECT_EQ(window->stockTable().format(2, 3).textColor, rgbColor(255, 255, 0));
    window->editMenu()->hide();
    find->trigger();
    find->trigger(); // the last row: no more
    EXPECT_EQ(prompts.messages(), QStringList({"对不起，没有啦！"}));
    EXPECT_EQ(find->text(), QStringLiteral("上一个"));
    window->editMenu()->hide();
}

TEST_F(MainCommandsTest, ASpreadsheetIsReadIntoTheListAndAddedAsNewItems)
{
    readSpreadsheet(twoItems);
    const DataSource &table = window->stockTable();
    EXPECT_TRUE(hasCellTexts(table,
        {{1, 1, u"材  料  品  名"}, {2, 1, u"接地线"}, {2, 4, u"40"}, {2, 5, u"2.5"},
            {3, 7, u"5"}}));
    EXPECT_TRUE(prompts.messages().isEmpty());

    // The whole sheet, wherever the cursor stands; opening stock by default.
    window->stockGrid()->setCursorCell(3, 1);
    prompts.clearShown();
    window->action(QStringLiteral("加入数据库"))->trigger();
    EXPECT_EQ(prompts.messages(), QStringList({"添加完毕"}));
    ASSERT_EQ(prompts.shown().at(0).kind, QStringLiteral("question"));
    EXPECT_EQ(prompts.shown()[0].text,
        QStringLiteral("这 2 行材料是今天（2011年3月7日）进库的吗？\n\n"
                       "是：作为今天的进库加入，计入本日、本月、本年进库统计。\n"
                       "否：作为期初库存加入，不计入进库统计（一般选这一项）。"));
    EXPECT_EQ(window->stockTable().rowCount(), 6) << "three items before, two added";
    EXPECT_EQ(window->stockTable().text(5, 1), QStringLiteral("接地线"));
    EXPECT_EQ(window->stockTable().text(6, 6), QStringLiteral("24"));
    const auto receivedThisMonth = [this] {
        QStringList names;
        runModal(QStringLiteral("本月进库"), [&](QWidget *modal) {
            const DataSource &table = qobject_cast<TableEditorWindow *>(modal)->table();
            for (int r = 2; r < table.rowCount(); ++r)
                names << table.text(r, 1) + u' ' + table.text(r, 6);
        });
        return names;
    };
    EXPECT_EQ(receivedThisMonth(), QStringList()) << "opening stock is no receipt";

    // Said to be today's receipt, it is one.
    readSpreadsheet(QStringLiteral("1,绝缘子,XP-70,只,5,20,100,0\r\n"));
    prompts.answer(true);
    window->action(QStringLiteral("加入数据库"))->trigger();
    EXPECT_EQ(receivedThisMonth(), QStringList({"绝缘子 100"}));

    // A file that is no workbook leaves the list as it was, with a message.
    QFile noise(dir.filePath(QStringLiteral("noise.xls")));
    ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
    noise.write(QByteArray(64, '\0') + QByteArray("\x01\x02\xff", 3));
    noise.close();
    prompts.answer(noise.fileName());
    window->action(QStringLiteral("从电子表读"))->trigger();
    EXPECT_EQ(window->stockTable().rowCount(), 7);
    EXPECT_TRUE(prompts.messages().last().startsWith(QStringLiteral("无法读取电子表格文件")));
}

TEST_F(MainCommandsTest, ARefreshShowsTheStockAgainAfterASpreadsheetOfAsManyRows)
{
    // Three items read give ten rows (six blank names end the reading): a
    // stock of nine items fills as many.
    {
        RecordStore writer;
        ASSERT_TRUE(writer.open(stockPath(), QStringLiteral("w")));
        for (int i = 1; i <= 6; ++i)
            ASSERT_TRUE(writer.add({QStringLiteral("库存%1").arg(i)}));
    }
    window->action(QStringLiteral("刷新显示"))->trigger();
    const DataSource &table = window->stockTable();
    ASSERT_EQ(table.rowCount(), 10);
    readSpreadsheet(QStringLiteral("1,甲,,个,1,1,1,0\r\n2,乙,,个,1,1,1,0\r\n3,丙,,个,1,1,1,0\r\n"));
    ASSERT_EQ(table.rowCount(), 10);
    ASSERT_EQ(table.text(2, 1), QStringLiteral("甲"));

    window->action(QStringLiteral("刷新显示"))->trigger();
    EXPECT_EQ(table.text(2, 1), QStringLiteral("今天出库")) << "the stock, not the spreadsheet";
    EXPECT_EQ(table.text(10, 1), QStringLiteral("库存6"));
}

TEST_F(MainCommandsTest, AnImportSpreadsTheWindowOverTheScreen)
{
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QRect area = window->screen()->availableGeometry();
    const QRect placed(area.left() + 1, area.top() + 1, area.width() - 2, area.height() - 10);
    // Read or cancelled, the list is laid out for checking afterwards.
    for (const bool cancelled : {false, true}) {
        window->setGeometry(120, 90, 500, 380);
        window->setWindowTitle(QStringLiteral("其他"));
        if (cancelled)
            window->action(QStringLiteral("从电子表读"))->trigger();
        else
            readSpreadsheet(twoItems);
        EXPECT_EQ(window->frameGeometry(), placed) << (cancelled ? "cancelled" : "read");
        EXPECT_EQ(window->windowTitle(), QStringLiteral("禾岭供电有限责任公司材料出库单打印系统"));
        const DataSource &table = window->stockTable();
        EXPECT_EQ(QList<int>({table.columnWidth(1), table.columnWidth(2), table.columnWidth(3),
                      table.columnWidth(4)}),
            QList<int>({850, 850, 140, 140}));
        EXPECT_EQ(table.headerRows(), 1);
    }
    EXPECT_EQ(window->stockTable().text(2, 1), QString()) << "the cancelled read left it empty";
    EXPECT_TRUE(prompts.messages().isEmpty());
}

TEST_F(MainCommandsTest, AddingRightAfterTheImportLeavesTheHeadingRowOut)
{
    readSpreadsheet(twoItems);
    ASSERT_EQ(window->stockGrid()->cursorRow(), 1) << "where the import leaves the cursor";
    window->action(QStringLiteral("加入数据库"))->trigger();
    EXPECT_EQ(prompts.messages(), QStringList({"添加完毕"}));

    RecordStore reader;
    ASSERT_TRUE(reader.open(state.path(Stock::fileName()), QStringLiteral("r")));
    QStringList names;
    for (reader.first(); !reader.atEnd(); reader.skip())
        names << reader.readText(Stock::Name);
    EXPECT_EQ(names, QStringList({"今天出库", "昨天出库", "从未出库", "接地线", "扎带"}));
    EXPECT_EQ(window->stockTable().rowCount(), 6);
}

TEST_F(MainCommandsTest, ClearingTwiceInOneSecondKeepsTheStockInTheFirstBackup)
{
    window->action(QStringLiteral("清空数据库"))->trigger();
    window->action(QStringLiteral("清空数据库"))->trigger();
    EXPECT_EQ(prompts.messages(), QStringList({"数据库已清空", "数据库已清空"}));
    EXPECT_EQ(backups(), QStringList({"2011年3月7日16时(2).zrb 0", "2011年3月7日16时.zrb 3"}));
}

TEST_F(MainCommandsTest, NoCommandOfOneSecondReplacesAnotherOnesBackup)
{
    window->action(QStringLiteral("备份数据库"))->trigger();
    // The same spreadsheet added twice: its items become twins the second time.
    readSpreadsheet(twoItems);
    window->action(QStringLiteral("加入数据库"))->trigger();
    readSpreadsheet(twoItems);
    prompts.answer(true);
    window->action(QStringLiteral("加入数据库"))->trigger();
    window->action(QStringLiteral("清空数据库"))->trigger();
    prompts.answer(backupFolder() + QStringLiteral("/2011年3月7日16时(4).zrb"));
    prompts.answer(true);
    window->action(QStringLiteral("导入  备份 "))->trigger();
    ASSERT_EQ(window->stockTable().rowCount(), 8) << "seven items restored";
    window->action(QStringLiteral("清空数据库"))->trigger();
    EXPECT_EQ(prompts.messages(),
        QStringList({"数据库已备份", "添加完毕", "添加完毕", "数据库已清空",
            "已导入备份 "
            "2011年3月7日16时(4).zrb。\n导入前的库存数据已先备份为“备份数据库”文件夹中的 "
            "2011年3月7日16时(5).zrb。",
            "数据库已清空"}));

    EXPECT_EQ(backups(),
        QStringList({
            "2011年3月7日16时(2).zrb 3", // before the first addition
            "2011年3月7日16时(3).zrb 5", // before the second
            "2011年3月7日16时(4).zrb 7", // before the clear
            "2011年3月7日16时(5).zrb 0", // before the restore
            "2011年3月7日16时(6).zrb 7", // before the second clear
            "2011年3月7日16时.zrb 3", // the manual backup
        }));
}

// An addition and a clear that the disk complains about after they are saved
// are told as done, never as "unchanged": a second addition would add twice.
TEST_F(MainCommandsTest, AChangeSavedBeforeTheDiskComplainedIsToldAsDone)
{
    // The shim serves connections opened after it: the window's too.
    window.reset();
    store.closeAll();
    // As at a start of the program: the memo lines the fixture's bookings
    // left waiting go into the companion, so the first commit is the command's.
    ASSERT_TRUE(StartUp::finishWork(state.programDir));
    FolderSyncFault::install();
    window = std::make_unique<MainWindow>(state, store, prompts, clock);
    installMainCommands(*window);
    readSpreadsheet(twoItems);
    {
        FolderSyncFault::Armed fault;
        window->action(QStringLiteral("加入数据库"))->trigger();
    }
    EXPECT_EQ(recordsIn(state.path(Stock::fileName())), 5);
    {
        FolderSyncFault::Armed fault;
        window->action(QStringLiteral("清空数据库"))->trigger();
    }
    EXPECT_EQ(recordsIn(state.path(Stock::fileName())), 0);
    ASSERT_EQ(prompts.messages().size(), 2);
    EXPECT_TRUE(prompts.messages()[0].startsWith(QStringLiteral("添加已完成")));
    EXPECT_TRUE(prompts.messages()[1].startsWith(QStringLiteral("清空已完成")))
        << prompts.messages()[1].toStdString();
}

// A slow workbook does not freeze the window: its progress dialog comes up,
// a click on 取消 ends the reading child, and the list stays as it was.
TEST_F(MainCommandsTest, ASlowSpreadsheetIsCancelledFromItsProgressDialog)
{
    const auto listed = [this] {
        QStringList texts;
        for (int row = 1; row <= window->stockTable().rowCount(); ++row)
            texts << window->stockTable().text(row, 1) + u'|' + window->stockTable().text(row, 4);
        return texts;
    };
    const QStringList before = listed();
    QFile csv(dir.filePath(QStringLiteral("慢.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write("1,接地线,TJ-35,米,40,2.5,100,10\r\n");
    csv.close();
    const QString pidFile = dir.filePath(QStringLiteral("child.pid"));
    qputenv(misbehaviourVariable, "hang");
    qputenv(pidFileVariable, QFile::encodeName(pidFile));
    prompts.answer(csv.fileName());

    bool clicked = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = window->findChild<QProgressDialog *>();
        if (!dialog || !dialog->isVisible() || !QFile::exists(pidFile))
            return;
        poll.stop();
        EXPECT_TRUE(dialog->isModal());
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("取消")), Qt::LeftButton);
        clicked = true;
    });
    poll.start(50);
    window->action(QStringLiteral("从电子表读"))->trigger();
    qunsetenv(misbehaviourVariable);
    qunsetenv(pidFileVariable);

    ASSERT_TRUE(clicked);
    QFile pid(pidFile);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
#ifdef Q_OS_UNIX
    errno = 0;
    EXPECT_EQ(::kill(pid_t(pid.readAll().toLongLong()), 0), -1) << "the child is gone";
    EXPECT_EQ(errno, ESRCH);
#endif
    EXPECT_EQ(listed(), before);
    EXPECT_TRUE(prompts.messages().isEmpty()) << "a cancel needs no message";
    EXPECT_EQ(window->findChild<QProgressDialog *>(), nullptr);
}

} // namespace
