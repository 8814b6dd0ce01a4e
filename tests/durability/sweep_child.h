#pragma once

#include "issue/goods_issue.h"

#include <QDateTime>
#include <QString>

inline constexpr char sweepChildOption[] = "--sweep-child";

// The items of the swept stock file: 材料1 ... with one spec; 材料5 has a twin.
QString sweepItem(int k);
inline const QString sweepSpec = QStringLiteral("规格");
inline constexpr int sweepTwin = 5;
inline const QDateTime sweepMoment {QDate(2026, 12, 7), QTime(10, 0)};

// The nine-line note the sweep books.
IssueNote sweepNote();

// Runs one operation (receipt, issue, undo, undo-twins, restore, clear, bulk)
// on the program directory with the preloaded shim armed to fail its
// `failAt`-th write, flush, rename or removal (0: none, only count) by
// `mode` (1: SIGKILL, 2: ENOSPC). Prints the number of calls made and the
// kind of the one failed (the shim's: 1 flush of a file, 2 rename, 3
// removal, 4 write, 5 flush of a folder; 0 none); returns 0
// when the operation reported success, 1 a failure that changed nothing, 2 a
// failure after the change.
int runSweepChild(const QString &op, const QString &programDir, long failAt, int mode);
