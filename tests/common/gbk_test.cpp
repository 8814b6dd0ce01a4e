#include "common/gbk.h"

#include <gtest/gtest.h>

namespace {

// Published GB18030 forms: GBK for the common characters, four bytes beyond.
const QString warehouseName = QStringLiteral("仓库名称");
const QByteArray warehouseNameGbk = QByteArrayLiteral("\xB2\xD6\xBF\xE2\xC3\xFB\xB3\xC6");
const QString grinning = QStringLiteral("😀"); // U+1F600
const QByteArray grinningGb18030 = QByteArrayLiteral("\x94\x39\xFC\x36");

TEST(Gbk, EncodesAndDecodesKnownForms)
{
    EXPECT_EQ(Gbk::encode(warehouseName), warehouseNameGbk);
    EXPECT_EQ(Gbk::encode(u"￥"), QByteArray("\xA3\xA4"));
    EXPECT_EQ(Gbk::encode(u"€"), QByteArray("\xA2\xE3"));
    EXPECT_EQ(Gbk::encode(grinning), grinningGb18030);
    EXPECT_EQ(Gbk::encode(u"\u0080"), QByteArray("\x81\x30\x81\x30"));
    EXPECT_EQ(Gbk::encode(u"ab c"), QByteArray("ab c"));
    EXPECT_EQ(Gbk::encode(u""), QByteArray());

    EXPECT_EQ(Gbk::decode(warehouseNameGbk), warehouseName);
    EXPECT_EQ(Gbk::decode(grinningGb18030), grinning);
    EXPECT_EQ(Gbk::decode("x=" + warehouseNameGbk + "\r\n"),
        QStringLiteral("x=") + warehouseName + QStringLiteral("\r\n"));
}

TEST(Gbk, DecodesInvalidBytesAsReplacementCharacters)
{
    EXPECT_EQ(Gbk::decode(QByteArray("a\xFF"
                                     "b")),
        u"a\uFFFDb");
    EXPECT_EQ(Gbk::decode(QByteArray("a\x80"
                                     "b")),
        u"a\uFFFDb");
    // A lead byte whose trail is not one: only the lead byte is lost.
    EXPECT_EQ(Gbk::decode(QByteArray("\xB2 x")), u"\uFFFD x");
    // A sequence cut off at the end.
    EXPECT_EQ(Gbk::decode(QByteArray("ok\xB2")), u"ok\uFFFD");
    EXPECT_EQ(Gbk::decode(QByteArray("ok\x94\x39\xFC")), u"ok\uFFFD");
}

TEST(Gbk, RoundTripsEveryCharacter)
{
    // Every BMP character (surrogates aside) and a sample of the planes above
    // come back unchanged, and the two-byte test agrees with the byte length.
    // GB18030-2022 gave a few private-use characters' forms to standard
    // characters; a converter following it has none for them left, and they
    // become U+FFFD. Those must stay a handful.
    const QByteArray replacement = Gbk::encode(u"\uFFFD");
    int twoByte = 0, unmapped = 0;
    for (char32_t c = 1; c < 0x110000; c += c < 0x10000 ? 1 : 97) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        const QString text = QString::fromUcs4(&c, 1);
        const QByteArray bytes = Gbk::encode(text);
        ASSERT_EQ(Gbk::byteLength(text), bytes.size()) << std::hex << unsigned(c);
        const bool inGbk = bytes.size() <= 2;
        ASSERT_EQ(Gbk::canEncode(text), inGbk) << std::hex << unsigned(c);
        QByteArray appended("x");
        ASSERT_EQ(Gbk::appendGbk(text + u'y', appended), inGbk) << std::hex << unsigned(c);
        ASSERT_EQ(appended, inGbk ? "x" + bytes + "y" : QByteArray("x")) << std::hex << unsigned(c);
        if (bytes == replacement && c != 0xFFFD) {
            ASSERT_TRUE(c >= 0xE000 && c <= 0xF8FF) << std::hex << unsigned(c);
            ++unmapped;
            continue;
        }
        ASSERT_EQ(Gbk::decode(bytes), text) << std::hex << unsigned(c);
        twoByte += bytes.size() == 2;
    }
    EXPECT_LE(unmapped, 24);
    // GBK has 21886 two-byte characters, user-defined areas included.
    EXPECT_GT(twoByte, 21000);
    EXPECT_LT(twoByte, 24000);
}

