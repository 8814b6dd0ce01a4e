#include "sweep_child.h"

#include "common/clock.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "issue/goods_issue.h"
#include "movements/bulk_addition.h"
#include "movements/receipt.h"
#include "movements/undo.h"
#include "support/record_files.h"

#include <QFileInfo>

#include <cstdio>
#include <dlfcn.h>

QString sweepItem(int k)
{
    return QStringLiteral("材料%1").arg(k);
}

namespace {

// 0: done; 1: failed, nothing changed; 2: failed after the change.
int outcome(const Status &s, bool changed = false)
{
    if (!s)
        std::fprintf(stderr, "%s\n", s.message().toUtf8().constData());
    return s ? 0 : (changed ? 2 : 1);
}

int undo(RecordStore &store, const QString &programDir, int k)
{
    if (!store.open(StockFile::stockPath(programDir), Stock::alias())
        || !store.findFirstEqual(Stock::Name, sweepItem(k), Stock::Spec, sweepSpec))
        return 3;
    const QString backup = Undo::backupFolder(Undo::Kind::Issue, programDir) + u'/' + sweepItem(k)
        + sweepSpec + QStringLiteral(".zrb");
    Undo::Result result;
    const Status s = Undo::restore(
        Undo::Kind::Issue, *store.current(), backup, sweepItem(k), sweepSpec, &result);
    // A disk error after the commit is told, never plain success.
    if (s && !result.diskProblem.isEmpty())
        return outcome(Status::failure(result.diskProblem), true);
    return outcome(s, result.changed);
}

int run(RecordStore &store, const QString &op, const QString &programDir)
{
    // The item window books into the stock file it has open.
    if (op == QLatin1String("receipt"))
        return !store.open(StockFile::stockPath(programDir), Stock::alias())
            ? 3
            : outcome(bookReceipt(*store.current(), programDir,
                {sweepItem(3), sweepSpec, QStringLiteral("个"), "2", "5", "10", "1"}, sweepMoment));
    if (op == QLatin1String("issue"))
        return outcome(
            bookIssue(stockFileOf(store, programDir), programDir, sweepNote(), sweepMoment));
    if (op == QLatin1String("undo"))
        return undo(store, programDir, 2);
    if (op == QLatin1String("undo-twins"))
        return undo(store, programDir, sweepTwin);
    if (op == QLatin1String("restore")) {
        bool replaced = false;
        const Status s = StockFile::restore(store, programDir,
            StockFile::backupFolder(programDir) + QStringLiteral("/早先.zrb"), sweepMoment,
            &replaced);
        return outcome(s, replaced);
    }
    if (op == QLatin1String("clear"))
        return outcome(StockFile::clear(store, programDir, sweepMoment));
    if (op == QLatin1String("bulk")) {
        Status s = StockFile::safetyBackup(store, programDir, sweepMoment);
        if (s)
            s = BulkAddition::add(stockFileOf(store, programDir),
                {{QStringLiteral("新材料"), sweepSpec, QStringLiteral("个"), 2, 3, 6, 0},
                    {sweepItem(4), sweepSpec, QStringLiteral("个"), 1, 1, 1, 0}},
                FixedClock(sweepMoment));
        return outcome(s);
    }
    return 4;
}

} // namespace

IssueNote sweepNote()
{
    IssueNote note;
    note.department = QStringLiteral("供电所");
    note.handler = QStringLiteral("张三");
    for (int k = 1; k <= IssueNote::lineCount; ++k)
        note.lines.append({sweepItem(k), sweepSpec, QStringLiteral("1"), QStringLiteral("1")});
    return note;
}

int runSweepChild(const QString &op, const QString &programDir, long failAt, int mode)
{
    // The shim is preloaded by the parent; without it there is nothing to sweep.
    using Arm = void (*)(long, int);
    using Calls = long (*)();
    using Kind = int (*)();
    const auto arm = reinterpret_cast<Arm>(dlsym(RTLD_DEFAULT, "wh_shim_arm"));
    const auto calls = reinterpret_cast<Calls>(dlsym(RTLD_DEFAULT, "wh_shim_armed_calls"));
    const auto kind = reinterpret_cast<Kind>(dlsym(RTLD_DEFAULT, "wh_shim_failed_kind"));
    if (!arm || !calls || !kind)
        return 5;
    RecordStore store;
    arm(failAt == 0 ? -1 : failAt, mode);
    const int result = run(store, op, programDir);
    const long made = calls();
    const int failed = kind();
    arm(0, 0);
    std::printf("%ld %d\n", made, failed);
    return result;
}
