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

// Runs SQL on a file with the plain SQLite interface, as another program
// would write it.
void execSql(const QString &path, const QString &sql);
QString querySql(const QString &path, const QString &sql);
