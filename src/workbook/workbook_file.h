#pragma once

#include "workbook/workbook.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Which reader a file needs, told by its first bytes rather than its name: a
// spreadsheet program saves HTML and text under ".xls" too.
enum class WorkbookFormat {
    Xlsx, // a zip: "PK\3\4"
    Xls, // an OLE2 compound file: D0 CF 11 E0 A1 B1 1A E1
    SpreadsheetXml, // XML naming the spreadsheet namespace of the 2003 format
    Html, // anything else starting with "<"
    Csv, // the rest: text
};

WorkbookFormat detectWorkbookFormat(QByteArrayView head);

// Reads a workbook file in this process with the reader its contents call for.
// Only rows 1..rowLimit of each sheet are read; cell texts longer than a cell
// holds are cut (WorkbookCell::cut). Files larger than Workbook::maxFileBytes
// are refused unread, but for a text file whose start holds the rows asked
// for. Meant for the reading child process (WorkbookReader) and for tests: a
// damaged file may take this process down with it when FreeXL reads it.
WorkbookResult readWorkbookFile(const QString &path, int rowLimit = WorkbookSheet::maxRows);

// The same over bytes in memory; .xls is read through a temporary file.
WorkbookResult readWorkbookData(const QByteArray &bytes, int rowLimit = WorkbookSheet::maxRows);
