#include "common/value_text.h"

#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

TEST(Round2, RoundsHalvesAwayFromZeroAndNeverGivesNegativeZero)
{
    // 1.005 is stored as 1.00499999999999989...; the 1e-12 nudge still lifts it.
    const std::pair<double, double> cases[]
        = {{2.345, 2.35}, {-2.345, -2.35}, {0.125, 0.13}, {-0.125, -0.13}, {1.005, 1.01},
            {2.344, 2.34}, {-2.3449, -2.34}, {12.5, 12.5}, {1234567.891, 1234567.89},
            {-0.005, -0.01}, {-0.0, 0}, {-0.001, 0}, {-0.004999, 0}, {-1e-300, 0},
            // Products of amounts, halves on paper, a hair below in binary.
            {25.25 * 158.42, 4000.11}, {1608.35 * 11.45, 18415.61}, {-25.25 * 158.42, -4000.11},
            {1219326222237.4639, 1219326222237.46}, {98765432101234.56, 98765432101234.56}};
    for (const auto &[x, expected] : cases) {
        const double rounded = round2(x);
        EXPECT_EQ(rounded, expected) << x;
        EXPECT_EQ(std::signbit(rounded), std::signbit(expected)) << x;
    }
}

TEST(Number, ReadsTheLeadingDecimalNumberInAnyWidth)
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
        // No hex, infinity or NaN.
        {u"0x10", 0},
        {u"0X1p3", 0},
        {u"inf", 0},
        {u"-infinity", 0},
        {u"nan", 0},
        {u"NAN(1)", 0},
        // Full-width forms and the ideographic space; other digits
        // (Arabic-Indic, circled) are not part of the full-width row.
        {u"１２．５", 12.5},
        {u"－３", -3},
        {u"＋．５", 0.5},
        {u"１ｅ２", 100},
        {u"２Ｅ－１", 0.2},
        {u"\u3000\u3000８", 8},
        {u"１２个", 12},
        {u"\u0663", 0},
        {u"\u2460", 0},
        // Long mantissas, exactly.
        {u"0.1", 0.1},
        {u"123456789012345678901234567890", 1.2345678901234568e29},
        {u"0.30000000000000004", 0.1 + 0.2},
    };
    for (const auto &c : cases)
        EXPECT_EQ(number(QStringView(c.text)), c.expected)
            << QString::fromUtf16(c.text).toStdString();
}

// Short decimals, the quantities and prices of every table, are read
// without a general conversion; their values must be those a correctly
// rounding conversion gives, digit counts on both sides of the cut included.
TEST(Number, ReadsDecimalsOfEveryLengthAsACorrectConversionDoes)
{
    std::mt19937_64 random(7);
    for (int round = 0; round < 300000; ++round) {
        std::string digits;
        const int whole = int(random() % 18), decimals = int(random() % 12);
        for (int i = 0; i < whole; ++i)
            digits += char('0' + random() % 10);
        if (decimals > 0 || random() % 4 == 0)
            digits += '.';
        for (int i = 0; i < decimals; ++i)
            digits += char('0' + random() % 10);
        double expected = 0;
        if (whole + decimals > 0)
            std::from_chars(digits.data(), digits.data() + digits.size(), expected);
        const bool negative = random() % 3 == 0;
        const std::string suffix[] = {"", "元", " kg", "e", "e2", ".5", "x"};
        const std::string &tail = suffix[random() % std::size(suffix)];
        const QString text = QString::fromStdString((negative ? "-" : " ") + digits + tail);
        if (tail == "e2" || (tail == ".5" && digits.find('.') == std::string::npos))
            continue; // another number; the cases above cover those
        ASSERT_EQ(number(text), negative ? -expected : expected) << text.toStdString();
    }
}

