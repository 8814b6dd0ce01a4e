#pragma once

#include "workbook/workbook.h"

#include <QByteArray>

// The form in which the reading child process hands a workbook (or its
// failure) to the program: a tagged, length-prefixed binary stream. The
// program treats it as untrusted: decode() checks every count, length and
// cell position against the limits and the bytes actually there, and refuses
// anything truncated, oversized or followed by stray bytes.
namespace WorkbookStream {

QByteArray encode(const WorkbookResult &result);

// The result the stream carries; a failure saying the data is invalid when it
// is not a well-formed stream.
WorkbookResult decode(const QByteArray &bytes);

// Bounds the program keeps to while the child writes.
inline constexpr qint64 maxBytes = 256LL * 1024 * 1024;
inline constexpr qint64 maxTextBytes = 32LL * 1024 * 1024;

} // namespace WorkbookStream
