#pragma once

#include "workbook/workbook.h"

#include <QByteArray>

class QIODevice;

// The form in which the reading child process hands a workbook (or its
// failure) to the program: a tagged, length-prefixed binary stream. The
// program treats it as untrusted: decode() checks every count, length,
// reference, cell position and cell length against the limits and the bytes
// actually there, and refuses anything truncated, oversized or followed by
// stray bytes. A cell's mark that its value was cut travels with it.
//
// Each text travels once: a cell refers to a text sent before by its number.
// A workbook whose shared string fills every cell thus costs the child, the
// pipe and the program the string once, not once per cell. The writer knows
// texts again by their storage (a shared string shares it in every cell) and
// short texts also by their value.
namespace WorkbookStream {

// Writes the stream to `out` as it goes, never holding it whole (the child
// writes to its standard output). False when `out` refused a write.
bool write(QIODevice &out, const WorkbookResult &result);
QByteArray encode(const WorkbookResult &result);

// The result the stream carries; a failure saying the data is invalid when it
// is not a well-formed stream. Cells that refer to one text share it.
WorkbookResult decode(const QByteArray &bytes);

// Bounds the program keeps to while the child writes.
inline constexpr qint64 maxBytes = 256LL * 1024 * 1024;
inline constexpr qint64 maxTextBytes = 32LL * 1024 * 1024;

} // namespace WorkbookStream
