#pragma once

#include <QString>

// Where the per-item backups live: before each receipt (issue) of an item,
// its records are copied into a file named after 品名 + 规格型号 with ".zrb"
// (+ ".edt") in the receipt (issue) backup folder, replacing the older copy,
// so the latest movement of an item can be undone. BookingBackups writes them.
namespace ItemBackup {

QString receiptFolder(const QString &programDir); // 进库备份
QString issueFolder(const QString &programDir); // 出库备份

// Whether a name is a file name every platform the program runs on takes
// and none of ours: not empty, "." or "..", no path separator or character
// Windows refuses (\ / : * ? " < > | and control characters), no reserved
// device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9 and the like, also before
// a dot), no trailing dot or blank, not the start of the program's temporary
// names (those are removed at every start), and at most 251 bytes in UTF-8,
// so that with its suffix it fits the 255 bytes file systems allow.
bool fitsEveryPlatform(const QString &name);

// Whether an item key is used as its backup's file name as it is: it fits
// every platform and does not start like an encoded name.
bool isSafeFileName(const QString &name);

// The file name (without suffix) of the backup of the key 品名 + 规格型号.
// A key that is a safe file name is used as it is, so backups stay where
// they always were. Any other key is encoded: "~编码~" and the key with
// '%', the refused characters and a trailing dot or blank written as %XX
// (a lone surrogate as %uXXXX). The prefix keeps it apart from every plain
// name, a temporary name and a device name. When that is too long, the
// escaped key is cut and "%~" with a hash of the whole key follows; no
// escaped key holds "%~", so the long form meets no short one. Each key thus
// has its own name; the undo still checks the key held in the backup.
QString fileStem(const QString &name, const QString &spec);

// The backup file of an item in a folder.
QString path(const QString &folder, const QString &name, const QString &spec);

} // namespace ItemBackup
