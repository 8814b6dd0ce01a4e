#pragma once

#include <QString>

// Where the per-item backups live: before each receipt (issue) of an item,
// its records are copied into 品名 + 规格型号 + ".zrb" (+ ".edt") in the
// receipt (issue) backup folder, replacing the older copy, so the latest
// movement of an item can be undone. BookingBackups writes them.
namespace ItemBackup {

QString receiptFolder(const QString &programDir); // 进库备份
QString issueFolder(const QString &programDir); // 出库备份

// Whether a file name can be used on every platform the program runs on:
// not empty, "." or "..", no path separator or character Windows refuses
// (\ / : * ? " < > | and control characters), no reserved device name (CON,
// PRN, AUX, NUL, COM1-9, LPT1-9, also before a dot), no trailing dot or
// blank, not the start of the program's temporary names (those are removed at
// every start), and at most 251 bytes in UTF-8, so that with its suffix it
// fits the 255 bytes file systems allow.
bool isSafeFileName(const QString &name);

// The backup file of an item in a folder; empty when 品名 + 规格型号 is not a
// safe file name, in which case the item gets no backup.
QString path(const QString &folder, const QString &name, const QString &spec);

} // namespace ItemBackup
