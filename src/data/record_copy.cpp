#include "data/record_copy.h"

#include "data/memo_queue.h"

#include "data/record_store.h"

#include <sqlite3.h>

#include <algorithm>

using namespace RecordValues;
using RecordFormat::attachFile;
using RecordFormat::NewPair;
using RecordFormat::Use;

namespace RecordCopy {
namespace {

void newIdFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    const auto *map
        = static_cast<const std::unordered_map<qint64, qint64> *>(sqlite3_user_data(context));
    if (const auto it = map->find(sqlite3_value_int64(argv[0])); it != map->end())
        sqlite3_result_int64(context, it->second);
    else
        sqlite3_result_null(context);
}

// wh_row(del, columns...): hands the columns to the copy's onRow and gives
// del back unchanged, so the row is read where it is copied.
void rowFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    const auto *onRow
        = static_cast<const std::function<void(sqlite3_value **)> *>(sqlite3_user_data(context));
    try {
        (*onRow)(argv + 1);
    } catch (...) { // no exception may pass through SQLite
        sqlite3_result_error_nomem(context);
        return;
    }
    if (argc > 0)
        sqlite3_result_value(context, argv[0]);
}

// Registers (or with `onRow` null, removes) wh_row on the connection.
bool setRowFunction(SqlDatabase &db, const std::function<void(sqlite3_value **)> *onRow)
{
    return sqlite3_create_function_v2(db.get(), "wh_row", -1, SQLITE_UTF8,
               const_cast<std::function<void(sqlite3_value **)> *>(onRow),
               onRow ? rowFunction : nullptr, nullptr, nullptr, nullptr)
        == SQLITE_OK;
}

Status rollbackWith(SqlDatabase &db, const QString &message)
{
    (void)db.exec(QStringLiteral("ROLLBACK")); // the first failure is the one to tell
    return Status::failure(message);
}

// The plan's notes, into the copy's meta table under `schema`.
Status writeNotes(SqlDatabase &db, const QString &schema, const CopyPlan &plan)
{
    if (plan.notes.empty())
        return Status::success();
    SqlStatement note = db.prepare(
        QStringLiteral("INSERT OR REPLACE INTO %1meta(key,value) VALUES(?,?)").arg(schema));
    if (!note)
        return Status::failure(db.errorMessage());
    for (const auto &[key, value] : plan.notes) {
        note.bindText(1, QStringLiteral("note:") + key);
        note.bindText(2, value);
        if (!note.run())
            return Status::failure(db.errorMessage());
        note.reset();
    }
    return Status::success();
}

// A copy that keeps the ids keeps their retired ones too.
Status keepRetired(SqlDatabase &db, const OpenRecordFile &f)
{
    if (f.retiredId == 0)
        return Status::success();
    return db.exec(
        QStringLiteral("INSERT OR REPLACE INTO cp.meta(key,value) VALUES('retired','%1')")
            .arg(f.retiredId));
}

// The SELECT of the rows a copy inserts.
QString sourceRows(const CopyPlan &plan, bool identity, bool withRows)
{
    const QString sep = plan.sourceColumns.isEmpty() ? QString() : QStringLiteral(",");
    const QString source = plan.sourceColumns.join(u',');
    // Filtered rows take the ids 1, 2, 3... in record order, as the empty
    // table numbers them.
    if (!plan.rowFilter.isEmpty())
        return QStringLiteral("SELECT %1%2%3 FROM main.records WHERE %4 ORDER BY id")
            .arg(withRows ? QStringLiteral("wh_row(del%1%2)").arg(sep, source)
                          : QStringLiteral("del"),
                sep, source, plan.rowFilter);
    if (identity)
        return QStringLiteral("SELECT id,del%1%2 FROM main.records").arg(sep, source);
    return QStringLiteral("SELECT n,del%1%2 FROM (SELECT wh_newid(id) AS n,del%1%2 FROM "
                          "main.records) WHERE n IS NOT NULL")
        .arg(sep, source);
}

} // namespace

