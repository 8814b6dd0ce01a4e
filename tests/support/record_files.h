#pragma once

#include "data/record_store.h"

#include <QList>
#include <QString>
#include <QVariantList>

// Record files that tests lay down as other parts of the program would, each
// through a connection of its own. The writers fail the test on any error.

// The layout of an issue statistics result: 7 fields, the amount in 6, the
// date in 7.
Layout statisticsLayout();

// Writes a record file of any layout, the records in one transaction.
void writeRecordFile(const QString &path, const Layout &layout, const QList<QVariantList> &records);

// The stock file of the program directory as the windows hold it: opened in
// the store (or made current there) under its alias. One that does not open
// fails the test and gives a closed handle, on which every operation fails.
RecordFile &stockFileOf(RecordStore &store, const QString &programDir);

// Runs SQL on a file with the plain SQLite interface, as another program
// would write it.
void execSql(const QString &path, const QString &sql);
QString querySql(const QString &path, const QString &sql);
