#pragma once

// What a storekeeper works out by hand, written apart from the program so
// that the session can hold the program to it: cents rounded half away from
// zero, numbers read as a person reads a typed text, the texts a number or a
// moment is shown as, and the history lines, ledger and period lists the
// books must show. Nothing here calls the program's own arithmetic or texts.

#include <QDateTime>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <optional>

namespace Oracle {

// To the cent, halves away from zero (2.345 is 2.35). Money here is always a
// sum of cents, so a margin far below a cent decides the halves.
inline double cents(double x)
{
    const long double scaled = std::fabs(static_cast<long double>(x)) * 100.0L + 1e-7L;
    const double rounded = double(std::floor(scaled + 0.5L) / 100.0L);
    return rounded == 0 ? 0.0 : std::copysign(rounded, x);
}

// Price times quantity to the cent, worked in whole units of 10^-8 as on
// paper: both have at most eight decimals, so the product is exact before it
// is rounded, however large.
inline double amount(double price, double quantity)
{
    const __int128 product = static_cast<__int128>(std::llround(price * 1e8))
        * static_cast<__int128>(std::llround(quantity * 1e8)); // in 10^-16
    const __int128 unit = static_cast<__int128>(100000000) * 1000000; // a cent
    const __int128 magnitude = product < 0 ? -product : product;
    const double rounded = double((magnitude + unit / 2) / unit) / 100.0;
    return product < 0 ? -rounded : rounded;
}

// A typed number: blanks around it, full-width digits and signs, commas
// between groups of three digits; anything else makes it no number. Blank is
// 0, as an empty cell.
inline std::optional<double> typed(const QString &text)
{
    QString ascii;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        ascii += u == 0x3000 ? QChar(u' ') : u >= 0xFF01 && u <= 0xFF5E ? QChar(u - 0xFEE0) : c;
    }
    ascii = ascii.trimmed();
    if (ascii.isEmpty())
        return 0.0;
    static const QRegularExpression form(QStringLiteral(
        R"(^[+-]?(\d{1,3}(,\d{3})+|\d+)(\.\d*)?([eE][+-]?\d+)?$|^[+-]?\.\d+([eE][+-]?\d+)?$)"));
    if (!form.match(ascii).hasMatch())
        return std::nullopt;
    const double value = QString(ascii).remove(u',').toDouble(); // C locale
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// A number as the list and the history lines show it: up to 13 significant
// digits, no trailing zeros; from 10^11, where that would cut the cents off,
// to the cent.
inline QString shown(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    char buffer[64];
    if (std::fabs(value) >= 1e11 && std::fabs(value) < 1e15) {
        std::snprintf(buffer, sizeof buffer, "%.2f", cents(value));
        QString text = QString::fromLatin1(buffer);
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
        return text;
    }
    std::snprintf(buffer, sizeof buffer, "%.13g", value);
    return QString::fromLatin1(buffer);
}

// An amount as a booked note shows it: always two decimals.
inline QString money(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", cents(value));
    return QString::fromLatin1(buffer);
}

// 2011年3月7日9时5分: no leading zeros; seconds left out when 0, minutes too
// when both are, the time at midnight.
inline QString when(const QDateTime &moment)
{
    if (!moment.isValid())
        return QString();
    const QDate d = moment.date();
    const QTime t = moment.time();
    QString text = QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day());
    if (t.hour() || t.minute() || t.second())
        text += QStringLiteral("%1时").arg(t.hour());
    if (t.minute() || t.second())
        text += QStringLiteral("%1分").arg(t.minute());
    if (t.second())
        text += QStringLiteral("%1秒").arg(t.second());
    return text;
}

inline QString day(const QDate &d)
{
    return QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day());
}

} // namespace Oracle