TEST(Gbk, CanEncodeOnlyTwoByteCharacters)
{
    EXPECT_TRUE(Gbk::canEncode(u""));
    EXPECT_TRUE(Gbk::canEncode(u"abc 123"));
    EXPECT_TRUE(Gbk::canEncode(warehouseName + QStringLiteral("ABC￥€")));
    EXPECT_FALSE(Gbk::canEncode(QStringLiteral("仓库") + grinning));
    EXPECT_FALSE(Gbk::canEncode(u"𠀀"));
    EXPECT_FALSE(Gbk::canEncode(u"a\u0080"));
    const QChar lone[] = {u'a', QChar(0xD83D), u'b'};
    EXPECT_FALSE(Gbk::canEncode(QStringView(lone, 3)));
}

TEST(Gbk, CountsBytes)
{
    EXPECT_EQ(Gbk::byteLength(u""), 0);
    EXPECT_EQ(Gbk::byteLength(u"abc"), 3);
    EXPECT_EQ(Gbk::byteLength(warehouseName), 8);
    EXPECT_EQ(Gbk::byteLength(u"宋体 9"), 6);
    EXPECT_EQ(Gbk::byteLength(QStringLiteral("a") + grinning), 5);
    // An unpaired surrogate counts as the replacement character it becomes.
    const QChar lone[] = {QChar(0xDC00), u'x'};
    EXPECT_EQ(Gbk::byteLength(QStringView(lone, 2)), 5);
    EXPECT_EQ(Gbk::encode(QStringView(lone, 2)), QByteArray("\x84\x31\xA4\x37x"));
}

TEST(Gbk, CutsWithoutSplittingCharacters)
{
    EXPECT_EQ(Gbk::lastBytes(warehouseName, 3), u"称");
    EXPECT_EQ(Gbk::lastBytes(warehouseName, 4), u"名称");
    EXPECT_EQ(Gbk::lastBytes(warehouseName, 8), warehouseName);
    EXPECT_EQ(Gbk::lastBytes(warehouseName, 100), warehouseName);
    EXPECT_EQ(Gbk::lastBytes(warehouseName, 1), u"");
    EXPECT_EQ(Gbk::lastBytes(warehouseName, 0), u"");
    EXPECT_EQ(Gbk::lastBytes(warehouseName, -5), u"");
    EXPECT_EQ(Gbk::lastBytes(u"ab仓", 3), u"b仓");
    EXPECT_EQ(Gbk::lastBytes(u"abcdef", 2), u"ef");
    EXPECT_EQ(Gbk::lastBytes(QStringLiteral("a") + grinning + QStringLiteral("b"), 4), u"b");
    EXPECT_EQ(Gbk::lastBytes(QStringLiteral("a") + grinning + QStringLiteral("b"), 5),
        grinning + QStringLiteral("b"));

    EXPECT_EQ(Gbk::firstBytes(warehouseName, 3), u"仓");
    EXPECT_EQ(Gbk::firstBytes(warehouseName, 8), warehouseName);
    EXPECT_EQ(Gbk::firstBytes(warehouseName, 1), u"");
    EXPECT_EQ(Gbk::firstBytes(u"仓ab", 3), u"仓a");
    EXPECT_EQ(Gbk::firstBytes(u"abcdef", 2), u"ab");
    EXPECT_EQ(Gbk::firstBytes(grinning + QStringLiteral("b"), 3), u"");
    EXPECT_EQ(Gbk::firstBytes(grinning + QStringLiteral("b"), 4), grinning);
    // A cut that stops short of a wide character does not take later narrow ones.
    EXPECT_EQ(Gbk::firstBytes(u"a仓b", 2), u"a");
}

TEST(Gbk, CutsAreTheLongestThatFit)
{
    const QString text = QStringLiteral("库存a") + grinning + QStringLiteral("b名 称𠀀c\u00E9d");
    const int total = Gbk::byteLength(text);
    for (int n = 0; n <= total + 1; ++n) {
        const QString head = Gbk::firstBytes(text, n);
        const QString tail = Gbk::lastBytes(text, n);
        ASSERT_TRUE(text.startsWith(head)) << n;
        ASSERT_TRUE(text.endsWith(tail)) << n;
        ASSERT_LE(Gbk::byteLength(head), n);
        ASSERT_LE(Gbk::byteLength(tail), n);
        if (head.size() < text.size()) {
            // One more character (a pair counts as one) would not fit.
            const qsizetype next = text[head.size()].isHighSurrogate() ? 2 : 1;
            ASSERT_GT(Gbk::byteLength(text.left(head.size() + next)), n) << n;
        }
        if (tail.size() < text.size()) {
            const qsizetype before = text.size() - tail.size();
            const qsizetype previous = text[before - 1].isLowSurrogate() ? 2 : 1;
            ASSERT_GT(Gbk::byteLength(text.right(tail.size() + previous)), n) << n;
        }
    }
}

} // namespace
