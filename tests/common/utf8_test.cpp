#include "common/utf8.h"

#include <QString>

#include <gtest/gtest.h>

#include <random>

namespace {

QString decoded(const QByteArray &bytes, std::u16string &buffer)
{
    return Utf8::decodeInto(bytes, buffer).toString();
}

// Well-formed texts as they are stored, and the shapes a damaged or foreign
// file may hold: cut and overlong sequences, surrogates, noncharacters,
// values past U+10FFFF, stray continuation bytes, byte-order marks.
TEST(Utf8, DecodesEveryShapeAsQStringDoes)
{
    const QByteArray cases[] = {"", "M10x40", "接地线 TJ-35", "材料\r\n出库", "😀 U+1F600",
        "\xEF\xBB\xBF"
        "BOM first",
        "mid \xEF\xBB\xBF BOM", "\xC3\xA9t\xC3\xA9", "\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF",
        "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xEF\xBF\xBE", "\xEF\xBF\xBF",
        "\xEF\xB7\x90", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF",
        "\xE6\x9D",
        "\xE6\x9D"
        "A",
        "\xF0\x9F\x98", "\xF0\x9F\x98\x80\xF0", "\xF4\x8F\xBF\xBF", "\xF3\xBF\xBF\xBE", "a\0b"};
    std::u16string buffer;
    for (const QByteArray &bytes : cases)
        EXPECT_EQ(decoded(bytes, buffer), QString::fromUtf8(bytes)) << bytes.toHex().constData();

    // Random texts built from well-formed pieces and from any bytes at all,
    // long and short, one after another through the same buffer.
    std::mt19937 random(20261207);
    const QByteArray pieces[] = {"a", "Z9 ", "\xC2\xA9", "\xE4\xB8\xAD", "\xE2\x82\xAC",
        "\xF0\x9F\x98\x80", "\xEF\xBB\xBF", "\xF4\x8F\xBF\xBF"};
    for (int round = 0; round < 200000; ++round) {
        QByteArray bytes;
        const int length = int(random() % 24);
        const bool wellFormed = round % 2 == 0;
        for (int i = 0; i < length; ++i) {
            if (wellFormed || random() % 4 != 0)
                bytes += pieces[random() % std::size(pieces)];
            else
                bytes += char(random() % 256);
        }
        ASSERT_EQ(decoded(bytes, buffer), QString::fromUtf8(bytes)) << bytes.toHex().constData();
    }
}

} // namespace
