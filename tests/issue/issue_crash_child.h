#pragma once

#include <QString>

inline constexpr char issueCrashOption[] = "--book-issue-child";

// Books a nine-line note (one of each of the nine items) into the program
// directory. Returns 0 when booked.
int bookNoteAsChild(const QString &programDir);
