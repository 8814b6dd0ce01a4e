#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>
#include <optional>

// The one place where numbers and dates become text and text becomes a number.
// Everything here is independent of the C and Qt locale.

// Rounds to two decimals, halves away from zero: |x| * 100, below 10^11 read
// as the decimal its fifteen significant digits give (so 25.25 × 158.42,
// 4000.105 on paper, is 4000.11), + 1e-12, rounded up from .5, sign restored. A result of
// -0 is returned as 0.
double round2(double x);

// The leading decimal number of a text, as atof reads it, after full-width ASCII
// forms (U+FF01..U+FF5E, U+FFE5, U+FFE3) and the ideographic space U+3000 have been
// turned into their ASCII counterparts. Leading blanks are skipped; hexadecimal,
// "inf" and "nan" are not numbers. 0 when the text does not start with a number,
// and 0 for a number too large for a double, so that no infinity reaches a record.
double number(QStringView text);

// The number a whole text means, as a spreadsheet reads it: blanks around it,
// full-width forms (as number() turns them) and digit grouping with commas
// ("1,234.5", every group after the first of three digits) are allowed; the
// rest must be one decimal number (an exponent allowed). Nothing when any
// part of the text is not, so "12abc" is never read as 12. A blank text
// means 0, as an empty cell does. Wherever a typed or imported text is about
// to be booked, this is the reading to use; number() stays for texts the
// program wrote itself.
std::optional<double> wholeNumber(QStringView text);

// "%.13g": at most 13 significant digits, no trailing zeros. -0 gives "0".
// From 10^11 to 10^15, where thirteen digits no longer reach the cents, the
// value to the cent instead ("1219326222237.46", "120000000000"), so no stock
// value or amount is shown short of what is booked; wholeNumber() reads it
// back as round2 of the value.
QString numberText(double value);
// A sum of money as a booked note shows it: round2, then exactly two
// decimals, no exponent ("162.00", "129.60", "-0.50"). -0 gives "0.00".
QString amountText(double value);
// numberText() written at `out`, which has room for 64 units; returns the
// count. A long scan formats a number per cell and need not allocate for each.
qsizetype writeNumberText(double value, char16_t *out);

// 2011年3月7日9时5分: seconds dropped when 0, minutes too when both are 0, the
// whole time part at exactly midnight. No leading zeros.
QString dateTimeText(const QDateTime &moment);

// 2011年3月7日
QString dateText(const QDate &date);

// Date-time texts for long scans, straight from the fields of a local
// date-time: text() gives what dateTimeText(QDateTime(QDate(year, month, day),
// QTime(hour, minute, second))) gives, without building a QDateTime per value.
// Building one asks the C library for the local zone's offset (mktime reads the
// zone file on every call); here that is asked once per distinct day, to learn
// whether the zone shifts the local clock on it. A day with a shift (or out of
// the range QDateTime can place) goes the slow way, so every text is the one
// dateTimeText() would give. The day notes are taken under the time zone of the
// moment: an object lives for one scan, never across a change of zone.
class DateTimeTexts
{
public:
    QString text(int year, int month, int day, int hour, int minute, int second);
    // text() written at `out`, which has room for 64 units; returns the count.
    qsizetype write(int year, int month, int day, int hour, int minute, int second, char16_t *out);

private:
    // No date at all; a day whose every local time exists once and keeps its
    // fields; a day the zone shifts.
    enum class Day : quint8 { Invalid, Plain, Shifted };
    Day dayKind(int year, int month, int day);

    // The notes of recent days by a slot of their own (days in a scan are
    // mostly a year or two, in any order), then all of them by yyyymmdd.
    struct DayNote
    {
        qint64 day = -1;
        Day kind = Day::Invalid;
    };
    static constexpr size_t recentSlots = 1024;
    std::array<DayNote, recentSlots> recent_ {};
    QHash<qint64, Day> days_;
};

// Any record or grid value as text: texts as they are, numbers as numberText,
// date-times as dateTimeText, dates as dateText, logical values as "真"/"假".
// A null or invalid value gives the empty text.
QString valueText(const QVariant &value);
