#include "test_files.h"

#include "data/stock_layout.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

Layout mixedLayout()
{
    return {
        {QStringLiteral("名称"), FieldKind::Text},
        {QStringLiteral("数量"), FieldKind::Number},
        {QStringLiteral("日期"), FieldKind::DateTime},
        {QStringLiteral("记录"), FieldKind::Memo},
        {QStringLiteral("有效"), FieldKind::Logical},
    };
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

FileSnapshot snapshot(const QString &path)
{
    return {readBytes(path), QFileInfo(path).lastModified()};
}

void fillStock(RecordStore &store, int n)
{
    RecordStore::Transaction transaction(store);
    for (int i = 1; i <= n; ++i) {
        ASSERT_TRUE(store.add({QStringLiteral("item%1").arg(i), QStringLiteral("spec%1").arg(i),
            QStringLiteral("个"), double(i), 2.5, 2.5 * i}))
            << store.lastError().toStdString();
    }
    ASSERT_TRUE(transaction.commit());
}
