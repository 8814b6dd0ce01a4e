#pragma once

#include <QString>

#include <sqlite3.h>

#include <gtest/gtest.h>

// Failures in the middle of a booking, as a full disk or an I/O error gives
// them: every later change of the item's stock record fails with an error,
// while the records before it in the booking were written already. The
// trigger lives in the file itself, so the program meets it on its own
// connection.
inline void failUpdatesOfItem(const QString &stockFile, const QString &name)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(stockFile.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
        SQLITE_OK);
    const QString sql = QStringLiteral("CREATE TRIGGER fail_item BEFORE UPDATE ON records "
                                       "WHEN OLD.c1='%1' BEGIN SELECT RAISE(ABORT,'磁盘写入错误'); "
                                       "END")
                            .arg(QString(name).replace(u'\'', QStringLiteral("''")));
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

// Lets the item be changed again.
inline void healItem(const QString &stockFile)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(stockFile.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr),
        SQLITE_OK);
    const int rc = sqlite3_exec(db, "DROP TRIGGER IF EXISTS fail_item", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK);
}
