#pragma once

#include "workbook/workbook.h"

#include <QByteArray>

// Reads comma-separated values (RFC 4180) into one worksheet, "Sheet1": quoted
// fields may hold commas, line breaks and doubled quotes; lines end in CR LF,
// LF or CR; a last line end adds no row. A file whose first line
// holds tabs and no comma is read as tab-separated. The text is decoded by
// decodeExternalText() (UTF-8 with or without byte-order mark, else GBK).
// Reading stops after line `rowLimit`: a reader that needs only the first
// lines of a long file is not refused for the rest. `wholeFile` false says the
// bytes are the start of a longer file: they must then reach past the limit.
WorkbookResult readCsv(
    const QByteArray &bytes, int rowLimit = WorkbookSheet::maxRows, bool wholeFile = true);
