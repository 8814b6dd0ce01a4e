#include "data/record_values.h"

#include "common/value_text.h"
#include "data/sqlite_file.h"

#include <sqlite3.h>

namespace RecordValues {

QString columnName(int field)
{
    return QStringLiteral("c%1").arg(field);
}

QString sqlType(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text:
        return QStringLiteral("TEXT");
    case FieldKind::Number:
        return QStringLiteral("REAL");
    case FieldKind::DateTime:
    case FieldKind::Logical:
        return QStringLiteral("INTEGER");
    case FieldKind::Memo:
        break;
    }
    return {};
}

bool isKnownKind(qint64 kind)
{
    return kind >= qint64(FieldKind::Text) && kind <= qint64(FieldKind::Logical);
}

qint64 packDateTime(const QDateTime &moment)
{
    if (!moment.isValid())
        return 0;
    const QDate d = moment.date();
    const QTime t = moment.time();
    return ((((qint64(d.year()) * 100 + d.month()) * 100 + d.day()) * 100 + t.hour()) * 100
               + t.minute())
        * 100
        + t.second();
}

QDate unpackDate(qint64 packed)
{
    if (packed <= 0)
        return {};
    const qint64 day = packed / 1000000;
    return QDate(int(day / 10000), int(day / 100 % 100), int(day % 100));
}

QDateTime unpackDateTime(qint64 packed)
{
    const QDate date = unpackDate(packed);
    if (!date.isValid())
        return {};
    const qint64 time = packed % 1000000;
    return QDateTime(date, QTime(int(time / 10000), int(time / 100 % 100), int(time % 100)));
}

QString dateTimeText(DateTimeTexts &texts, qint64 packed)
{
    char16_t buffer[64];
    const qsizetype length = writeDateTimeText(texts, packed, buffer);
    return QString(reinterpret_cast<const QChar *>(buffer), length);
}

qsizetype writeDateTimeText(DateTimeTexts &texts, qint64 packed, char16_t *out)
{
    if (packed <= 0)
        return 0;
    const qint64 day = packed / 1000000;
    const qint64 time = packed % 1000000;
    return texts.write(int(day / 10000), int(day / 100 % 100), int(day % 100), int(time / 10000),
        int(time / 100 % 100), int(time % 100), out);
}

QDateTime toDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    case QMetaType::QString: {
        const QDateTime parsed = QDateTime::fromString(value.toString(), Qt::ISODate);
        return parsed.isValid() ? parsed : QDateTime();
    }
    default:
        return {};
    }
}

bool toLogical(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text == QStringLiteral("真")
            || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 || number(text) != 0;
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toDouble() != 0;
}

double toNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return number(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return 0;
    default:
        return value.toDouble();
    }
}

bool kindsMatch(FieldKind a, FieldKind b)
{
    const auto textual = [](FieldKind k) {
        return k == FieldKind::Text || k == FieldKind::Memo;
    };
    return a == b || (textual(a) && textual(b));
}

QVariant decode(sqlite3_stmt *stmt, int column, FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
    }
    case FieldKind::Number:
        return sqlite3_column_double(stmt, column);
    case FieldKind::DateTime:
        return unpackDateTime(sqlite3_column_int64(stmt, column));
    case FieldKind::Logical:
        return sqlite3_column_int64(stmt, column) != 0;
    case FieldKind::Memo:
        break;
    }
    return {};
}

QVariant decodeStored(sqlite3_stmt *stmt, int column, FieldKind kind)
{
    if (kind == FieldKind::DateTime)
        return sqlite3_column_int64(stmt, column);
    return decode(stmt, column, kind);
}

QVariant emptyValue(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        return QString();
    case FieldKind::Number:
        return 0.0;
    case FieldKind::DateTime:
        return QDateTime();
    case FieldKind::Logical:
        return false;
    }
    return {};
}

void bindValue(SqlStatement &stmt, int index, FieldKind kind, const QVariant &value)
{
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        stmt.bindText(
            index, value.typeId() == QMetaType::QString ? value.toString() : valueText(value));
        break;
    case FieldKind::Number:
        stmt.bindDouble(index, toNumber(value));
        break;
    case FieldKind::DateTime:
        stmt.bindInt(index, packDateTime(toDateTime(value)));
        break;
    case FieldKind::Logical:
        stmt.bindInt(index, toLogical(value) ? 1 : 0);
        break;
    }
}

} // namespace RecordValues
