#include "data/stray_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &error), SQLITE_OK) << error;
}

// Leaves in `folder` a record file and its hot journal as a kill in the middle
// of a transaction would: the file already holds some of the new pages, the
// journal the old ones.
void makeHotJournal(const QString &folder, const QString &name)
{
    QTemporaryDir work;
    const QByteArray path = QDir(work.path()).filePath(name).toUtf8();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.constData(), &db), SQLITE_OK);
    exec(db,
        "PRAGMA journal_mode=DELETE; CREATE TABLE t(v);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<300)"
        " INSERT INTO t SELECT 'old' || zeroblob(400) FROM n;");
    // A tiny cache makes the update spill pages into the file before commit.
    exec(db, "PRAGMA cache_size=1; BEGIN; UPDATE t SET v='new' || zeroblob(400);");
    for (const QString &suffix : {QString(), QStringLiteral("-journal")})
        ASSERT_TRUE(QFile::copy(QString::fromUtf8(path) + suffix, folder + u'/' + name + suffix));
    exec(db, "ROLLBACK");
    sqlite3_close(db);
}

int oldRows(const QString &path)
{
    sqlite3 *db = nullptr;
    int count = -1;
    if (sqlite3_open(path.toUtf8().constData(), &db) == SQLITE_OK) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(
                db, "SELECT count(*) FROM t WHERE substr(v,1,3)='old'", -1, &stmt, nullptr)
                == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            count = sqlite3_column_int(stmt, 0);
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return count;
}

TEST(StrayFiles, RemovesWhatKillsLeftOfOursAndNothingElse)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    const QByteArray zeroed(512, '\0');
    struct Case
    {
        const char *name;
        QByteArray bytes;
        bool removed;
    };
    const std::vector<Case> cases {
        {"data.zrb-mj0A1B2C9D4", "data.zrb-journal\0data.edt-journal\0", true},
        {"qd.ZRB-mjdeadbe9ef", "", true}, // a statistics file's, any case
        {"data.edt-journal", zeroed, true}, // zeroed: nothing to roll back
        {"gone.zrb-journal", "\xd9\xd5\x05\xf9\x20\xa1\x63\xd7 rest", true}, // its file is gone
        {"config.ini.0123456789ab.tmp", "half", true},
        {"本年出库.grd.a1b2c3d4e5f6.tmp", "", true},
        // Not ours, or not one of our names.
        {"notes.txt-journal", zeroed, false},
        {"photo.jpg-mj012345967", "", false},
        {"data.zrb-mjXYZ", "", false},
        {"data.zrb-mj0A1B2C3D4", "", false},
        {"data.zrb-mj0A1B2C9D4E", "", false},
        {"config.ini.tmp", "", false},
        {"report.0123456789AB.tmp", "", false},
        {"readme.txt", "text", false},
    };
    for (const Case &c : cases)
        writeFile(folder + u'/' + QString::fromUtf8(c.name), c.bytes);
    writeFile(folder + QStringLiteral("/data.edt"), "memo file");
    makeHotJournal(folder, QStringLiteral("data.zrb"));

    ASSERT_TRUE(StrayFiles::removeFrom(folder));
    for (const Case &c : cases)
        EXPECT_EQ(QFile::exists(folder + u'/' + QString::fromUtf8(c.name)), !c.removed) << c.name;
    // The hot journal was rolled back, not thrown away: every row is old again.
    EXPECT_FALSE(QFile::exists(folder + QStringLiteral("/data.zrb-journal")));
    EXPECT_EQ(oldRows(folder + QStringLiteral("/data.zrb")), 300);
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/data.edt")));
    // A folder that does not exist has no strays.
    EXPECT_TRUE(StrayFiles::removeFrom(folder + QStringLiteral("/没有")));
}

TEST(StrayFiles, ASuperJournalStaysWhileAJournalThatMayNameItCannotBeRolledBack)
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    makeHotJournal(folder, QStringLiteral("data.zrb"));
    writeFile(folder + QStringLiteral("/data.zrb-mj0A1B2C9D4"), "data.zrb-journal");
    // A file SQLite cannot open in place of the record file keeps its journal hot.
    QFile::remove(folder + QStringLiteral("/data.zrb"));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("data.zrb")));

    ASSERT_TRUE(StrayFiles::removeFrom(folder));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/data.zrb-journal")));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/data.zrb-mj0A1B2C9D4")));
}

} // namespace
