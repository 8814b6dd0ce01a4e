// What the storekeeper waits for in the windows, each figure beside a floor
// measured in the same run:
//  - first screen: from constructing MainWindow (after the start-up
//    preparation, as main() does it) until it is painted, and until the
//    whole list is read; floor: the same window on an empty stock file;
//  - refresh: MainWindow::refresh() and the repaint, as after any window
//    closes: when nothing changed, and after another program's commit to
//    the stock file; floor: one SELECT of the seven list columns into strings;
//  - bookings: the list shown again after a receipt (the item window
//    closed), after a nine-line issue (the note window closed), and 取消进库
//    from the menu until the list shows the old quantity; floor: a repaint
//    of the window alone, and for the undo the undo without the list;
//  - statistics: 本年出库 written and the table editor painted; floor: one
//    SELECT of the qualifying rows' seven columns into strings. Its part
//    "qd.zrb and rows" is the write with the editor's rows: read by the copy
//    itself on one core, beside it on two;
//  - the first screen and the refresh read a long stock file in two parts at
//    once, and the statistics read beside their write, when the process may
//    use more than one core: run pinned (taskset -c 1) and unpinned to see both;
//  - export: "转为电子表格" of that table in MB/s; floor: writing the same
//    bytes to a file (synced, renamed) in MB/s;
//  - peak memory (Linux: VmHWM) of the process with the export done and with
//    the print window open; floor: the same on an empty stock file.
// Every sample runs in a fresh process (this program started again with
// --child), so each pays the cold start a storekeeper sees and no peak
// carries over from another case. Times are medians over the samples.
//
//   main_window_bench [--runs N] [--items N] [--cases first-screen,bookings,...]
//   WAREHOUSE_BENCH_MILLION=1 adds 1 000 000 items to the default 10 000 and
//   100 000; --cases runs the cases named only (first-screen, refresh,
//   bookings, statistics, export, print).

#include "stock_fixture.h"

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "common/prompts.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "grid/grid_printer.h"
#include "issue/goods_issue.h"
#include "ledger/statistics.h"
#include "movements/receipt.h"
#include "movements/undo.h"
#include "support/scripted_prompts.h"
#include "tableeditor/html_export.h"
#include "tableeditor/print_setup_window.h"
#include "tableeditor/table_editor_state.h"
#include "tableeditor/table_editor_window.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QProcess>
#include <QSaveFile>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <map>
#include <vector>

namespace {

const char *const childOption = "--child";
const QStringList caseNames
    = {QStringLiteral("first-screen"), QStringLiteral("refresh"), QStringLiteral("bookings"),
        QStringLiteral("statistics"), QStringLiteral("export"), QStringLiteral("print")};
constexpr int repeats = 5; // within one process, for the repeatable steps

// Peak resident memory of this process in KiB; -1 where the platform does not
// tell.
qint64 peakMemoryKiB()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // A /proc file reports size 0, so atEnd() cannot be trusted: read it whole.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
#endif
    return -1;
}

double msSince(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char *key, double value)
{
    std::printf("%s %.3f\n", key, value);
}

// The plain way: one SELECT, every value into a string, as the list and the
// editor hold them.
int selectIntoStrings(const QString &file, const char *sql)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        std::abort();
    std::vector<QString> texts;
    const int columns = sqlite3_column_count(stmt);
    while (sqlite3_step(stmt) == SQLITE_ROW)
        for (int c = 0; c < columns; ++c)
            texts.push_back(
                QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, c)),
                    sqlite3_column_bytes(stmt, c)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return int(texts.size());
}

// The floor frees millions of strings at once; glibc then merges the freed
// pieces at the next larger allocation, which must not fall into a figure.
void settleHeap()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

const char listSql[] = "SELECT c1,c2,c3,c4,c5,c6,c15 FROM records ORDER BY id";

