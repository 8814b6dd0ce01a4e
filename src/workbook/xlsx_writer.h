#pragma once

#include "common/status.h"
#include "workbook/workbook.h"

#include <QByteArray>
#include <QString>

// Writes a workbook as .xlsx: the smallest package a spreadsheet program opens
// (no styles), zipped with QuaZip. Cells whose whole text is a decimal number
// are written as numbers, as a spreadsheet stores a number typed as text;
// other texts as inline strings; formulas with their value as the cached
// result. Sheet names a spreadsheet refuses are mended ([ ] : * ? / and the
// backslash become "_", at most 31 characters, unique) or become "Sheet<n>".
//
// (The package is written here rather than by libxlsxwriter: that library
// calls the system's minizip, whose function names QuaZip exports too, so in
// one process its calls would land in QuaZip's copy and crash.)
QByteArray xlsxBytes(const Workbook &workbook);

// Writes xlsxBytes() to a file, replacing it atomically.
Status writeXlsx(const Workbook &workbook, const QString &path);

// Whether a cell text is a plain decimal number ("12.5", "-3", "1e5"), and
// its value.
bool isDecimalNumber(const QString &text, double *value = nullptr);
