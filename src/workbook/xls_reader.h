#pragma once

#include "workbook/workbook.h"

#include <QString>

// Reads a binary .xls workbook (BIFF5/BIFF8 in an OLE2 compound file) through
// FreeXL: every worksheet, numbers as numberText(), dates and date-times as date
// text, times as "HH:MM:SS", texts as they are. Password-protected workbooks
// are refused. FreeXL wants a local 8-bit path; a path that has no such form is
// read through a temporary copy.
// Rows after `rowLimit` are left unread.
WorkbookResult readXlsFile(const QString &path, int rowLimit = WorkbookSheet::maxRows);