QByteArray yearIssueSql()
{
    const qint64 from = qint64(today.year()) * 10000000000LL;
    return QStringLiteral("SELECT c1,c2,c3,c5,c18,c19,c9 FROM records WHERE c9>=%1 AND c9<%2 "
                          "ORDER BY id")
        .arg(from)
        .arg(from + 10000000000LL)
        .toLatin1();
}

// The widgets of one run: the main window as main() builds it.
struct Program
{
    AppState state;
    RecordStore store;
    // Questions are answered from a script: a benchmark has no one to ask.
    ScriptedPrompts prompts;
    FixedClock clock {QDateTime(today, QTime(12, 0))};
    TableEditorState editorState;
    std::unique_ptr<MainWindow> window;

    explicit Program(const QString &dir) { state.programDir = dir; }

    // The stock file as the windows hold it.
    RecordFile &stock()
    {
        RecordFile *file = nullptr;
        if (!store.openOrSelect(state.path(Stock::fileName()), Stock::alias(), &file))
            std::abort();
        return *file;
    }

    void open()
    {
        window = std::make_unique<MainWindow>(state, store, prompts, clock);
        installMainCommands(*window);
        window->show();
        QCoreApplication::processEvents();
        if (window->grab().isNull())
            std::abort();
    }

    // 本年出库 into the editor, painted; `writeMs` gets the part that writes
    // qd.zrb.
    std::unique_ptr<TableEditorWindow> openYearIssues(double *writeMs = nullptr)
    {
        const Statistics::Kind kind {Statistics::Movement::Issue, Statistics::Period::Year};
        QElapsedTimer timer;
        timer.start();
        // As the menu command does: the editor's result is let go first.
        store.closePath(Statistics::resultPath(state.programDir));
        if (!Statistics::writeWithRows(
                stock(), state.programDir, kind, clock.now(), editorState.queryRows))
            std::abort();
        if (writeMs)
            *writeMs = msSince(timer);
        auto editor = std::make_unique<TableEditorWindow>(
            state, store, prompts, clock, editorState, window->geometry());
        editor->show();
        QCoreApplication::processEvents();
        if (editor->grab().isNull())
            std::abort();
        return editor;
    }
};

// One commit to the stock file by another program: the first item's alarm
// quantity moved by `change`. The next refresh must read the file again.
void commitToStock(Program &program, double change)
{
    RecordStore store;
    if (!store.open(program.state.path(Stock::fileName()), QStringLiteral("other")))
        std::abort();
    if (store.recordCount() == 0) // the empty file of the memory floors
        return;
    if (!store.goTo(1)
        || !store.write(Stock::AlarmQuantity, store.readNumber(Stock::AlarmQuantity) + change)) {
        std::fprintf(stderr, "commit failed: %s\n", qPrintable(store.lastError()));
        std::abort();
    }
}

double timedRefresh(Program &program)
{
    QElapsedTimer timer;
    timer.start();
    program.window->refresh();
    QCoreApplication::processEvents();
    if (program.window->grab().isNull())
        std::abort();
    return msSince(timer);
}

// Closing a window that changed nothing (most do), and a refresh after a
// commit, which reads the whole stock file.
void refreshCase(Program &program)
{
    std::vector<double> unchanged, changed, floor;
    for (int i = 0; i < repeats; ++i) {
        unchanged.push_back(timedRefresh(program));
        commitToStock(program, i % 2 == 0 ? 1 : -1); // the file as it was after two
        changed.push_back(timedRefresh(program));
        QElapsedTimer timer;
        timer.start();
        selectIntoStrings(program.state.path(QStringLiteral("data.zrb")), listSql);
        floor.push_back(msSince(timer));
        settleHeap();
    }
    report("ms", median(unchanged));
    report("rebuild-ms", median(changed));
    report("floor-ms", median(floor));
}

double timedRepaint(Program &program)
{
    QElapsedTimer timer;
    timer.start();
    program.window->stockGrid()->viewport()->update();
    QCoreApplication::processEvents();
    if (program.window->grab().isNull())
        std::abort();
    return msSince(timer);
}

