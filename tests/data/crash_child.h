#pragma once

#include <QString>

inline constexpr char crashChildOption[] = "--crash-child";

// Number of records the child changes in its one booking.
inline constexpr int crashRecords = 1500;

// Books generation `generation` into every record of the stock file at `path`
// in one transaction: quantity set to the generation, a history line appended,
// and one record added. Returns 0 when committed.
int runCrashChild(const QString &path, int generation);
