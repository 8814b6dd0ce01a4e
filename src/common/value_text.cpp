#include "common/value_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

double round2(double x)
{
    double scaled = std::fabs(x) * 100;
    // A product of amounts carries binary noise far below its last decimal:
    // 4000.005 on paper is 4000.00499999... in binary and would round down.
    // Read at fifteen significant digits, as the decimal it stands for, it
    // rounds as it does by hand.
    char digits[32];
    // From 10^13 on fifteen digits would cut into the hundredths of a cent.
    const auto written
        = std::to_chars(digits, digits + sizeof digits, scaled, std::chars_format::general, 15);
    if (scaled < 1e13 && written.ec == std::errc())
        (void)std::from_chars(digits, written.ptr, scaled);
    const double magnitude = std::floor(scaled + 1e-12 + 0.5) / 100;
    // Adding 0 turns a -0 into +0, so no "-0" ever reaches a text or a record.
    return (x < 0 ? -magnitude : magnitude) + 0.0;
}

namespace {

// The single-byte counterpart of a GBK full-width form (the row with lead byte
// 0xA3) or of the ideographic space; any other character is left as it is.
char16_t narrowed(char16_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        return char16_t(c - 0xFF01 + 0x21);
    if (c == 0xFFE5) // ￥ sits where '$' is in the row
        return u'$';
    if (c == 0xFFE3) // ￣ sits where '~' is
        return u'~';
    if (c == 0x3000)
        return u' ';
    return c;
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// The white space atof skips in the C locale.
bool isCSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

} // namespace

double number(QStringView text)
{
    static constexpr double powers[]
        = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto at = [&](qsizetype k) {
        return k < n ? narrowed(text[k].unicode()) : char16_t(0);
    };
    while (isCSpace(at(i)))
        ++i;
    const bool negative = at(i) == u'-';
    if (at(i) == u'+' || at(i) == u'-')
        ++i;

    // The mantissa's digits are also read as a whole number m: a plain decimal
    // of at most 15 digits is m / 10^k with both exact doubles, so the one
    // division rounds correctly, as a full conversion would.
    const qsizetype mantissa = i;
    quint64 whole = 0;
    int digits = 0, decimals = 0;
    for (; isDigit(at(i)); ++i, ++digits)
        whole = whole * 10 + (at(i) - u'0');
    if (at(i) == u'.')
        for (++i; isDigit(at(i)); ++i, ++digits, ++decimals)
            whole = whole * 10 + (at(i) - u'0');
    if (digits == 0)
        return 0;
    qsizetype end = i;
    if (at(i) == u'e' || at(i) == u'E') {
        qsizetype k = i + 1;
        if (at(k) == u'+' || at(k) == u'-')
            ++k;
        if (isDigit(at(k))) {
            while (isDigit(at(k)))
                ++k;
            end = k;
        }
    }
    if (end == i && digits <= 15) {
        const double magnitude = double(whole) / powers[decimals];
        return negative ? -magnitude : magnitude;
    }

    // Anything else goes through from_chars, which never looks at the C
    // locale's decimal point, from the number's ASCII form.
    std::string ascii;
    for (qsizetype k = mantissa; k < end; ++k)
        ascii += char(at(k));
    double value = 0;
    const auto [stop, error] = std::from_chars(
        ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::general);
    Q_UNUSED(stop);
    // Too large or too small for a double: 0 keeps the arithmetic finite.
    if (error != std::errc() || !std::isfinite(value))
        return 0;
    return negative ? -value : value;
}

namespace {

// Whether `digits` is an integer part with its thousands marked by commas:
// one to three digits, then groups of exactly three.
bool isGroupedInteger(std::string_view digits)
{
    size_t group = 0;
    bool first = true;
    for (const char c : digits) {
        if (c == ',') {
            if (group == 0 || group > 3 || (!first && group != 3))
                return false;
            first = false;
            group = 0;
        } else if (c >= '0' && c <= '9') {
            ++group;
        } else {
            return false;
        }
    }
    return !first && group == 3;
}

} // namespace

std::optional<double> wholeNumber(QStringView text)
{
    std::string ascii;
    ascii.reserve(size_t(text.size()));
    for (const QChar c : text) {
        const char16_t narrow = narrowed(c.unicode());
        if (narrow > 0x7E && !isCSpace(narrow))
            return std::nullopt;
        ascii += char(narrow);
    }
    size_t begin = 0, end = ascii.size();
    while (begin < end && isCSpace(char16_t(ascii[begin])))
        ++begin;
    while (end > begin && isCSpace(char16_t(ascii[end - 1])))
        --end;
    if (begin == end)
        return 0.0;
    std::string_view body(ascii.data() + begin, end - begin);
    const bool negative = body.front() == '-';
    if (body.front() == '+' || body.front() == '-')
        body.remove_prefix(1);
    // Digit grouping is allowed in the integer part only, and only whole.
    const size_t integerEnd = std::min(body.find_first_of(".eE"), body.size());
    std::string plain;
    if (body.substr(0, integerEnd).find(',') != std::string_view::npos) {
        if (!isGroupedInteger(body.substr(0, integerEnd)))
            return std::nullopt;
        for (const char c : body)
            if (c != ',')
                plain += c;
        body = plain;
    }
    // from_chars takes no sign, no blanks and no hexadecimal, "inf" or "nan"
    // in general format: what is left must be one plain decimal number.
    if (body.empty() || !(isDigit(char16_t(body.front())) || body.front() == '.'))
        return std::nullopt;
    double value = 0;
    const auto [stop, error] = std::from_chars(
        body.data(), body.data() + body.size(), value, std::chars_format::general);
    if (error != std::errc() || stop != body.data() + body.size() || !std::isfinite(value))
        return std::nullopt;
    return (negative ? -value : value) + 0.0;
}

namespace {

// numberText()'s characters into `buffer` (64 bytes); returns their count.
// round2 of the value, trailing zeros of its two decimals dropped.
qsizetype formatToTheCent(double value, char *buffer)
{
    const char *end
        = std::to_chars(buffer, buffer + 64, round2(value), std::chars_format::fixed, 2).ptr;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    return end - buffer;
}

qsizetype formatNumber(double value, char *buffer)
{
    if (value == 0) {
        buffer[0] = '0';
        return 1;
    }
    // Whole numbers of up to 13 digits, most of a stock list, come out of
    // "%.13g" as their digits: the integer conversion gives them several times
    // faster.
    const double magnitude = std::fabs(value);
    if (magnitude < 1e13 && value == std::trunc(value))
        return std::to_chars(buffer, buffer + 64, qint64(value)).ptr - buffer;
    // From 10^11 thirteen digits no longer reach the cents: a stock value of
    // 1219326222237.46 would show as 1219326222237. Up to 10^15, where a
    // double still holds the cents, such a number is written to the cent.
    if (magnitude >= 1e11 && magnitude < 1e15)
        return formatToTheCent(value, buffer);
    // Between 1e-4 and 1e13 "%.13g" writes plain decimals. When the shortest
    // decimals that read back as the value have at most 13 significant digits,
    // they are what "%.13g" gives: the value lies far closer to them than half
    // a unit of the 13th digit, so rounding it there lands on them. Prices and
    // amounts are such numbers, and the shortest form is many times quicker
    // than a conversion with a precision.
    if (magnitude >= 1e-4 && magnitude < 1e13) {
        // Most of them have at most four decimals: the value is the double
        // nearest to m / 10000 for a whole m, and the digits of m are those
        // decimals. Dividing a whole m below 2^53 rounds correctly, so the
        // test is exact.
        const double scaled = std::round(value * 10000);
        if (std::fabs(scaled) < 1e13 && scaled / 10000 == value) {
            qint64 m = qint64(std::fabs(scaled));
            char *out = buffer;
            if (value < 0)
                *out++ = '-';
            out = std::to_chars(out, buffer + 64, m / 10000).ptr;
            int decimals = int(m % 10000);
            int places = 4;
            while (decimals % 10 == 0) {
                decimals /= 10;
                --places;
            }
            *out++ = '.';
            for (int p = places - 1; p >= 0; --p) {
                out[p] = char('0' + decimals % 10);
                decimals /= 10;
            }
            return out + places - buffer;
        }
        const auto [end, error]
            = std::to_chars(buffer, buffer + 64, value, std::chars_format::fixed);
        if (error == std::errc()) {
            int digits = 0;
            bool leading = true;
            for (const char *p = buffer; p != end; ++p) {
                if (*p < '0' || *p > '9' || (leading && *p == '0'))
                    continue;
                leading = false;
                ++digits;
            }
            if (digits <= 13)
                return end - buffer;
        }
    }
    // to_chars with a precision is printf's "%.13g" in the C locale.
    const auto [end, error]
        = std::to_chars(buffer, buffer + 64, value, std::chars_format::general, 13);
    return error == std::errc() ? end - buffer : 0;
}

} // namespace

QString numberText(double value)
{
    char buffer[64];
    return QString::fromLatin1(buffer, formatNumber(value, buffer));
}

QString amountText(double value)
{
    // Past 1e60 fixed notation would not fit; no stock value comes near.
    const double rounded = round2(value);
    if (!std::isfinite(rounded) || std::fabs(rounded) >= 1e60)
        return numberText(rounded);
    char buffer[80];
    const auto [end, error]
        = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, 2);
    return error == std::errc() ? QString::fromLatin1(buffer, end - buffer) : numberText(rounded);
}

