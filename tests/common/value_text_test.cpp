#include "common/value_text.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

TEST(Round2, RoundsHalvesAwayFromZero)
{
    EXPECT_EQ(round2(2.345), 2.35);
    EXPECT_EQ(round2(-2.345), -2.35);
    EXPECT_EQ(round2(0.125), 0.13);
    EXPECT_EQ(round2(-0.125), -0.13);
    // 1.005 is stored as 1.00499999999999989...; the 1e-12 nudge still lifts it.
    EXPECT_EQ(round2(1.005), 1.01);
    EXPECT_EQ(round2(2.344), 2.34);
    EXPECT_EQ(round2(-2.3449), -2.34);
    EXPECT_EQ(round2(12.5), 12.5);
    EXPECT_EQ(round2(1234567.891), 1234567.89);
}

TEST(Round2, NeverGivesNegativeZero)
{
    for (double x : {-0.0, -0.001, -0.004999, -1e-300}) {
        const double rounded = round2(x);
        EXPECT_EQ(rounded, 0.0) << x;
        EXPECT_FALSE(std::signbit(rounded)) << x;
    }
    EXPECT_EQ(round2(-0.005), -0.01);
}

TEST(Number, ReadsTheLeadingDecimalNumber)
{
    const struct
    {
        const char16_t *text;
        double expected;
    } cases[] = {
        {u"", 0},
        {u"abc", 0},
        {u"12abc", 12},
        {u" 3", 3},
        {u"\t\n 4.25", 4.25},
        {u".5", 0.5},
        {u"-.5e1", -5},
        {u"+7", 7},
        {u"1e", 1},
        {u"1e+", 1},
        {u"1e-2", 0.01},
        {u"2E3x", 2000},
        {u"3.", 3},
        {u".", 0},
        {u"-", 0},
        {u"- 5", 0},
        {u"1.2.3", 1.2},
        {u"007", 7},
        {u"1,5", 1},
        {u"12 34", 12},
        {u"-0", 0},
        {u"1e-400", 0},
        {u"1e400", 0},
        {u"-1e400", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(number(QStringView(c.text)), c.expected)
            << QString::fromUtf16(c.text).toStdString();
}

TEST(Number, RefusesHexInfinityAndNan)
{
    EXPECT_EQ(number(u"0x10"), 0);
    EXPECT_EQ(number(u"0X1p3"), 0);
    EXPECT_EQ(number(u"inf"), 0);
    EXPECT_EQ(number(u"-infinity"), 0);
    EXPECT_EQ(number(u"nan"), 0);
    EXPECT_EQ(number(u"NAN(1)"), 0);
}

TEST(Number, ReadsFullWidthFormsAndIdeographicSpace)
{
    EXPECT_EQ(number(u"１２．５"), 12.5);
    EXPECT_EQ(number(u"－３"), -3);
    EXPECT_EQ(number(u"＋．５"), 0.5);
    EXPECT_EQ(number(u"１ｅ２"), 100);
    EXPECT_EQ(number(u"２Ｅ－１"), 0.2);
    EXPECT_EQ(number(u"\u3000\u3000８"), 8);
    EXPECT_EQ(number(u"１２个"), 12);
    // Other digits (Arabic-Indic, circled) are not part of the full-width row.
    EXPECT_EQ(number(u"\u0663"), 0);
    EXPECT_EQ(number(u"\u2460"), 0);
}

TEST(Number, ReadsLongMantissasExactly)
{
    EXPECT_EQ(number(u"0.1"), 0.1);
    EXPECT_EQ(number(u"123456789012345678901234567890"), 1.2345678901234568e29);
    EXPECT_EQ(number(u"0.30000000000000004"), 0.1 + 0.2);
}

TEST(NumberText, FormatsLikePercentPoint13g)
{
    EXPECT_EQ(numberText(2.33), u"2.33");
    EXPECT_EQ(numberText(15), u"15");
    EXPECT_EQ(numberText(0.1 + 0.2), u"0.3");
    EXPECT_EQ(numberText(1e20), u"1e+20");
    EXPECT_EQ(numberText(1234567890123456), u"1.234567890123e+15");
    EXPECT_EQ(numberText(1234567890123), u"1234567890123");
    EXPECT_EQ(numberText(0.0001), u"0.0001");
    EXPECT_EQ(numberText(0.00001), u"1e-05");
    EXPECT_EQ(numberText(-2.5), u"-2.5");
    EXPECT_EQ(numberText(-0.0), u"0");
    EXPECT_EQ(numberText(0.0), u"0");
    EXPECT_EQ(numberText(1.0 / 3), u"0.3333333333333");
}

TEST(NumberText, RoundTripsThroughNumber)
{
    for (double x : {0.01, 2.35, -17.5, 99999.99, 1e-7, 3.14159265358979}) {
        const QString text = numberText(x);
        EXPECT_EQ(numberText(number(text)), text);
        EXPECT_NEAR(number(text), x, std::fabs(x) * 1e-12);
    }
}

// Qt sets the C library's locale from the environment, and some locales write
// a decimal comma. Every locale on the machine that reads differently from "C"
// is tried; the conversions must not notice.
TEST(NumberText, DoesNotDependOnTheLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const QLocale savedQt;
    int tried = 0;
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8",
             "ru_RU.UTF-8", "it_IT.UTF-8", "C.UTF-8", "C"}) {
        if (!std::setlocale(LC_ALL, name))
            continue;
        ++tried;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        EXPECT_EQ(number(u"12.5"), 12.5) << name;
        EXPECT_EQ(number(u"12,5"), 12) << name;
        EXPECT_EQ(numberText(12.5), u"12.5") << name;
        EXPECT_EQ(numberText(1234567.25), u"1234567.25") << name;
        EXPECT_EQ(valueText(QVariant(0.75)), u"0.75") << name;
    }
    std::setlocale(LC_ALL, saved.c_str());
    QLocale::setDefault(savedQt);
    EXPECT_GT(tried, 0);
}