TEST(NumberText, FormatsLikePercentPoint13g)
{
    const std::pair<double, const char16_t *> cases[] = {{2.33, u"2.33"}, {15, u"15"},
        {0.1 + 0.2, u"0.3"}, {1e20, u"1e+20"}, {1234567890123456, u"1.234567890123e+15"},
        {1234567890123, u"1234567890123"}, {0.0001, u"0.0001"}, {0.00001, u"1e-05"},
        {-2.5, u"-2.5"}, {-0.0, u"0"}, {0.0, u"0"}, {1.0 / 3, u"0.3333333333333"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(numberText(value), QStringView(text)) << value;
    // Money keeps two decimals, rounded as bookings round, never an exponent.
    const std::pair<double, const char16_t *> amounts[]
        = {{162, u"162.00"}, {129.6, u"129.60"}, {-0.004, u"0.00"}, {1.005, u"1.01"},
            {-2.5, u"-2.50"}, {1219326222237.4639, u"1219326222237.46"}};
    for (const auto &[value, text] : amounts)
        EXPECT_EQ(amountText(value), QStringView(text)) << value;
}

TEST(NumberText, AgreesWithAPrecisionOf13OnPricesAmountsAndRandomDoubles)
{
    // Money and quantities (cents, thousandths, their sums and products),
    // values at the edges of the plain form and of exact integers, a range of
    // whole numbers and hundredths, and random bit patterns.
    std::vector<double> values = {1e-4, 9.999999999999e-5, 0.00012345678901234, 9999999999999.5,
        999999999999.99, 0.1 * 3, 1.005, 2.675, -0.0001, 0.99995, 999999999.9999, 1e9 + 0.5,
        123456.789012345, 1e13 - 0.5, 5e-324, 1.7e308, 1, -1, 9999999999999, -9999999999999, 1e13,
        -1e13, 1e15, 4503599627370496, 9007199254740993.0, 1e300, -1e300, 0.5, -0.5, 12.5, 1e-5,
        123456789.125, 99999.99};
    for (int i = -2000; i <= 2000; ++i) {
        values.push_back(i);
        values.push_back(i / 100.0);
        values.push_back(i * 1234567.0);
        values.push_back(i * 0.37);
    }
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 200000; ++i) {
        const double cents = double(qint64(random() % 100000000000)) / 100;
        const double thousandths = double(qint64(random() % 10000000)) / 1000;
        values.push_back(cents);
        values.push_back(-thousandths);
        values.push_back(cents * thousandths);
        values.push_back(cents + thousandths / 7);
        values.push_back(-double(qint64(random() % 100000000000000000)) / 10000);
        const quint64 bits = random();
        double any;
        std::memcpy(&any, &bits, sizeof any);
        if (std::isfinite(any))
            values.push_back(any);
    }
    // to_chars with a precision is "%.13g" in the C locale, whatever the
    // process's locale (the tests also run under one with a decimal comma).
    char expected[64] = {};
    for (const double value : values) {
        if (std::fabs(value) >= 1e11 && std::fabs(value) < 1e15)
            continue; // written to the cent instead, tested below
        *std::to_chars(expected, expected + 63, value, std::chars_format::general, 13).ptr = 0;
        const QString wanted = value == 0 ? QStringLiteral("0") : QString::fromLatin1(expected);
        ASSERT_EQ(numberText(value), wanted) << expected;
        char16_t written[64];
        ASSERT_EQ(QStringView(written, writeNumberText(value, written)), wanted) << expected;
    }
}

TEST(NumberText, RoundTripsThroughNumber)
{
    for (double x : {0.01, 2.35, -17.5, 99999.99, 1e-7, 3.14159265358979}) {
        const QString text = numberText(x);
        EXPECT_EQ(numberText(number(text)), text);
        EXPECT_NEAR(number(text), x, std::fabs(x) * 1e-12);
    }
}

TEST(NumberText, KeepsTheCentsOfLargeAmountsAndIsPrintfsBelow)
{
    const std::pair<double, const char16_t *> cases[] = {{0.999, u"0.999"}, {12.5, u"12.5"},
        {99999999999.99, u"99999999999.99"}, {1219326222237.4639, u"1219326222237.46"},
        {-120000000000.1, u"-120000000000.1"}, {1e11, u"100000000000"}, {1e20, u"1e+20"}};
    for (const auto &[value, text] : cases)
        EXPECT_EQ(numberText(value), QStringView(text)) << value;
    std::mt19937_64 random(30);
    for (int i = 0; i < 100000; ++i) {
        const double cents = round2(double(qint64(random() % 7000000000000000)) / 100);
        ASSERT_EQ(wholeNumber(numberText(cents)), cents) << numberText(cents).toStdString();
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
        EXPECT_EQ(amountText(1234567.25), u"1234567.25") << name;
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

// The texts as they were made before DateTimeTexts and the integer fast path:
// the references the fast formatters must match byte for byte.
QString referenceDateTimeText(const QDateTime &moment)
{
    if (!moment.isValid())
        return {};
    const QDate d = moment.date();
    QString text = QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day());
    const QTime t = moment.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return text;
    text += QString::number(t.hour()) + u'时';
    if (t.minute() == 0 && t.second() == 0)
        return text;
    text += QString::number(t.minute()) + u'分';
    if (t.second() == 0)
        return text;
    return text + QString::number(t.second()) + u'秒';
}

// Sets the C library's time zone for a scope, as a user's system would have it.
class ZoneScope
{
public:
    explicit ZoneScope(const char *zone)
        : saved_(qgetenv("TZ"))
        , had_(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope()
    {
        if (had_)
            qputenv("TZ", saved_);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray saved_;
    bool had_;
};

// Every case compares DateTimeTexts with the QDateTime it replaces, in zones
// with and without daylight saving, across their changes (a skipped hour, a
// midnight that does not exist, a half-hour change), leap days, the ends of the
// 32-bit time range and of the four-digit years, and fields no clock has.
TEST(DateTimeTexts, MatchTheTextsOfLocalQDateTimes)
{
    const char *zones[] = {"UTC", "Asia/Shanghai", "Europe/Berlin", "America/New_York",
        "America/Sao_Paulo", "Australia/Lord_Howe"};
    for (const char *zone : zones) {
        ZoneScope scope(zone);
        DateTimeTexts texts;
        int cases = 0;
        const auto check = [&](int y, int mo, int d, int h, int mi, int s) {
            ++cases;
            const QString expected
                = referenceDateTimeText(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
            ASSERT_EQ(texts.text(y, mo, d, h, mi, s), expected)
                << zone << " " << y << "-" << mo << "-" << d << " " << h << ":" << mi << ":" << s;
        };
        // Whole years around daylight-saving rules, every hour, two minutes.
        for (const int year : {1988, 2018, 2024}) {
            for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1))
                for (int h = 0; h < 24; ++h) {
                    check(day.year(), day.month(), day.day(), h, 0, 0);
                    check(day.year(), day.month(), day.day(), h, 30, 15);
                }
        }
        // The edges of the calendar and of the time ranges.
        for (const int year :
            {1, 1582, 1600, 1899, 1900, 1901, 1969, 1970, 2000, 2037, 2038, 2039, 2100, 9999}) {
            for (int month = 1; month <= 12; ++month)
                for (const int d : {1, 13, 19, 28, 29, 30, 31})
                    for (const auto &[h, mi, s] : {std::tuple {0, 0, 0}, {3, 14, 7}, {23, 59, 59}})
                        check(year, month, d, h, mi, s);
        }
        // Fields no date or clock has: no text, or midnight of a valid day.
        for (const auto &[y, mo, d, h, mi, s] :
            {std::tuple {0, 1, 1, 0, 0, 0}, {2024, 13, 1, 9, 0, 0}, {2024, 0, 1, 9, 0, 0},
                {2024, 2, 30, 9, 0, 0}, {2023, 2, 29, 9, 0, 0}, {2024, 2, 29, 24, 0, 0},
                {2024, 2, 29, 9, 60, 0}, {2024, 2, 29, 9, 5, 60}, {2024, 2, 29, 99, 99, 99},
                {-5, 3, 1, 9, 0, 0}, {922337203, 12, 31, 23, 59, 59}, {300000000, 1, 1, 0, 0, 0}})
            check(y, mo, d, h, mi, s);
        EXPECT_GT(cases, 50000) << zone;
    }
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