qsizetype writeNumberText(double value, char16_t *out)
{
    char buffer[64];
    const qsizetype length = formatNumber(value, buffer);
    for (qsizetype i = 0; i < length; ++i)
        out[i] = char16_t(uchar(buffer[i]));
    return length;
}

namespace {

// Decimal digits of a number, written at `out`; returns the end. No QString::arg:
// long scans format hundreds of thousands of dates.
char16_t *putNumber(char16_t *out, qint64 value)
{
    if (value >= 0 && value < 100) { // months, days, times
        if (value >= 10)
            *out++ = char16_t(u'0' + value / 10);
        *out++ = char16_t(u'0' + value % 10);
        return out;
    }
    if (value >= 1000 && value < 10000) { // years
        for (int place = 3; place >= 0; --place, value /= 10)
            out[place] = char16_t(u'0' + value % 10);
        return out + 4;
    }
    if (value < 0) {
        *out++ = u'-';
        value = -value;
    }
    char16_t digits[20];
    int n = 0;
    do {
        digits[n++] = char16_t(u'0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0)
        *out++ = digits[--n];
    return out;
}

// The text of valid fields, the date and then the time as far as it is not
// zero, written at `out`; returns the end. Never more than 64 units.
char16_t *putFields(
    char16_t *out, qint64 year, int month, int day, int hour, int minute, int second)
{
    out = putNumber(out, year);
    *out++ = u'年';
    out = putNumber(out, month);
    *out++ = u'月';
    out = putNumber(out, day);
    *out++ = u'日';
    if (hour != 0 || minute != 0 || second != 0) {
        out = putNumber(out, hour);
        *out++ = u'时';
        if (minute != 0 || second != 0) {
            out = putNumber(out, minute);
            *out++ = u'分';
            if (second != 0) {
                out = putNumber(out, second);
                *out++ = u'秒';
            }
        }
    }
    return out;
}

QString fieldsText(qint64 year, int month, int day, int hour, int minute, int second)
{
    char16_t buffer[64];
    const char16_t *end = putFields(buffer, year, month, day, hour, minute, second);
    return QString(reinterpret_cast<const QChar *>(buffer), end - buffer);
}

} // namespace

QString dateText(const QDate &date)
{
    if (!date.isValid())
        return {};
    return fieldsText(date.year(), date.month(), date.day(), 0, 0, 0);
}

QString dateTimeText(const QDateTime &moment)
{
    if (!moment.isValid())
        return {};
    const QDate date = moment.date();
    const QTime time = moment.time();
    return fieldsText(
        date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second());
}

DateTimeTexts::Day DateTimeTexts::dayKind(int year, int month, int day)
{
    const qint64 key = (qint64(year) * 100 + month) * 100 + day;
    // Consecutive days take consecutive slots: a year's days never share one.
    DayNote &note = recent_[size_t(qint64(year) * 372 + month * 31 + day) % recentSlots];
    if (note.day == key)
        return note.kind;
    auto it = days_.constFind(key);
    if (it == days_.cend()) {
        // The zone's offset at both ends of the day, each time kept as given:
        // then no transition falls inside (zones change their offset at most
        // once a day), so no local time of the day is skipped or moved.
        const QDate date(year, month, day);
        const QTime first(0, 0), last(23, 59, 59);
        const QDateTime start(date, first), end(date, last);
        const bool plain = start.isValid() && end.isValid() && start.date() == date
            && start.time() == first && end.date() == date && end.time() == last
            && start.offsetFromUtc() == end.offsetFromUtc();
        it = days_.insert(key, !date.isValid() ? Day::Invalid : plain ? Day::Plain : Day::Shifted);
    }
    note = {key, it.value()};
    return note.kind;
}

QString DateTimeTexts::text(int year, int month, int day, int hour, int minute, int second)
{
    char16_t buffer[64];
    const qsizetype length = write(year, month, day, hour, minute, second, buffer);
    return QString(reinterpret_cast<const QChar *>(buffer), length);
}

qsizetype DateTimeTexts::write(
    int year, int month, int day, int hour, int minute, int second, char16_t *out)
{
    const Day kind = dayKind(year, month, day);
    if (kind == Day::Invalid)
        return 0;
    // QDateTime takes an impossible time of a valid day as midnight.
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        hour = minute = second = 0;
    if (kind == Day::Plain)
        return putFields(out, year, month, day, hour, minute, second) - out;
    const QDate date(year, month, day);
    const QString slow = dateTimeText(QDateTime(date, QTime(hour, minute, second)));
    const qsizetype length = std::min<qsizetype>(slow.size(), 64);
    std::copy_n(slow.utf16(), length, out);
    return length;
}

QString valueText(const QVariant &value)
{
    if (!value.isValid())
        return {};
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return numberText(value.toDouble());
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("真") : QStringLiteral("假");
    case QMetaType::QDateTime:
        return dateTimeText(value.toDateTime());
    case QMetaType::QDate:
        return dateText(value.toDate());
    case QMetaType::Nullptr:
        return {};
    default:
        return value.toString();
    }
}