TEST(DateTimeText, DropsZeroTailsAndLeadingZeros)
{
    const QDate day(2011, 3, 7);
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(9, 5, 0))), u"2011年3月7日9时5分");
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(9, 0, 0))), u"2011年3月7日9时");
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(0, 0, 0))), u"2011年3月7日");
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(9, 5, 7))), u"2011年3月7日9时5分7秒");
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(0, 0, 7))), u"2011年3月7日0时0分7秒");
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(9, 0, 7))), u"2011年3月7日9时0分7秒");
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(0, 30, 0))), u"2011年3月7日0时30分");
    EXPECT_EQ(dateTimeText(QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59))),
        u"2024年12月31日23时59分59秒");
    // Milliseconds are not part of the text.
    EXPECT_EQ(dateTimeText(QDateTime(day, QTime(9, 5, 0, 500))), u"2011年3月7日9时5分");
    EXPECT_EQ(dateTimeText(QDateTime()), u"");
}

TEST(DateText, WritesTheDatePart)
{
    EXPECT_EQ(dateText(QDate(2011, 3, 7)), u"2011年3月7日");
    EXPECT_EQ(dateText(QDate(1999, 10, 20)), u"1999年10月20日");
    EXPECT_EQ(dateText(QDate()), u"");
}

TEST(ValueText, ConvertsEveryKindOfValue)
{
    EXPECT_EQ(valueText(QVariant(QStringLiteral(" 原样 0.50 "))), u" 原样 0.50 ");
    EXPECT_EQ(valueText(QVariant(2.5)), u"2.5");
    EXPECT_EQ(valueText(QVariant(0.1 + 0.2)), u"0.3");
    EXPECT_EQ(valueText(QVariant(42)), u"42");
    EXPECT_EQ(valueText(QVariant(qlonglong(1234567890123456))), u"1.234567890123e+15");
    EXPECT_EQ(valueText(QVariant(-0.0)), u"0");
    EXPECT_EQ(valueText(QVariant(true)), u"真");
    EXPECT_EQ(valueText(QVariant(false)), u"假");
    EXPECT_EQ(
        valueText(QVariant(QDateTime(QDate(2011, 3, 7), QTime(9, 5)))), u"2011年3月7日9时5分");
    EXPECT_EQ(valueText(QVariant(QDate(2011, 3, 7))), u"2011年3月7日");
    EXPECT_EQ(valueText(QVariant()), u"");
    EXPECT_EQ(valueText(QVariant::fromValue(nullptr)), u"");
}

} // namespace
