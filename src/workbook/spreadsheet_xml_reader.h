#pragma once

#include "workbook/workbook.h"

#include <QByteArray>

// Reads an XML spreadsheet (the single-file XML workbook format of 2002-2003
// spreadsheet programs: Workbook / Worksheet / Table / Row / Cell / Data):
// every worksheet, with ss:Index and ss:MergeAcross placing rows and cells.
// Numbers come as numberText(), date-times as date text, logical values as
// valueText() does; a cell's ss:Formula is kept as its formula.
// Rows after `rowLimit` are skipped.
WorkbookResult readSpreadsheetXml(const QByteArray &bytes, int rowLimit = WorkbookSheet::maxRows);