// A receipt of 2 into record `record`, as the item window books it.
void bookReceiptInto(Program &program, int record)
{
    const QString name = QStringLiteral("材料%1").arg(record);
    const QString spec = QStringLiteral("型号-%1").arg(record % 97);
    const ReceiptInput input {name, spec, QStringLiteral("个"), QStringLiteral("12.5"),
        QStringLiteral("2"), QStringLiteral("25"), QStringLiteral("1"), 0};
    if (!bookReceipt(program.stock(), program.state.programDir, input, program.clock.now()))
        std::abort();
}

// A note of nine lines, 1 each of the records from `record` on.
void bookNineLines(Program &program, int record)
{
    IssueNote note;
    note.department = QStringLiteral("供电所");
    note.handler = QStringLiteral("张三");
    for (int r = record; r < record + 9; ++r)
        note.lines.append({QStringLiteral("材料%1").arg(r), QStringLiteral("型号-%1").arg(r % 97),
            QStringLiteral("1"), QStringLiteral("12.5"), 0});
    if (!bookIssue(program.stock(), program.state.programDir, note, program.clock.now()))
        std::abort();
}

// The item of a record under the cursor, as a click leaves it.
void selectRecord(Program &program, int record)
{
    program.window->stockGrid()->setCursorCell(record + 1, 1);
    if (program.state.selectedItem.name != QStringLiteral("材料%1").arg(record))
        std::abort();
}

// After the program's own bookings the list reads only the rows they changed.
void bookingsCase(Program &program, int items)
{
    if (items < 20) // the empty stock file of the memory floors
        return;
    std::vector<double> receipt, issue, undo, bareUndo, floor;
    QAction *undoReceipt = program.window->action(QStringLiteral("取消进库"));
    for (int i = 0; i < repeats; ++i) {
        // Items spread over the file, away from its end.
        const int record = 1 + int((qint64(i) * 7919 + items / 3) % std::max(items - 10, 1));
        bookReceiptInto(program, record);
        receipt.push_back(timedRefresh(program));

        selectRecord(program, record);
        program.prompts.answer(true);
        QElapsedTimer timer;
        timer.start();
        undoReceipt->trigger();
        QCoreApplication::processEvents();
        if (program.window->grab().isNull())
            std::abort();
        undo.push_back(msSince(timer));

        bookReceiptInto(program, record);
        program.window->refresh();
        program.prompts.answer(true);
        timer.restart();
        if (Undo::run(Undo::Kind::Receipt, program.store, program.state, program.prompts)
            != Undo::Outcome::Restored)
            std::abort();
        bareUndo.push_back(msSince(timer));
        program.window->refresh();

        bookNineLines(program, record);
        issue.push_back(timedRefresh(program));
        floor.push_back(timedRepaint(program));
    }
    report("receipt-ms", median(receipt));
    report("issue-ms", median(issue));
    report("undo-ms", median(undo));
    report("bare-undo-ms", median(bareUndo));
    report("floor-ms", median(floor));
}

void statisticsCase(Program &program)
{
    std::vector<double> ours, written, floor;
    const QByteArray sql = yearIssueSql();
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        double writeMs = 0;
        auto editor = program.openYearIssues(&writeMs);
        ours.push_back(msSince(timer));
        written.push_back(writeMs);
        editor.reset();
        timer.restart();
        selectIntoStrings(program.state.path(QStringLiteral("data.zrb")), sql.constData());
        floor.push_back(msSince(timer));
    }
    report("ms", median(ours));
    report("write-ms", median(written));
    report("floor-ms", median(floor));
}

