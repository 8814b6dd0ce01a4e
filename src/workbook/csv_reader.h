#pragma once

#include "workbook/workbook.h"

#include <QByteArray>

// Reads comma-separated values (RFC 4180) into one worksheet, "Sheet1": quoted
// fields may hold commas, line breaks and doubled quotes; lines end in CR LF,
// LF or CR; a last line end adds no row. A file whose first line
// holds tabs and no comma is read as tab-separated. The text is decoded by
// decodeExternalText() (UTF-8 with or without byte-order mark, else GBK).
WorkbookResult readCsv(const QByteArray &bytes);
