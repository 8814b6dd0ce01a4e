#include "support/record_files.h"

#include "data/stock_layout.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

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

RecordFile &stockFileOf(RecordStore &store, const QString &programDir)
{
    static RecordFile closed;
    RecordFile *stock = nullptr;
    const Status s
        = store.openOrSelect(programDir + u'/' + Stock::fileName(), Stock::alias(), &stock);
    EXPECT_TRUE(s) << s.message().toStdString();
    return stock ? *stock : closed;
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
