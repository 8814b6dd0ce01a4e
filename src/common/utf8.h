#pragma once

#include <QByteArrayView>
#include <QStringView>

#include <string>

// UTF-8 into UTF-16 for long scans of stored texts, with the very result
// QString::fromUtf8 gives.
namespace Utf8 {

// Decodes `bytes` into `buffer`, which only grows, and returns the text there
// (valid until the buffer is next used). Well-formed UTF-8 is decoded in
// place; anything else (a bad byte, a cut sequence, a surrogate, a
// noncharacter, a byte-order mark) is left to QString::fromUtf8, so the text
// is always the one a record read gives for the same bytes.
QStringView decodeInto(QByteArrayView bytes, std::u16string &buffer);

} // namespace Utf8
