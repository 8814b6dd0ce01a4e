#pragma once

#include "data/field.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

class DateTimeTexts;
class SqlStatement;
struct sqlite3_stmt;

// How the record store keeps values in SQLite, and converts values written
// to a field's kind. Internal to the record store.
namespace RecordValues {

// The column of a stored field in the records table: c1, c2, ...
QString columnName(int field);
// The column type of a kind; empty for memos, which live in the companion.
QString sqlType(FieldKind kind);
bool isKnownKind(qint64 kind);
// Text and memo fields match each other when records are appended.
bool kindsMatch(FieldKind a, FieldKind b);

// Date-times are stored as the integer yyyymmddhhmmss: chronological order is
// numeric order and 0 is the empty date-time.
qint64 packDateTime(const QDateTime &moment);
QDate unpackDate(qint64 packed);
QDateTime unpackDateTime(qint64 packed);
// The date-time text of a stored value, as dateTimeText(unpackDateTime(packed))
// gives it, without building a QDateTime.
QString dateTimeText(DateTimeTexts &texts, qint64 packed);
// dateTimeText() written at `out`, which has room for 64 units; returns the count.
qsizetype writeDateTimeText(DateTimeTexts &texts, qint64 packed, char16_t *out);

// Conversions of a value written to a field of another kind.
QDateTime toDateTime(const QVariant &value);
bool toLogical(const QVariant &value);
double toNumber(const QVariant &value);

// Reads a stored field from a row statement.
QVariant decode(sqlite3_stmt *stmt, int column, FieldKind kind);
// As decode(), but a date-time as its stored integer (qint64).
QVariant decodeStored(sqlite3_stmt *stmt, int column, FieldKind kind);
// What a read gives off the records, in the field's kind.
QVariant emptyValue(FieldKind kind);
// Binds a value converted to a stored field's kind.
void bindValue(SqlStatement &stmt, int index, FieldKind kind, const QVariant &value);

} // namespace RecordValues
