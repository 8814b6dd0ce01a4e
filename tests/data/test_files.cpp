#include "test_files.h"

#include "data/stock_layout.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>
#include <sqlite3.h>

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

namespace {
sqlite3 *openRaw(const QString &path)
{
    sqlite3 *db = nullptr;
    EXPECT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    return db;
}
} // namespace

void execSql(const QString &path, const QString &sql)
{
    sqlite3 *db = openRaw(path);
    char *error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

QString querySql(const QString &path, const QString &sql)
{
    sqlite3 *db = openRaw(path);
    sqlite3_stmt *stmt = nullptr;
    QString result;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW)
        result = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return result;
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