void exportCase(Program &program)
{
    const auto editor = program.openYearIssues();
    const QString source = program.state.path(QStringLiteral("qd.zrb"));
    const QString target = program.state.path(QStringLiteral("电子表格1.xls"));
    QElapsedTimer timer;
    timer.start();
    if (!HtmlExport::writeSpreadsheetHtml(program.store, source, target))
        std::abort();
    const double ms = msSince(timer);
    const double mb = double(QFileInfo(target).size()) / 1e6;
    report("peak-kib", double(peakMemoryKiB()));
    report("mb-per-s", mb / (ms / 1000));

    // The floor: the same bytes written and committed the plain way.
    QFile written(target);
    if (!written.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray bytes = written.readAll();
    timer.restart();
    QSaveFile copy(program.state.path(QStringLiteral("floor.xls")));
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.commit())
        std::abort();
    report("floor-mb-per-s", mb / (msSince(timer) / 1000));
}

void printCase(Program &program)
{
    const auto editor = program.openYearIssues();
    QAction *generate = editor->action(QStringLiteral("&C.生成打印表格"));
    if (!generate)
        std::abort();
    generate->trigger();
    QCoreApplication::processEvents();
    const auto windows = editor->findChildren<PrintSetupWindow *>();
    if (windows.isEmpty() || windows.first()->grab().isNull())
        std::abort();
    report("peak-kib", double(peakMemoryKiB()));
}

// One sample in this process: start-up as main() does it on `dir`, then the case.
int runCase(int argc, char **argv, const QString &which, const QString &dir)
{
    QApplication application(argc, argv);
    QApplication::setFont(StartUp::applicationFont(QApplication::font()));
    GridPrinter::installFontSubstitutes();
    if (!StartUp::prepareProgramDirectory(dir))
        return 2;
    Program program(dir);
    QElapsedTimer timer;
    timer.start();
    program.open();
    if (which == QStringLiteral("first-screen")) {
        report("ms", msSince(timer));
        // The rest of a long list is read while the window answers.
        while (!program.window->listComplete())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        report("complete-ms", msSince(timer));
        report("peak-kib", double(peakMemoryKiB()));
        return 0;
    }
    program.window->finishReading();
    if (which == QStringLiteral("refresh")) {
        refreshCase(program);
    } else if (which == QStringLiteral("bookings")) {
        bookingsCase(program, program.store.recordCount());
    } else if (which == QStringLiteral("statistics")) {
        statisticsCase(program);
    } else if (which == QStringLiteral("export")) {
        exportCase(program);
    } else if (which == QStringLiteral("print")) {
        printCase(program);
    }
    std::fflush(stdout);
    return 0;
}

using Figures = std::map<QByteArray, std::vector<double>>;

bool runChild(const QString &which, const QString &dir, Figures &figures)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(
        QCoreApplication::applicationFilePath(), {QString::fromLatin1(childOption), which, dir});
    if (!child.waitForFinished(30 * 60 * 1000) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0) {
        std::fprintf(
            stderr, "child %s failed (exit code %d)\n", qPrintable(which), child.exitCode());
        return false;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() == 2)
            figures[parts[0]].push_back(parts[1].toDouble());
    }
    return true;
}

// The median of a figure over the samples; the peak is the largest, the one
// to plan for.
double figure(const Figures &figures, const char *key)
{
    const auto it = figures.find(key);
    if (it == figures.end())
        return -1;
    if (qstrcmp(key, "peak-kib") == 0)
        return *std::max_element(it->second.begin(), it->second.end()) / 1024;
    return median(it->second);
}