Status registerFunctions(OpenRecordFile &f)
{
    if (sqlite3_create_function_v2(f.db.get(), "wh_newid", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
            &f.copyMap, newIdFunction, nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return Status::failure(f.db.errorMessage());
    return Status::success();
}

Status copyBySql(
    OpenRecordFile &f, const NewPair &pair, const CopyPlan &plan, const std::vector<qint64> &ids)
{
    // Copying every record of a dense file keeps the ids; otherwise the copy's
    // ids are the positions in `ids`.
    const bool filtered = !plan.rowFilter.isEmpty();
    if (filtered && !plan.memoFields.empty())
        return Status::failure(QStringLiteral("备注字段不能按条件复制"));
    const bool identity = !filtered && f.dense && ids.size() == size_t(f.count)
        && std::is_sorted(ids.begin(), ids.end());
    if (!identity && !filtered) {
        f.copyMap.clear();
        f.copyMap.reserve(ids.size());
        for (size_t i = 0; i < ids.size(); ++i)
            f.copyMap[ids[i]] = qint64(i) + 1;
    }
    Status s = attachFile(f.db, pair.recordFile, QStringLiteral("cp"), Use::Building);
    if (s && !pair.companion.isEmpty())
        s = attachFile(f.db, pair.companion, QStringLiteral("cpedt"), Use::Building);
    if (s)
        s = f.db.exec(QStringLiteral("BEGIN"));
    if (s) {
        const QString sep = plan.sourceColumns.isEmpty() ? QString() : QStringLiteral(",");
        // The row's values go to onRow as the copy reads them: one scan for both.
        const bool withRows = filtered && plan.onRow;
        if (withRows && !setRowFunction(f.db, &plan.onRow))
            s = Status::failure(f.db.errorMessage());
        if (s)
            s = f.db.exec(
                QStringLiteral("INSERT INTO cp.records(%1del%2%3) %4")
                    .arg(filtered ? QString() : QStringLiteral("id,"), sep,
                        plan.targetColumns.join(u','), sourceRows(plan, identity, withRows)));
        if (withRows)
            (void)setRowFunction(f.db, nullptr);
        if (s && !plan.memoFields.empty()) {
            const QString memos = identity
                ? QStringLiteral("SELECT id,%1,seq,text FROM %3 WHERE field IN "
                                 "(%2)")
                      .arg(plan.memoFieldMapping(), plan.memoFieldList(),
                          MemoQueue::rows(f.memoQueue))
                : QStringLiteral("SELECT n,%1,seq,text FROM (SELECT wh_newid(id) AS "
                                 "n,field,seq,text FROM %3 WHERE field IN (%2)) "
                                 "WHERE n IS NOT NULL")
                      .arg(plan.memoFieldMapping(), plan.memoFieldList(),
                          MemoQueue::rows(f.memoQueue));
            s = f.db.exec(QStringLiteral("INSERT INTO cpedt.memos(id,field,seq,text) ") + memos);
        }
        if (s)
            s = writeNotes(f.db, QStringLiteral("cp."), plan);
        if (s && identity)
            s = keepRetired(f.db, f);
        s = s ? f.db.exec(QStringLiteral("COMMIT")) : rollbackWith(f.db, s.message());
    }
    f.copyMap = {};
    // A file left attached is detached when its connection closes.
    (void)f.db.exec(QStringLiteral("DETACH cpedt"));
    (void)f.db.exec(QStringLiteral("DETACH cp"));
    return s;
}

namespace {

// The statements that copy one record and its memo lines from a file in use
// into a new pair open on a connection of its own. Each step gives an empty
// text when it went well, otherwise the reason of the side that failed.
struct RecordCopier
{
    SqlStatement source;
    SqlStatement insert;
    SqlStatement memos;
    SqlStatement memoInsert;
    int stored = 0;
    bool withMemos = false;

    QString prepare(OpenRecordFile &f, SqlDatabase &out, const CopyPlan &plan)
    {
        stored = int(plan.sourceColumns.size());
        withMemos = !plan.memoFields.empty();
        const QString sep = plan.sourceColumns.isEmpty() ? QString() : QStringLiteral(",");
        QStringList placeholders;
        for (int i = 0; i < plan.targetColumns.size(); ++i)
            placeholders << QStringLiteral("?");
        insert = out.prepare(QStringLiteral("INSERT INTO records(id,del%1%2) VALUES(?,?%1%3)")
                                 .arg(sep, plan.targetColumns.join(u','), placeholders.join(u',')));
        source = f.db.prepare(QStringLiteral("SELECT id,del%1%2 FROM records WHERE id=?")
                                  .arg(sep, plan.sourceColumns.join(u',')));
        if (withMemos) {
            memoInsert = out.prepare(
                QStringLiteral("INSERT INTO edt.memos(id,field,seq,text) VALUES(?,%1,?,?)")
                    .arg(plan.memoFieldMapping().replace(
                        QStringLiteral("CASE field"), QStringLiteral("CASE ?"))));
            memos = f.db.prepare(QStringLiteral("SELECT field,seq,text FROM %2 WHERE id=? AND "
                                                "field IN (%1) ORDER BY field,seq")
                                     .arg(plan.memoFieldList(), MemoQueue::rows(f.memoQueue)));
        }
        if (!insert || (withMemos && !memoInsert))
            return out.errorMessage();
        if (!source || (withMemos && !memos))
            return f.db.errorMessage();
        return {};
    }

    QString copy(SqlDatabase &out, qint64 id, qint64 newId)
    {
        source.bindInt(1, id);
        if (const int rc = source.step(); rc != SQLITE_ROW) {
            source.reset();
            return rc == SQLITE_DONE ? QStringLiteral("记录已不在文件中") : sqliteErrorText(rc);
        }
        insert.bindInt(1, newId);
        for (int c = 0; c <= stored; ++c)
            sqlite3_bind_value(insert.get(), 2 + c, sqlite3_column_value(source.get(), 1 + c));
        const bool inserted = insert.run();
        insert.reset();
        source.reset();
        if (!inserted)
            return out.errorMessage();
        return withMemos ? copyMemos(out, id, newId) : QString();
    }

    QString copyMemos(SqlDatabase &out, qint64 id, qint64 newId)
    {
        QString error;
        memos.bindInt(1, id);
        int rc = SQLITE_DONE;
        while (error.isEmpty() && (rc = memos.step()) == SQLITE_ROW) {
            memoInsert.bindInt(1, newId);
            for (int c = 0; c < 3; ++c)
                sqlite3_bind_value(memoInsert.get(), 2 + c, sqlite3_column_value(memos.get(), c));
            if (!memoInsert.run())
                error = out.errorMessage();
            memoInsert.reset();
        }
        if (error.isEmpty() && rc != SQLITE_DONE)
            error = sqliteErrorText(rc);
        memos.reset();
        return error;
    }
};

} // namespace

Status copyRows(
    OpenRecordFile &f, const NewPair &pair, const CopyPlan &plan, const std::vector<qint64> &ids)
{
    if (!plan.rowFilter.isEmpty())
        return Status::failure(QStringLiteral("记账中不能按条件复制"));
    SqlDatabase out;
    Status s = pair.open(out);
    if (s)
        s = out.exec(QStringLiteral("BEGIN"));
    if (!s)
        return s;
    RecordCopier copier;
    QString error = copier.prepare(f, out, plan);
    // A failure on either side ends the copy with that side's reason: a copy
    // cut short is never taken for a whole one.
    for (size_t i = 0; error.isEmpty() && i < ids.size(); ++i)
        error = copier.copy(out, ids[i], qint64(i) + 1);
    if (error.isEmpty())
        if (Status noted = writeNotes(out, QString(), plan); !noted)
            error = noted.message();
    if (!error.isEmpty())
        return rollbackWith(out, error);
    return out.exec(QStringLiteral("COMMIT"));
}

Status appendBySql(OpenRecordFile &from, OpenRecordFile &to, const std::vector<int> &sourceOf)
{
    // Past every id the file ever gave, as add() numbers.
    const qint64 base = to.nextId() - 1;
    if (base + from.count > RecordFormat::maxRecordId)
        return Status::failure(QStringLiteral("文件 %1 的记录编号已用尽").arg(to.alias));
    to.copyMap.clear();
    to.copyMap.reserve(size_t(from.count));
    for (int r = 1; r <= from.count; ++r)
        to.copyMap[from.idAt(r)] = base + r;
    QStringList targets;
    QStringList sources;
    std::vector<std::pair<int, int>> memoFields; // source field -> target field
    for (int t = 1; t <= to.layout.size(); ++t) {
        const int s = sourceOf[size_t(t - 1)];
        const FieldKind kind = to.layout[t - 1].kind;
        if (kind == FieldKind::Memo) {
            if (s)
                memoFields.emplace_back(s, t);
            continue;
        }
        targets << columnName(t);
        sources << (s ? columnName(s) : kind == FieldKind::Text ? QStringLiteral("''") : "0");
    }
    Status st = attachFile(to.db, from.path, QStringLiteral("src"), Use::InUse);
    if (st && from.hasCompanion)
        st = attachFile(
            to.db, RecordStore::companionPath(from.path), QStringLiteral("srcedt"), Use::InUse);
    if (st)
        st = to.db.exec(QStringLiteral("BEGIN"));
    if (st) {
        const QString sep = targets.isEmpty() ? QString() : QStringLiteral(",");
        st = to.db.exec(QStringLiteral("INSERT INTO main.records(id,del%1%2) SELECT "
                                       "wh_newid(id),del%1%3 FROM src.records ORDER BY id")
                            .arg(sep, targets.join(u','), sources.join(u',')));
        // Skipping retired ids leaves the numbers no longer the ids.
        if (st && from.count > 0 && base != to.count)
            st = to.db.exec(QStringLiteral("UPDATE main.meta SET value='0' WHERE key='dense'"));
        if (st && !memoFields.empty()) {
            QString mapping = QStringLiteral("CASE field");
            QStringList wanted;
            for (const auto &[source, target] : memoFields) {
                mapping += QStringLiteral(" WHEN %1 THEN %2").arg(source).arg(target);
                wanted << QString::number(source);
            }
            st = to.db.exec(
                QStringLiteral("INSERT INTO edt.memos(id,field,seq,text) SELECT "
                               "wh_newid(id),%1 END,seq,text FROM %3 "
                               "WHERE field IN (%2)")
                    .arg(mapping, wanted.join(u','),
                        MemoQueue::rows(MemoQueue::present(to.db, QStringLiteral("src")),
                            QStringLiteral("src"), QStringLiteral("srcedt"))));
        }
        st = st ? to.db.exec(QStringLiteral("COMMIT")) : rollbackWith(to.db, st.message());
    }
    to.copyMap = {};
    // A file left attached is detached when its connection closes.
    (void)to.db.exec(QStringLiteral("DETACH srcedt"));
    (void)to.db.exec(QStringLiteral("DETACH src"));
    return st;
}

} // namespace RecordCopy
