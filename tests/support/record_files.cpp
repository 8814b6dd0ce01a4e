#include "support/record_files.h"

#include <gtest/gtest.h>

Layout statisticsLayout()
{
    return {{QStringLiteral("品名"), FieldKind::Text},
        {QStringLiteral("规格型号"), FieldKind::Text}, {QStringLiteral("单位"), FieldKind::Text},
        {QStringLiteral("单价"), FieldKind::Number},
        {QStringLiteral("出库数量"), FieldKind::Number},
        {QStringLiteral("出库金额"), FieldKind::Number},
        {QStringLiteral("出库日期"), FieldKind::DateTime}};
}

void writeRecordFile(const QString &path, const Layout &layout, const QList<QVariantList> &records)
{
    ASSERT_TRUE(RecordStore::create(path, layout));
    RecordStore writer;
    ASSERT_TRUE(writer.open(path, QStringLiteral("w"))) << writer.lastError().toStdString();
    RecordStore::Transaction batch(writer);
    for (const QVariantList &r : records)
        ASSERT_TRUE(writer.add(r));
    ASSERT_TRUE(batch.commit());
}