void printRow(const QString &label, int items, double ours, double floor, const char *unit)
{
    if (ours < 0)
        return;
    // Padded by what the terminal shows: a Chinese character takes two columns.
    qsizetype shown = 0;
    for (const QChar c : label)
        shown += c.unicode() >= 0x1100 ? 2 : 1;
    std::printf("%s%*s %9d %10.1f %10.1f %7.2f   %s\n", label.toUtf8().constData(),
        int(std::max<qsizetype>(28 - shown, 0)), "", items, ours, floor,
        floor > 0 ? ours / floor : 0.0, unit);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], childOption) == 0)
        return runCase(argc, argv, QString::fromLatin1(argv[2]), QString::fromLocal8Bit(argv[3]));

    QCoreApplication application(argc, argv);
    int runs = 3;
    std::vector<int> sizes = {10000, 100000};
    QStringList cases = caseNames;
    if (qEnvironmentVariableIsSet("WAREHOUSE_BENCH_MILLION"))
        sizes.push_back(1000000);
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QStringLiteral("--runs"))
            runs = std::max(1, arguments[i + 1].toInt());
        else if (arguments[i] == QStringLiteral("--items"))
            sizes = {std::max(1, arguments[i + 1].toInt())};
        else if (arguments[i] == QStringLiteral("--cases"))
            cases = arguments[i + 1].split(u',');
    }

    std::printf("%d fresh processes per case; medians, largest peak\n\n", runs);
    std::printf("%-28s %9s %10s %10s %7s\n", "figure", "items", "ours", "floor", "ratio");
    std::map<QString, Figures> empty; // the memory floors, on an empty stock file
    for (const int items : sizes) {
        for (const QString &which : cases) {
            const QString dir = programDirWith(items);
            Figures figures;
            // One unmeasured start first: the stock file's pages and the fonts
            // come into the system's caches, as on any start but the first.
            Figures warm;
            if (!runChild(which, dir, warm))
                return 1;
            for (int i = 0; i < runs; ++i)
                if (!runChild(which, dir, figures))
                    return 1;
            if (!empty.count(which))
                for (int i = 0; i < runs; ++i)
                    if (!runChild(which, programDirWith(0), empty[which]))
                        return 1;
            const Figures &none = empty[which];
            const double peak = figure(figures, "peak-kib");
            if (which == QStringLiteral("first-screen")) {
                printRow(which + QStringLiteral(" ms"), items, figure(figures, "ms"),
                    figure(none, "ms"), "target < 200 ms at 100 000, < 1 s at 1 000 000");
                printRow(QStringLiteral("  whole list read ms"), items,
                    figure(figures, "complete-ms"), figure(none, "complete-ms"), "");
            } else if (which == QStringLiteral("bookings")) {
                printRow(QStringLiteral("list after a receipt ms"), items,
                    figure(figures, "receipt-ms"), figure(figures, "floor-ms"), "target < 10 ms");
                printRow(QStringLiteral("list after 9 issued ms"), items,
                    figure(figures, "issue-ms"), figure(figures, "floor-ms"), "target < 10 ms");
                printRow(QStringLiteral("undo until listed ms"), items, figure(figures, "undo-ms"),
                    figure(figures, "bare-undo-ms"), "target < 20 ms");
            } else if (which == QStringLiteral("export"))
                printRow(which + QStringLiteral(" MB/s"), items, figure(figures, "mb-per-s"),
                    figure(figures, "floor-mb-per-s"), "target >= 150 MB/s");
            else if (which == QStringLiteral("refresh")) {
                printRow(QStringLiteral("refresh, nothing changed ms"), items,
                    figure(figures, "ms"), figure(figures, "floor-ms"), "target < 100 ms");
                printRow(QStringLiteral("refresh, other's commit ms"), items,
                    figure(figures, "rebuild-ms"), figure(figures, "floor-ms"), "target < 100 ms");
            } else {
                printRow(QStringLiteral("本年出库 into editor ms"), items, figure(figures, "ms"),
                    figure(figures, "floor-ms"),
                    "target < 150 ms at 100 000, < 1 s at 1 000 000 (one core)");
                printRow(QStringLiteral("  of it qd.zrb and rows ms"), items,
                    figure(figures, "write-ms"), figure(figures, "floor-ms"), "");
            }
            if (peak >= 0)
                printRow(which + QStringLiteral(" peak MiB"), items, peak, figure(none, "peak-kib"),
                    "target < 150 MiB (export, print)");
            std::fflush(stdout);
        }
    }
    return 0;
}
