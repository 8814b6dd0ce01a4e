#pragma once

// The copy engines of the record store: whole copies by SQL on one
// connection, record by record through a second one inside a booking, and
// appends of one open file to another. Internal to the record store.

#include "common/status.h"
#include "data/field.h"
#include "data/record_format.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

struct sqlite3_value;

namespace RecordCopy {

// What a copy takes over: the new layout and, for the stored fields, the
// source and target columns; memo fields as (source field, target field).
struct CopyPlan
{
    Layout layout;
    QStringList sourceColumns;
    QStringList targetColumns;
    std::vector<std::pair<int, int>> memoFields;
    // When set (only without memo fields): the SQL condition on the source
    // records that chooses the rows, in place of a list of ids.
    QString rowFilter;
    // When set (with a row filter): called with the stored values of every
    // row copied, as it is copied, in the order of sourceColumns.
    std::function<void(sqlite3_value **values)> onRow;
    // Notes written into the copy with its records (key without the notes'
    // prefix, value), in the same transaction.
    std::vector<std::pair<QString, QString>> notes;

    QString memoFieldList() const
    {
        QStringList numbers;
        for (const auto &[from, to] : memoFields)
            numbers << QString::number(from);
        return numbers.join(u',');
    }
    QString memoFieldMapping() const
    {
        QString sql = QStringLiteral("CASE field");
        for (const auto &[from, to] : memoFields)
            sql += QStringLiteral(" WHEN %1 THEN %2").arg(from).arg(to);
        return sql + QStringLiteral(" END");
    }
};

// Registers wh_newid(id) on a file's connection: the record's id in the copy
// being written (from the file's copyMap), NULL when it is not copied.
Status registerFunctions(OpenRecordFile &f);

// Copies the records `ids` of `f` into the new pair by SQL on f's own
// connection, the pair attached to it. Not inside a transaction of f's.
Status copyBySql(OpenRecordFile &f, const RecordFormat::NewPair &pair, const CopyPlan &plan,
    const std::vector<qint64> &ids);
// The same record by record, through a connection of the new pair's own:
// works inside a booking, and sees the booking's uncommitted state.
Status copyRows(OpenRecordFile &f, const RecordFormat::NewPair &pair, const CopyPlan &plan,
    const std::vector<qint64> &ids);
// Appends every record of `from` to `to` on `to`'s connection, `from`
// attached to it; sourceOf maps each target field to its source field (0: none).
Status appendBySql(OpenRecordFile &from, OpenRecordFile &to, const std::vector<int> &sourceOf);

} // namespace RecordCopy
