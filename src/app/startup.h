#pragma once

#include "common/status.h"

#include <QFont>
#include <QString>
#include <QStringList>

class QCoreApplication;

// The steps of start-up that do not need a window, kept out of main() so that
// they can be run and checked on their own.
namespace StartUp {

// The folders of the program directory that hold record-file backups.
QStringList backupFolders();

// The program directory from the command line: `--dir PATH` (also
// `--dir=PATH`), else `defaultDir`. The result is absolute, '/'-separated and
// has no trailing separator. Anything else on the command line is an error.
Status parseArguments(const QStringList &arguments, const QString &defaultDir, QString &programDir);

// An absolute, '/'-separated directory path without a trailing separator.
QString normalizedDirectory(const QString &dir);

// Creates the program directory when it is missing.
Status createDirectory(const QString &dir);

// Makes the program directory ready for use; run while holding the instance
// lock, before any record file is opened: finishes what a crash interrupted
// (file replacements, the item backups of a committed booking), then
// creates the empty stock file when there is none. An existing stock file is
// left as it is.
Status prepareProgramDirectory(const QString &dir);

// Leaves the program directory whole by itself for whoever reads it next:
// the memo lines the bookings left waiting in the stock file go into its
// companion, and the item backups not yet flushed are flushed. Run once the
// windows are closed.
Status finishWork(const QString &dir);

// Names the program as the desktop shows it. The application name is the main
// window's bare title, so a window left without a title never shows a Latin
// program name; no display name is set, since Qt would append it to every
// window's title.
void nameApplication();

// Qt's own texts in Chinese whatever the system's language, as every text of
// the program is: the buttons of message boxes, the file, print, page-setup,
// preview and font dialogs, the context menus of text boxes. Also makes
// Chinese (China) the default locale, so those dialogs measure in
// millimetres. False when Qt's translation could not be loaded.
bool speakChinese(QCoreApplication &application);

// Where Qt's translations are looked for, in order: "translations" beside the
// program (a Windows deployment puts them there), then Qt's own folder.
QStringList translationFolders();

// The font of every window: 宋体 9 pt, the size the program's layouts are made
// for, with the platform's font as the fallback where 宋体 is not installed.
QFont applicationFont(const QFont &platformFont);

} // namespace StartUp
