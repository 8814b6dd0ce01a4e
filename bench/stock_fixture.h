#pragma once

#include <QDate>
#include <QString>

// Stock files for the benchmarks, made once per run in a temporary folder.

// The day the fixtures are booked on.
inline const QDate today(2026, 12, 7);

// The run's scratch folder.
QString workPath(const QString &name);

// A stock file of `items` items, each with a line of receipt and issue
// history; about one item in ten is at or below its alarm quantity.
const QString &stockFile(int items);

// A program directory whose data.zrb holds `items` items.
QString programDirWith(int items);
