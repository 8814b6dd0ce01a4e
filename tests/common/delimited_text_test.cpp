#include "common/delimited_text.h"

#include "support/qt_print.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Every field as "line:column=text".
QStringList fields(const QString &text, QChar separator = u',')
{
    QStringList seen;
    const bool whole = splitDelimited(text, separator, [&](int line, int column, const QString &f) {
        seen << QStringLiteral("%1:%2=%3").arg(line).arg(column).arg(f);
        return true;
    });
    EXPECT_TRUE(whole);
    return seen;
}

} // namespace

TEST(DelimitedText, QuotesDoubledQuotesAndLineBreaksInsideAField)
{
    EXPECT_EQ(fields(QStringLiteral("a,\"b,c\",\"say \"\"hi\"\"\"\r\n")),
        (QStringList {"1:1=a", "1:2=b,c", "1:3=say \"hi\""}));
    EXPECT_EQ(fields(QStringLiteral("\"two\r\nlines\",x\n\"\"\"\",\"\"")),
        (QStringList {"1:1=two\r\nlines", "1:2=x", "2:1=\"", "2:2="}));
    // A quote inside an unquoted field, and text after a closing quote, are kept.
    EXPECT_EQ(fields(QStringLiteral("5\"x,\"ab\"c\"")), (QStringList {"1:1=5\"x", "1:2=abc\""}));
    EXPECT_EQ(fields(QStringLiteral("a\t\"b\tc\"\td"), u'\t'),
        (QStringList {"1:1=a", "1:2=b\tc", "1:3=d"}));
}

TEST(DelimitedText, LineEndsEmptyLinesAndTheLastLine)
{
    EXPECT_EQ(
        fields(QStringLiteral("a\r\nb\rc\nd")), (QStringList {"1:1=a", "2:1=b", "3:1=c", "4:1=d"}));
    EXPECT_EQ(fields(QStringLiteral("a\n\n,\n")), (QStringList {"1:1=a", "2:1=", "3:1=", "3:2="}))
        << "an empty line is one empty field; a last line end adds no line";
    EXPECT_EQ(fields(QStringLiteral("a,")), (QStringList {"1:1=a", "1:2="}));
    EXPECT_TRUE(fields(QString()).isEmpty());

    int heard = 0;
    EXPECT_FALSE(splitDelimited(QStringLiteral("a,b,c\nd"), u',', [&](int, int, const QString &) {
        return ++heard < 2;
    })) << "the reader's limit stops the split";
    EXPECT_EQ(heard, 2);
}
