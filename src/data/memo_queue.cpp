#include "data/memo_queue.h"

#include "data/record_file.h"
#include "data/record_format.h"
#include "data/sqlite_file.h"

#include <QFileInfo>

namespace MemoQueue {
namespace {

// The queue lives in the record file, the other lines in the companion.
Status damaged(const OpenRecordFile &f)
{
    if (f.memoQueue)
        return Status::failure(
            QStringLiteral("数据文件 %1 已损坏").arg(QFileInfo(f.path).fileName()));
    return Status::failure(QStringLiteral("备注文件 %1 已损坏")
                               .arg(QFileInfo(RecordFile::companionPath(f.path)).fileName()));
}

// Runs `sql` inside the file's open transaction, or in one of its own.
Status inTransaction(OpenRecordFile &f, const QString &sql)
{
    if (f.transactionDepth > 0)
        return f.db.exec(sql);
    Status s = f.db.exec(QStringLiteral("BEGIN IMMEDIATE;") + sql);
    if (s)
        s = f.db.exec(QStringLiteral("COMMIT"));
    if (!s && f.db.inTransaction())
        (void)f.db.exec(QStringLiteral("ROLLBACK"));
    return s;
}

} // namespace

QString createSql()
{
    return QStringLiteral("CREATE TABLE memo_queue(id INTEGER NOT NULL,field INTEGER NOT NULL,"
                          "seq INTEGER NOT NULL,text TEXT NOT NULL,PRIMARY KEY(id,field,seq)) "
                          "WITHOUT ROWID");
}

bool present(SqlDatabase &db, const QString &schema)
{
    bool ok = false;
    const qint64 found
        = db.queryInt(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type='table' AND "
                                     "name='memo_queue'")
                          .arg(schema),
            &ok);
    return ok && found == 1;
}

QString rows(bool queued, const QString &records, const QString &companion)
{
    if (!queued)
        return companion + QStringLiteral(".memos");
    return QStringLiteral("(SELECT id,field,seq,text FROM %1.memos UNION ALL "
                          "SELECT id,field,seq,text FROM %2.memo_queue)")
        .arg(companion, records);
}

Status prepare(OpenRecordFile &f)
{
    f.memoQueue = present(f.db);
    const QString all = rows(f.memoQueue);
    const QString into
        = f.memoQueue ? QStringLiteral("main.memo_queue") : QStringLiteral("edt.memos");
    f.memoRead = f.db.prepare(
        QStringLiteral("SELECT text FROM %1 WHERE id=? AND field=? ORDER BY seq").arg(all));
    f.memoAppend = f.db.prepare(
        QStringLiteral("INSERT INTO %1(id,field,seq,text) VALUES(?1,?2,(SELECT "
                       "coalesce(max(seq),0)+1 FROM %2 WHERE id=?1 AND field=?2),?3)")
            .arg(into, all));
    f.memoClear = f.db.prepare(QStringLiteral("DELETE FROM edt.memos WHERE id=? AND field=?"));
    f.memoClearQueued = f.memoQueue
        ? f.db.prepare(QStringLiteral("DELETE FROM main.memo_queue WHERE id=? AND field=?"))
        : SqlStatement();
    if (!f.memoRead || !f.memoAppend || !f.memoClear || (f.memoQueue && !f.memoClearQueued))
        return damaged(f);
    return Status::success();
}

Status ensure(OpenRecordFile &f)
{
    if (!f.hasCompanion || f.memoQueue)
        return Status::success();
    if (Status s = inTransaction(f, createSql()); !s)
        return s;
    return prepare(f);
}

Status waiting(OpenRecordFile &f, bool *any)
{
    *any = false;
    if (!f.memoQueue)
        return Status::success();
    bool ok = false;
    *any = f.db.queryInt(QStringLiteral("SELECT EXISTS(SELECT 1 FROM main.memo_queue)"), &ok) != 0;
    return ok ? Status::success() : Status::failure(f.db.errorMessage());
}

Status drain(OpenRecordFile &f)
{
    bool any = false;
    if (Status s = waiting(f, &any); !s || !any)
        return s;
    // Each line goes after the lines its record and field have in the
    // companion. That is its own number, unless something that knows nothing
    // of the queue (an earlier version) appended to the companion meanwhile:
    // then both lines are kept, the queued ones last.
    return inTransaction(f,
        QStringLiteral("INSERT INTO edt.memos(id,field,seq,text) "
                       "SELECT id,field,base+rank,text FROM (SELECT q.id,q.field,q.text,"
                       "(SELECT coalesce(max(m.seq),0) FROM edt.memos m WHERE m.id=q.id AND "
                       "m.field=q.field) AS base,row_number() OVER (PARTITION BY q.id,q.field "
                       "ORDER BY q.seq) AS rank FROM main.memo_queue q);"
                       "DELETE FROM main.memo_queue;"));
}

Status drainWhenLong(OpenRecordFile &f, int limit)
{
    if (!f.memoQueue)
        return Status::success();
    bool ok = false;
    const qint64 queued = f.db.queryInt(
        QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM main.memo_queue LIMIT %1)")
            .arg(limit + 1),
        &ok);
    if (!ok)
        return Status::failure(f.db.errorMessage());
    return queued > limit ? drain(f) : Status::success();
}

} // namespace MemoQueue
