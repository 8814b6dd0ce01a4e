#pragma once

#include "data/record_store.h"
#include "support/record_files.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include <gtest/gtest.h>

// One record of a statistics result (the issue statistics' seven fields).
struct QueryRecord
{
    QString name;
    QString spec;
    QString unit;
    double unitPrice = 0;
    double quantity = 0;
    double amount = 0;
    QDateTime date;
};

// Writes a statistics result as the statistics commands lay it out.
inline void writeQueryFile(const QString &path, const QList<QueryRecord> &records)
{
    ASSERT_TRUE(RecordStore::create(path, statisticsLayout()));
    RecordStore writer;
    ASSERT_TRUE(writer.open(path, QStringLiteral("w")));
    for (const QueryRecord &r : records)
        ASSERT_TRUE(
            writer.add({r.name, r.spec, r.unit, r.unitPrice, r.quantity, r.amount, r.date}));
}

// Three items whose amounts are out of order and add up to 1064.375, so the
// total shows whether it is rounded half away from zero (1064.38).
inline QList<QueryRecord> threeItems()
{
    const QDateTime day(QDate(2026, 3, 7), QTime(9, 5));
    return {
        {QStringLiteral("电力电缆"), QStringLiteral("YJV-3x70"), QStringLiteral("米"), 85.5, 12,
            1026.125, day},
        {QStringLiteral("悬式绝缘子"), QStringLiteral("XP-70"), QStringLiteral("片"), 1, 2, 2,
            day.addDays(-1)},
        {QStringLiteral("隔离开关"), QStringLiteral("GW4"), QStringLiteral("台"), 36.25, 1, 36.25,
            day},
    };
}
