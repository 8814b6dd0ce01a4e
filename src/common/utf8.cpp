#include "common/utf8.h"

#include <QString>

#include <algorithm>

namespace Utf8 {
namespace {

bool isContinuation(uchar b)
{
    return (b & 0xC0) == 0x80;
}

// Noncharacters and the byte-order mark go the slow way: how Qt treats them is
// its decoder's business, not a copy of it here.
bool isPlainCharacter(char32_t c)
{
    return !(c >= 0xFDD0 && c <= 0xFDEF) && (c & 0xFFFE) != 0xFFFE && c != 0xFEFF;
}

// The UTF-16 of well-formed UTF-8 at `out` (room for bytes.size() units: no
// sequence gives more units than it has bytes); -1 at the first thing that is
// not a plain character in its shortest form.
qsizetype decodeWellFormed(QByteArrayView bytes, char16_t *out)
{
    const auto *in = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype n = bytes.size();
    char16_t *o = out;
    qsizetype i = 0;
    while (i < n) {
        const uchar b = in[i];
        if (b < 0x80) {
            *o++ = b;
            ++i;
        } else if (b >= 0xC2 && b < 0xE0) {
            if (i + 1 >= n || !isContinuation(in[i + 1]))
                return -1;
            *o++ = char16_t((b & 0x1F) << 6 | (in[i + 1] & 0x3F));
            i += 2;
        } else if (b >= 0xE0 && b < 0xF0) {
            if (i + 2 >= n || !isContinuation(in[i + 1]) || !isContinuation(in[i + 2]))
                return -1;
            const char32_t c = char32_t(b & 0x0F) << 12 | char32_t(in[i + 1] & 0x3F) << 6
                | char32_t(in[i + 2] & 0x3F);
            if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF) || !isPlainCharacter(c))
                return -1;
            *o++ = char16_t(c);
            i += 3;
        } else if (b >= 0xF0 && b < 0xF5) {
            if (i + 3 >= n || !isContinuation(in[i + 1]) || !isContinuation(in[i + 2])
                || !isContinuation(in[i + 3]))
                return -1;
            const char32_t c = char32_t(b & 0x07) << 18 | char32_t(in[i + 1] & 0x3F) << 12
                | char32_t(in[i + 2] & 0x3F) << 6 | char32_t(in[i + 3] & 0x3F);
            if (c < 0x10000 || c > 0x10FFFF || !isPlainCharacter(c))
                return -1;
            *o++ = char16_t(0xD800 + ((c - 0x10000) >> 10));
            *o++ = char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
            i += 4;
        } else {
            return -1;
        }
    }
    return o - out;
}

} // namespace

QStringView decodeInto(QByteArrayView bytes, std::u16string &buffer)
{
    if (buffer.size() < size_t(bytes.size()))
        buffer.resize(std::max(size_t(bytes.size()), buffer.size() * 2));
    if (const qsizetype length = decodeWellFormed(bytes, buffer.data()); length >= 0)
        return QStringView(buffer.data(), length);
    // Rare, and Qt's versions differ on details such as a leading mark: the
    // string QString makes is copied, whatever it is.
    const QString text = QString::fromUtf8(bytes);
    if (buffer.size() < size_t(text.size()))
        buffer.resize(size_t(text.size()));
    std::copy_n(text.utf16(), text.size(), buffer.data());
    return QStringView(buffer.data(), text.size());
}

} // namespace Utf8
