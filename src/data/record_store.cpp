#include "data/record_store.h"

#include "common/gbk.h"
#include "common/value_text.h"
#include "data/pair_replacement.h"
#include "data/sqlite_file.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>
#include <unordered_map>

namespace {

// File identification: SQLite's application_id of our two kinds of file, and
// the format version in user_version.
constexpr qint64 recordFileId = 0x5A524231; // "ZRB1"
constexpr qint64 companionFileId = 0x5A454431; // "ZED1"
constexpr qint64 formatVersion = 1;

// Columns of a row query: id, deleted mark, then the stored fields.
constexpr int firstFieldColumn = 2;

QString columnName(int field)
{
    return QStringLiteral("c%1").arg(field);
}

QString sqlType(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text:
        return QStringLiteral("TEXT");
    case FieldKind::Number:
        return QStringLiteral("REAL");
    case FieldKind::DateTime:
    case FieldKind::Logical:
        return QStringLiteral("INTEGER");
    case FieldKind::Memo:
        break;
    }
    return {};
}

bool isKnownKind(qint64 kind)
{
    return kind >= qint64(FieldKind::Text) && kind <= qint64(FieldKind::Logical);
}

// Date-times are stored as the integer yyyymmddhhmmss: chronological order is
// numeric order and 0 is the empty date-time.
qint64 packDateTime(const QDateTime &moment)
{
    if (!moment.isValid())
        return 0;
    const QDate d = moment.date();
    const QTime t = moment.time();
    return ((((qint64(d.year()) * 100 + d.month()) * 100 + d.day()) * 100 + t.hour()) * 100
               + t.minute())
        * 100
        + t.second();
}

QDate unpackDate(qint64 packed)
{
    if (packed <= 0)
        return {};
    const qint64 day = packed / 1000000;
    return QDate(int(day / 10000), int(day / 100 % 100), int(day % 100));
}

QDateTime unpackDateTime(qint64 packed)
{
    const QDate date = unpackDate(packed);
    if (!date.isValid())
        return {};
    const qint64 time = packed % 1000000;
    return QDateTime(date, QTime(int(time / 10000), int(time / 100 % 100), int(time % 100)));
}

QDateTime toDateTime(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return value.toDateTime();
    case QMetaType::QDate:
        return value.toDate().startOfDay();
    case QMetaType::QString: {
        const QDateTime parsed = QDateTime::fromString(value.toString(), Qt::ISODate);
        return parsed.isValid() ? parsed : QDateTime();
    }
    default:
        return {};
    }
}

bool toLogical(const QVariant &value)
{
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        return text == QStringLiteral("真")
            || text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("t"), Qt::CaseInsensitive) == 0
            || text.compare(QLatin1String("y"), Qt::CaseInsensitive) == 0 || number(text) != 0;
    }
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toDouble() != 0;
}

double toNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return number(value.toString());
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return 0;
    default:
        return value.toDouble();
    }
}

QString foldedPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toCaseFolded();
}

bool kindsMatch(FieldKind a, FieldKind b)
{
    const auto textual = [](FieldKind k) {
        return k == FieldKind::Text || k == FieldKind::Memo;
    };
    return a == b || (textual(a) && textual(b));
}

} // namespace

// One open record file: its connection (with the companion attached as
// "edt"), layout, record order and cursor.
struct OpenRecordFile
{
    QString alias;
    QString path;
    QString folded; // path for comparisons
    SqlDatabase db; // declared before the statements, so it closes after them
    Layout layout;
    bool hasCompanion = false;

    // Record order is id order. While the ids are exactly 1..n ("dense") the
    // record number is the id; otherwise `ids` maps record numbers to ids.
    bool dense = true;
    std::vector<qint64> ids;
    int count = 0;
    int recno = 0;

    // The current record's stored fields, read once per record.
    mutable qint64 cachedId = -1;
    mutable bool cachedDeleted = false;
    mutable std::vector<QVariant> row;
    // While find or copyTo runs a condition over many records, the fields it
    // reads come straight from the scanning statement: liveColumns[field - 1]
    // is the field's column there, -1 when the statement does not carry it.
    sqlite3_stmt *live = nullptr;
    std::vector<int> liveColumns;
    // Fields read while the condition runs on the first record, to learn
    // which columns the scan needs.
    mutable std::vector<bool> touched;
    mutable bool probing = false;

    int liveColumn(int field) const { return live ? liveColumns[size_t(field - 1)] : -1; }

    SqlStatement selectRow;
    SqlStatement insertRow;
    SqlStatement markDeleted;
    SqlStatement memoRead;
    SqlStatement memoAppend;
    SqlStatement memoClear;
    std::vector<SqlStatement> updates; // per field, prepared on first use
    std::vector<qint64> copyMap; // old id -> id in a copy being written (wh_newid)

    int transactionDepth = 0;
    bool transactionDoomed = false;
    quint64 serial = 0; // tells a reopened file from the one a Transaction began on

    qint64 idAt(int recordNumber) const
    {
        return dense ? recordNumber : ids[size_t(recordNumber - 1)];
    }
    int recordNumberOf(qint64 id) const
    {
        if (dense)
            return int(id);
        const auto it = std::lower_bound(ids.begin(), ids.end(), id);
        return int(it - ids.begin()) + 1;
    }
    qint64 lastId() const { return count == 0 ? 0 : idAt(count); }
    bool onRecord() const { return recno >= 1 && recno <= count; }
    void invalidateRow() const { cachedId = -1; }
    QString fieldList() const
    {
        QStringList names;
        for (int i = 1; i <= layout.size(); ++i)
            if (layout[i - 1].kind != FieldKind::Memo)
                names << columnName(i);
        return names.join(u',');
    }
    // Column of a stored field in row queries, -1 for memos.
    std::vector<int> columns;
};

namespace {

Status createSchema(SqlDatabase &db, const Layout &layout, const QString &pairId)
{
    QStringList columns;
    for (int i = 1; i <= layout.size(); ++i)
        if (layout[i - 1].kind != FieldKind::Memo)
            columns << columnName(i) + u' ' + sqlType(layout[i - 1].kind);
    QString sql = QStringLiteral("PRAGMA application_id=%1;PRAGMA user_version=%2;"
                                 "BEGIN;"
                                 "CREATE TABLE meta(key TEXT PRIMARY KEY,value TEXT) WITHOUT ROWID;"
                                 "CREATE TABLE layout(no INTEGER PRIMARY KEY,name TEXT NOT NULL,"
                                 "kind INTEGER NOT NULL);"
                                 "CREATE TABLE records(id INTEGER PRIMARY KEY,"
                                 "del INTEGER NOT NULL DEFAULT 0%3);")
                      .arg(recordFileId)
                      .arg(formatVersion)
                      .arg(columns.isEmpty() ? QString() : u',' + columns.join(u','));
    Status s = db.exec(sql);
    if (!s)
        return s;
    // The stock file is searched by its key (name, specification) at every
    // booking: an index keeps that fast on large files.
    if (Stock::isStockLayout(layout)) {
        s = db.exec(QStringLiteral("CREATE INDEX records_key ON records(c%1,c%2)")
                        .arg(Stock::Name)
                        .arg(Stock::Spec));
        if (!s)
            return s;
    }
    SqlStatement meta = db.prepare(QStringLiteral("INSERT INTO meta VALUES(?,?)"));
    meta.bindText(1, QStringLiteral("pair"));
    meta.bindText(2, pairId);
    bool ok = meta.run();
    meta.reset();
    meta.bindText(1, QStringLiteral("dense"));
    meta.bindText(2, QStringLiteral("1"));
    ok = ok && meta.run();
    SqlStatement field = db.prepare(QStringLiteral("INSERT INTO layout VALUES(?,?,?)"));
    for (int i = 1; ok && i <= layout.size(); ++i) {
        field.reset();
        field.bindInt(1, i);
        field.bindText(2, layout[i - 1].name);
        field.bindInt(3, qint64(layout[i - 1].kind));
        ok = field.run();
    }
    if (!ok) {
        const QString message = db.errorMessage();
        db.exec(QStringLiteral("ROLLBACK"));
        return Status::failure(message);
    }
    return db.exec(QStringLiteral("COMMIT"));
}

Status createCompanionSchema(SqlDatabase &db, const QString &pairId)
{
    Status s = db.exec(QStringLiteral("PRAGMA application_id=%1;PRAGMA user_version=%2;BEGIN;"
                                      "CREATE TABLE meta(key TEXT PRIMARY KEY,value TEXT) "
                                      "WITHOUT ROWID;"
                                      "CREATE TABLE memos(id INTEGER NOT NULL,field INTEGER NOT "
                                      "NULL,seq INTEGER NOT NULL,text TEXT NOT NULL,"
                                      "PRIMARY KEY(id,field,seq)) WITHOUT ROWID;")
                           .arg(companionFileId)
                           .arg(formatVersion));
    if (!s)
        return s;
    SqlStatement meta = db.prepare(QStringLiteral("INSERT INTO meta VALUES('pair',?)"));
    meta.bindText(1, pairId);
    if (!meta.run()) {
        const QString message = db.errorMessage();
        db.exec(QStringLiteral("ROLLBACK"));
        return Status::failure(message);
    }
    return db.exec(QStringLiteral("COMMIT"));
}

Status checkLayout(const Layout &layout)
{
    if (layout.isEmpty())
        return Status::failure(QStringLiteral("字段表为空"));
    QSet<QString> names;
    for (const FieldDef &f : layout) {
        if (f.name.trimmed().isEmpty())
            return Status::failure(QStringLiteral("字段名为空"));
        if (names.contains(f.name))
            return Status::failure(QStringLiteral("字段名 %1 重复").arg(f.name));
        names.insert(f.name);
    }
    return Status::success();
}

// How a file is attached: a file in use keeps the rollback journal and full
// sync; a new file being built needs neither, because it is synced once, whole,
// before it takes its place, and a crash before that leaves only a temporary.
enum class Use { InUse, Building };

Status applyUse(SqlDatabase &db, const QString &schema, Use use)
{
    if (use == Use::InUse)
        return db.enforceDurability(schema);
    return db.exec(
        QStringLiteral("PRAGMA %1.journal_mode=OFF;PRAGMA %1.synchronous=OFF").arg(schema));
}

Status attachFile(SqlDatabase &db, const QString &path, const QString &schema, Use use)
{
    Status s
        = db.exec(QStringLiteral("ATTACH '%1' AS %2")
                      .arg(QString::fromUtf8(sqliteUri(path, "rw")).replace(u'\'', "''"), schema));
    return s ? applyUse(db, schema, use) : s;
}

// A new record file (and companion) under temporary names beside its target,
// created with its layout and empty, then filled by the caller and put in
// place by the pair-replacement protocol.
struct NewPair
{
    QString recordFile;
    QString companion;

    Status create(const QString &target, const Layout &layout)
    {
        const QString dir = QFileInfo(target).absolutePath();
        if (!QFileInfo(dir).isDir())
            return Status::failure(QStringLiteral("文件夹 %1 不存在").arg(dir));
        const QString stem = PairReplacement::newStem();
        const QString pairId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        recordFile = PairReplacement::temporaryPath(dir, stem, QStringLiteral(".zrb"));
        SqlDatabase db;
        Status s = db.open(recordFile, true);
        if (s)
            s = applyUse(db, QStringLiteral("main"), Use::Building);
        if (s)
            s = createSchema(db, layout, pairId);
        if (!s || !hasMemo(layout))
            return s;
        companion = PairReplacement::temporaryPath(dir, stem, QStringLiteral(".edt"));
        SqlDatabase memoDb;
        s = memoDb.open(companion, true);
        if (s)
            s = applyUse(memoDb, QStringLiteral("main"), Use::Building);
        if (s)
            s = createCompanionSchema(memoDb, pairId);
        return s;
    }

    // Opens the new pair on a connection of its own, the companion as "edt".
    Status open(SqlDatabase &db) const
    {
        Status s = db.open(recordFile, false);
        if (s)
            s = applyUse(db, QStringLiteral("main"), Use::Building);
        if (s && !companion.isEmpty())
            s = attachFile(db, companion, QStringLiteral("edt"), Use::Building);
        return s;
    }

    Status install(const QString &target) const
    {
        return PairReplacement::replace(target, recordFile, companion);
    }

    // Removes whatever was written; the target stays as it was.
    void discard() const
    {
        for (const QString &file : {recordFile, companion})
            if (!file.isEmpty())
                for (const QString &suffix : {QString(), QStringLiteral("-journal")})
                    QFile::remove(file + suffix);
    }
};

// Reads a stored field from a row statement.
QVariant decode(sqlite3_stmt *stmt, int column, FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
    }
    case FieldKind::Number:
        return sqlite3_column_double(stmt, column);
    case FieldKind::DateTime:
        return unpackDateTime(sqlite3_column_int64(stmt, column));
    case FieldKind::Logical:
        return sqlite3_column_int64(stmt, column) != 0;
    case FieldKind::Memo:
        break;
    }
    return {};
}

QVariant emptyValue(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        return QString();
    case FieldKind::Number:
        return 0.0;
    case FieldKind::DateTime:
        return QDateTime();
    case FieldKind::Logical:
        return false;
    }
    return {};
}

// Binds a value converted to a stored field's kind.
void bindValue(SqlStatement &stmt, int index, FieldKind kind, const QVariant &value)
{
    switch (kind) {
    case FieldKind::Text:
    case FieldKind::Memo:
        stmt.bindText(
            index, value.typeId() == QMetaType::QString ? value.toString() : valueText(value));
        break;
    case FieldKind::Number:
        stmt.bindDouble(index, toNumber(value));
        break;
    case FieldKind::DateTime:
        stmt.bindInt(index, packDateTime(toDateTime(value)));
        break;
    case FieldKind::Logical:
        stmt.bindInt(index, toLogical(value) ? 1 : 0);
        break;
    }
}

} // namespace

namespace {

// What a copy takes over: the new layout and, for the stored fields, the
// source and target columns; memo fields as (source field, target field).
struct CopyPlan
{
    Layout layout;
    QStringList sourceColumns;
    QStringList targetColumns;
    std::vector<std::pair<int, int>> memoFields;

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

// wh_newid(id): the record's id in the copy being written, NULL when the
// record is not copied.
void newIdFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    const auto *map = static_cast<const std::vector<qint64> *>(sqlite3_user_data(context));
    const qint64 id = sqlite3_value_int64(argv[0]);
    if (id >= 0 && id < qint64(map->size()) && (*map)[size_t(id)] != 0)
        sqlite3_result_int64(context, (*map)[size_t(id)]);
    else
        sqlite3_result_null(context);
}

Status rollbackWith(SqlDatabase &db, const QString &message)
{
    db.exec(QStringLiteral("ROLLBACK"));
    return Status::failure(message);
}

// Copies by SQL on the source connection, the new pair attached to it.
Status copyBySql(
    OpenRecordFile &f, const NewPair &pair, const CopyPlan &plan, const std::vector<qint64> &ids)
{
    // Copying every record of a dense file keeps the ids; otherwise the copy's
    // ids are the positions in `ids`.
    const bool identity
        = f.dense && ids.size() == size_t(f.count) && std::is_sorted(ids.begin(), ids.end());
    if (!identity) {
        f.copyMap.assign(size_t(f.lastId()) + 1, 0);
        for (size_t i = 0; i < ids.size(); ++i)
            f.copyMap[size_t(ids[i])] = qint64(i) + 1;
    }
    Status s = attachFile(f.db, pair.recordFile, QStringLiteral("cp"), Use::Building);
    if (s && !pair.companion.isEmpty())
        s = attachFile(f.db, pair.companion, QStringLiteral("cpedt"), Use::Building);
    if (s)
        s = f.db.exec(QStringLiteral("BEGIN"));
    if (s) {
        const QString sep = plan.sourceColumns.isEmpty() ? QString() : QStringLiteral(",");
        const QString source = plan.sourceColumns.join(u',');
        const QString rows = identity
            ? QStringLiteral("SELECT id,del%1%2 FROM main.records").arg(sep, source)
            : QStringLiteral("SELECT n,del%1%2 FROM (SELECT wh_newid(id) AS n,del%1%2 FROM "
                             "main.records) WHERE n IS NOT NULL")
                  .arg(sep, source);
        s = f.db.exec(QStringLiteral("INSERT INTO cp.records(id,del%1%2) %3")
                          .arg(sep, plan.targetColumns.join(u','), rows));
        if (s && !plan.memoFields.empty()) {
            const QString memos = identity
                ? QStringLiteral("SELECT id,%1,seq,text FROM edt.memos WHERE field IN "
                                 "(%2)")
                      .arg(plan.memoFieldMapping(), plan.memoFieldList())
                : QStringLiteral("SELECT n,%1,seq,text FROM (SELECT wh_newid(id) AS "
                                 "n,field,seq,text FROM edt.memos WHERE field IN (%2)) "
                                 "WHERE n IS NOT NULL")
                      .arg(plan.memoFieldMapping(), plan.memoFieldList());
            s = f.db.exec(QStringLiteral("INSERT INTO cpedt.memos(id,field,seq,text) ") + memos);
        }
        s = s ? f.db.exec(QStringLiteral("COMMIT")) : rollbackWith(f.db, s.message());
    }
    f.copyMap = {};
    f.db.exec(QStringLiteral("DETACH cpedt"));
    f.db.exec(QStringLiteral("DETACH cp"));
    return s;
}

// Copies record by record through a connection of the new pair's own: works
// inside a booking, and sees the booking's uncommitted state.
Status copyRows(
    OpenRecordFile &f, const NewPair &pair, const CopyPlan &plan, const std::vector<qint64> &ids)
{
    SqlDatabase out;
    Status s = pair.open(out);
    if (s)
        s = out.exec(QStringLiteral("BEGIN"));
    if (!s)
        return s;
    const QString sep = plan.sourceColumns.isEmpty() ? QString() : QStringLiteral(",");
    QStringList placeholders;
    for (int i = 0; i < plan.targetColumns.size(); ++i)
        placeholders << QStringLiteral("?");
    SqlStatement insert
        = out.prepare(QStringLiteral("INSERT INTO records(id,del%1%2) VALUES(?,?%1%3)")
                          .arg(sep, plan.targetColumns.join(u','), placeholders.join(u',')));
    SqlStatement source = f.db.prepare(QStringLiteral("SELECT id,del%1%2 FROM records WHERE id=?")
                                           .arg(sep, plan.sourceColumns.join(u',')));
    SqlStatement memoInsert;
    SqlStatement memos;
    if (!plan.memoFields.empty()) {
        memoInsert = out.prepare(QStringLiteral("INSERT INTO edt.memos(id,field,seq,text) "
                                                "VALUES(?,%1,?,?)")
                                     .arg(plan.memoFieldMapping().replace(
                                         QStringLiteral("CASE field"), QStringLiteral("CASE ?"))));
        memos = f.db.prepare(QStringLiteral("SELECT field,seq,text FROM edt.memos WHERE id=? AND "
                                            "field IN (%1) ORDER BY field,seq")
                                 .arg(plan.memoFieldList()));
    }
    bool ok = insert && source && (plan.memoFields.empty() || (memoInsert && memos));
    const int stored = int(plan.sourceColumns.size());
    for (size_t i = 0; ok && i < ids.size(); ++i) {
        const qint64 newId = qint64(i) + 1;
        source.bindInt(1, ids[i]);
        ok = source.step() == SQLITE_ROW;
        if (ok) {
            insert.bindInt(1, newId);
            for (int c = 0; c <= stored; ++c)
                sqlite3_bind_value(insert.get(), 2 + c, sqlite3_column_value(source.get(), 1 + c));
            ok = insert.run();
            insert.reset();
        }
        source.reset();
        if (!ok || plan.memoFields.empty())
            continue;
        memos.bindInt(1, ids[i]);
        while (ok && memos.step() == SQLITE_ROW) {
            memoInsert.bindInt(1, newId);
            sqlite3_bind_value(memoInsert.get(), 2, sqlite3_column_value(memos.get(), 0));
            sqlite3_bind_value(memoInsert.get(), 3, sqlite3_column_value(memos.get(), 1));
            sqlite3_bind_value(memoInsert.get(), 4, sqlite3_column_value(memos.get(), 2));
            ok = memoInsert.run();
            memoInsert.reset();
        }
        memos.reset();
    }
    if (!ok)
        return rollbackWith(out, out.errorMessage());
    return out.exec(QStringLiteral("COMMIT"));
}

// Appends every record of `from` to `to` on `to`'s connection, `from`
// attached to it; sourceOf maps each target field to its source field (0: none).
Status appendBySql(OpenRecordFile &from, OpenRecordFile &to, const std::vector<int> &sourceOf)
{
    to.copyMap.assign(size_t(from.lastId()) + 1, 0);
    for (int r = 1; r <= from.count; ++r)
        to.copyMap[size_t(from.idAt(r))] = to.lastId() + r;
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
        if (st && !memoFields.empty()) {
            QString mapping = QStringLiteral("CASE field");
            QStringList wanted;
            for (const auto &[source, target] : memoFields) {
                mapping += QStringLiteral(" WHEN %1 THEN %2").arg(source).arg(target);
                wanted << QString::number(source);
            }
            st = to.db.exec(QStringLiteral("INSERT INTO edt.memos(id,field,seq,text) SELECT "
                                           "wh_newid(id),%1 END,seq,text FROM srcedt.memos "
                                           "WHERE field IN (%2)")
                                .arg(mapping, wanted.join(u',')));
        }
        st = st ? to.db.exec(QStringLiteral("COMMIT")) : rollbackWith(to.db, st.message());
    }
    to.copyMap = {};
    to.db.exec(QStringLiteral("DETACH srcedt"));
    to.db.exec(QStringLiteral("DETACH src"));
    return st;
}

} // namespace

// --- Creation and opening ----------------------------------------------------

RecordStore::RecordStore() = default;

RecordStore::~RecordStore()
{
    closeAll();
}

QString RecordStore::companionPath(const QString &path)
{
    if (path.endsWith(QLatin1String(".zrb"), Qt::CaseInsensitive))
        return path.left(path.size() - 4) + QStringLiteral(".edt");
    return path + QStringLiteral(".edt");
}

Status RecordStore::create(const QString &path, const Layout &layout)
{
    Status s = checkLayout(layout);
    if (!s)
        return s;
    if (QFileInfo::exists(path))
        return Status::failure(QStringLiteral("文件 %1 已经存在").arg(path));
    NewPair pair;
    s = pair.create(path, layout);
    if (s)
        s = pair.install(path);
    if (!s)
        pair.discard();
    return s;
}

namespace {

Status openRecordFile(OpenRecordFile &f, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QFileInfo info(path);
    if (!info.exists())
        return Status::failure(QStringLiteral("文件 %1 不存在").arg(path));
    if (!info.isFile())
        return Status::failure(QStringLiteral("%1 不是文件").arg(path));
    Status s = f.db.open(path, false);
    if (!s)
        return s;

    // Identify the file before anything could write to it.
    bool ok = false;
    const qint64 appId = f.db.queryInt(QStringLiteral("PRAGMA application_id"), &ok);
    if (!ok || appId != recordFileId)
        return Status::failure(QStringLiteral("%1 不是本程序的数据文件").arg(name));
    if (f.db.queryInt(QStringLiteral("PRAGMA user_version")) > formatVersion)
        return Status::failure(QStringLiteral("%1 由更新版本的程序写成，无法打开").arg(name));
    const QString damaged = QStringLiteral("数据文件 %1 已损坏").arg(name);
    const QString pairId
        = f.db.queryText(QStringLiteral("SELECT value FROM meta WHERE key='pair'"), &ok);
    if (!ok)
        return Status::failure(damaged);
    {
        SqlStatement fields
            = f.db.prepare(QStringLiteral("SELECT no,name,kind FROM layout ORDER BY no"));
        if (!fields)
            return Status::failure(damaged);
        int expected = 1;
        while (fields.step() == SQLITE_ROW) {
            const qint64 kind = fields.columnInt(2);
            if (fields.columnInt(0) != expected++ || !isKnownKind(kind))
                return Status::failure(damaged);
            f.layout.append({fields.columnText(1), FieldKind(kind)});
        }
        if (!checkLayout(f.layout))
            return Status::failure(damaged);
    }

    s = f.db.enforceDurability(QStringLiteral("main"));
    if (!s)
        return s;

    f.hasCompanion = hasMemo(f.layout);
    if (f.hasCompanion) {
        const QString companion = RecordStore::companionPath(path);
        const QString companionName = QFileInfo(companion).fileName();
        if (!QFileInfo(companion).isFile())
            return Status::failure(
                QStringLiteral("缺少 %1 的备注文件 %2").arg(name, companionName));
        s = f.db.exec(QStringLiteral("ATTACH '%1' AS edt")
                          .arg(QString::fromUtf8(sqliteUri(companion, "rw")).replace(u'\'', "''")));
        if (!s)
            return Status::failure(
                QStringLiteral("备注文件 %1 无法打开：%2").arg(companionName, s.message()));
        const QString foreign
            = QStringLiteral("备注文件 %1 不属于数据文件 %2").arg(companionName, name);
        if (f.db.queryInt(QStringLiteral("PRAGMA edt.application_id"), &ok) != companionFileId
            || !ok)
            return Status::failure(foreign);
        if (f.db.queryText(QStringLiteral("SELECT value FROM edt.meta WHERE key='pair'"), &ok)
                != pairId
            || !ok)
            return Status::failure(foreign);
        s = f.db.enforceDurability(QStringLiteral("edt"));
        if (!s)
            return s;
    }

    int column = firstFieldColumn;
    for (const FieldDef &field : f.layout)
        f.columns.push_back(field.kind == FieldKind::Memo ? -1 : column++);
    const QString fields = f.fieldList();
    const QString sep = fields.isEmpty() ? QString() : QStringLiteral(",");
    f.selectRow = f.db.prepare(
        QStringLiteral("SELECT id,del%1%2 FROM records WHERE id=?").arg(sep, fields));
    QStringList placeholders;
    for (int i = 0; i < column - firstFieldColumn; ++i)
        placeholders << QStringLiteral("?");
    f.insertRow = f.db.prepare(QStringLiteral("INSERT INTO records(id,del%1%2) VALUES(?,0%1%3)")
                                   .arg(sep, fields, placeholders.join(u',')));
    f.markDeleted = f.db.prepare(QStringLiteral("UPDATE records SET del=? WHERE id=?"));
    if (!f.selectRow || !f.insertRow || !f.markDeleted)
        return Status::failure(damaged);
    if (f.hasCompanion) {
        f.memoRead = f.db.prepare(
            QStringLiteral("SELECT text FROM edt.memos WHERE id=? AND field=? ORDER BY seq"));
        f.memoAppend = f.db.prepare(
            QStringLiteral("INSERT INTO edt.memos(id,field,seq,text) VALUES(?1,?2,(SELECT "
                           "coalesce(max(seq),0)+1 FROM edt.memos WHERE id=?1 AND field=?2),?3)"));
        f.memoClear = f.db.prepare(QStringLiteral("DELETE FROM edt.memos WHERE id=? AND field=?"));
        if (!f.memoRead || !f.memoAppend || !f.memoClear)
            return Status::failure(
                QStringLiteral("备注文件 %1 已损坏")
                    .arg(QFileInfo(RecordStore::companionPath(path)).fileName()));
    }
    f.updates.resize(size_t(f.layout.size()));
    if (sqlite3_create_function_v2(f.db.get(), "wh_newid", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
            &f.copyMap, newIdFunction, nullptr, nullptr, nullptr)
        != SQLITE_OK)
        return Status::failure(f.db.errorMessage());
    return Status::success();
}

// Reads the record order: O(1) while the ids are dense.
bool loadOrder(OpenRecordFile &f)
{
    bool ok = false;
    f.dense = f.db.queryText(QStringLiteral("SELECT value FROM meta WHERE key='dense'"), &ok)
        == QLatin1String("1");
    f.ids.clear();
    if (f.dense) {
        f.count
            = int(f.db.queryInt(QStringLiteral("SELECT coalesce(max(id),0) FROM records"), &ok));
    } else {
        SqlStatement all = f.db.prepare(QStringLiteral("SELECT id FROM records ORDER BY id"));
        ok = bool(all);
        while (ok && all.step() == SQLITE_ROW)
            f.ids.push_back(all.columnInt(0));
        f.count = int(f.ids.size());
    }
    f.invalidateRow();
    f.recno = std::clamp(f.recno, 0, f.count + 1);
    return ok;
}

} // namespace

bool RecordStore::open(const QString &path, const QString &alias)
{
    clearError();
    if (alias.trimmed().isEmpty())
        return fail(QStringLiteral("别名为空"));
    if (findByPath(path))
        return fail(QStringLiteral("文件 %1 已经打开").arg(QFileInfo(path).fileName()));
    static quint64 serials = 0;
    auto file = std::make_shared<OpenRecordFile>();
    file->serial = ++serials;
    file->alias = alias;
    file->path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    file->folded = foldedPath(path);
    Status s = openRecordFile(*file, file->path);
    if (s && alias.compare(Stock::alias(), Qt::CaseInsensitive) == 0
        && !Stock::isStockLayout(file->layout))
        s = Status::failure(
            QStringLiteral("%1 不是库存数据文件（字段不符）").arg(QFileInfo(path).fileName()));
    if (s && !loadOrder(*file))
        s = Status::failure(QStringLiteral("数据文件 %1 已损坏").arg(QFileInfo(path).fileName()));
    if (!s)
        return fail(s.message());
    const QString key = alias.toCaseFolded();
    files_.erase(key);
    current_ = file.get();
    files_[key] = std::move(file);
    first();
    return true;
}

bool RecordStore::openOrSelect(const QString &path, const QString &alias)
{
    clearError();
    if (OpenRecordFile *f = findByPath(path)) {
        if (f->alias.compare(alias, Qt::CaseInsensitive) == 0) {
            current_ = f;
            return true;
        }
    }
    return open(path, alias);
}

bool RecordStore::select(const QString &alias)
{
    clearError();
    const auto it = files_.find(alias.toCaseFolded());
    if (it == files_.end())
        return fail(QStringLiteral("别名 %1 没有打开的文件").arg(alias));
    current_ = it->second.get();
    return true;
}

void RecordStore::close(const QString &alias)
{
    clearError();
    if (alias.isEmpty()) {
        if (current_)
            files_.erase(current_->alias.toCaseFolded());
        current_ = nullptr;
        return;
    }
    const auto it = files_.find(alias.toCaseFolded());
    if (it == files_.end())
        return;
    if (current_ == it->second.get())
        current_ = nullptr;
    files_.erase(it);
}

void RecordStore::closeAll()
{
    clearError();
    current_ = nullptr;
    files_.clear();
}

void RecordStore::closePath(const QString &path)
{
    if (OpenRecordFile *f = findByPath(path))
        close(f->alias);
}

bool RecordStore::isOpen(const QString &alias) const
{
    return files_.count(alias.toCaseFolded()) != 0;
}

bool RecordStore::isPathOpen(const QString &path) const
{
    return findByPath(path) != nullptr;
}

QString RecordStore::currentAlias() const
{
    return current_ ? current_->alias : QString();
}

QString RecordStore::currentPath() const
{
    return current_ ? current_->path : QString();
}

OpenRecordFile *RecordStore::findByPath(const QString &path) const
{
    const QString folded = foldedPath(path);
    for (const auto &[alias, file] : files_)
        if (file->folded == folded)
            return file.get();
    return nullptr;
}

bool RecordStore::fail(const QString &message) const
{
    lastError_ = message.isEmpty() ? QStringLiteral("操作失败") : message;
    return false;
}

bool RecordStore::needCurrent() const
{
    return current_ ? true : fail(QStringLiteral("没有当前数据文件"));
}

bool RecordStore::needRecord() const
{
    if (!needCurrent())
        return false;
    return current_->onRecord() ? true : fail(QStringLiteral("当前位置没有记录"));
}

bool RecordStore::checkField(int field) const
{
    if (!needCurrent())
        return false;
    if (field < 1 || field > current_->layout.size())
        return fail(QStringLiteral("没有第 %1 个字段").arg(field));
    return true;
}

// --- Cursor --------------------------------------------------------------------

void RecordStore::first()
{
    clearError();
    if (needCurrent()) {
        current_->recno = 1;
        current_->invalidateRow();
    }
}

void RecordStore::last()
{
    clearError();
    if (needCurrent()) {
        current_->recno = current_->count == 0 ? 1 : current_->count;
        current_->invalidateRow();
    }
}

void RecordStore::skip(int n)
{
    clearError();
    if (!needCurrent())
        return;
    const qint64 target = qint64(current_->recno) + n;
    current_->recno = int(std::clamp<qint64>(target, 0, current_->count + 1));
    current_->invalidateRow();
}

bool RecordStore::goTo(int recordNumber)
{
    clearError();
    if (!needCurrent())
        return false;
    if (recordNumber < 0 || recordNumber > current_->count + 1)
        return fail(QStringLiteral("没有第 %1 条记录").arg(recordNumber));
    current_->recno = recordNumber;
    current_->invalidateRow();
    return true;
}

int RecordStore::recordNumber() const
{
    return current_ ? current_->recno : 0;
}

int RecordStore::recordCount() const
{
    return current_ ? current_->count : 0;
}

bool RecordStore::atEnd() const
{
    return !current_ || current_->recno > current_->count;
}

bool RecordStore::atStart() const
{
    return !current_ || current_->recno < 1;
}

// --- Reading -------------------------------------------------------------------

QVariant RecordStore::read(int field) const
{
    clearError();
    if (!checkField(field))
        return {};
    OpenRecordFile &f = *current_;
    const FieldKind kind = f.layout[field - 1].kind;
    if (f.probing)
        f.touched[size_t(field - 1)] = true;
    if (!f.onRecord())
        return emptyValue(kind);
    const qint64 id = f.idAt(f.recno);
    if (kind == FieldKind::Memo) {
        QString text;
        f.memoRead.bindInt(1, id);
        f.memoRead.bindInt(2, field);
        while (f.memoRead.step() == SQLITE_ROW)
            text += f.memoRead.columnText(0);
        f.memoRead.reset();
        return text;
    }
    if (const int live = f.liveColumn(field); live >= 0)
        return decode(f.live, live, kind);
    if (f.cachedId != id) {
        f.selectRow.bindInt(1, id);
        if (f.selectRow.step() != SQLITE_ROW) {
            f.selectRow.reset();
            fail(f.db.errorMessage());
            return emptyValue(kind);
        }
        f.row.assign(size_t(f.layout.size()), QVariant());
        for (int i = 0; i < f.layout.size(); ++i)
            if (f.columns[size_t(i)] >= 0)
                f.row[size_t(i)]
                    = decode(f.selectRow.get(), f.columns[size_t(i)], f.layout[i].kind);
        f.cachedDeleted = f.selectRow.columnInt(1) != 0;
        f.selectRow.reset();
        f.cachedId = id;
    }
    return f.row[size_t(field - 1)];
}

int RecordStore::liveColumnOf(int field, FieldKind kind) const
{
    if (!current_ || !current_->live || field < 1 || field > current_->layout.size()
        || current_->layout[field - 1].kind != kind)
        return -1;
    return current_->liveColumn(field);
}

QString RecordStore::readText(int field) const
{
    // Conditions in long scans read straight from the scanning statement.
    if (current_ && current_->live && field >= 1 && field <= current_->layout.size()) {
        if (const int column = current_->liveColumn(field); column >= 0) {
            sqlite3_stmt *stmt = current_->live;
            switch (current_->layout[field - 1].kind) {
            case FieldKind::Text:
                return QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                    sqlite3_column_bytes(stmt, column));
            case FieldKind::Number:
                return numberText(sqlite3_column_double(stmt, column));
            case FieldKind::DateTime:
                return dateTimeText(unpackDateTime(sqlite3_column_int64(stmt, column)));
            case FieldKind::Logical:
                return sqlite3_column_int64(stmt, column) ? QStringLiteral("真")
                                                          : QStringLiteral("假");
            case FieldKind::Memo:
                break;
            }
        }
    }
    const QVariant value = read(field);
    return value.typeId() == QMetaType::QString ? value.toString() : valueText(value);
}

double RecordStore::readNumber(int field) const
{
    if (const int column = liveColumnOf(field, FieldKind::Number); column >= 0)
        return sqlite3_column_double(current_->live, column);
    return toNumber(read(field));
}

QDateTime RecordStore::readDateTime(int field) const
{
    const QVariant value = read(field);
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

QDate RecordStore::readDate(int field) const
{
    if (const int column = liveColumnOf(field, FieldKind::DateTime); column >= 0)
        return unpackDate(sqlite3_column_int64(current_->live, column));
    return readDateTime(field).date();
}

bool RecordStore::isDeleted() const
{
    clearError();
    if (!needRecord())
        return false;
    if (current_->live)
        return sqlite3_column_int64(current_->live, 1) != 0;
    read(1);
    return current_->cachedDeleted;
}

// --- Writing -------------------------------------------------------------------

bool RecordStore::write(int field, const QVariant &value)
{
    clearError();
    if (!checkField(field) || !needRecord())
        return false;
    OpenRecordFile &f = *current_;
    const FieldKind kind = f.layout[field - 1].kind;
    const qint64 id = f.idAt(f.recno);
    if (kind == FieldKind::Memo) {
        Transaction transaction(*this);
        if (!transaction.active())
            return false;
        f.memoClear.bindInt(1, id);
        f.memoClear.bindInt(2, field);
        bool ok = f.memoClear.run();
        f.memoClear.reset();
        const QString text
            = value.typeId() == QMetaType::QString ? value.toString() : valueText(value);
        if (ok && !text.isEmpty())
            ok = appendMemo(field, text);
        if (!ok)
            return fail(f.db.errorMessage());
        Status s = transaction.commit();
        return s ? true : fail(s.message());
    }
    SqlStatement &update = f.updates[size_t(field - 1)];
    if (!update)
        update = f.db.prepare(
            QStringLiteral("UPDATE records SET %1=? WHERE id=?").arg(columnName(field)));
    bindValue(update, 1, kind, value);
    update.bindInt(2, id);
    const bool ok = update.run();
    update.reset();
    f.invalidateRow();
    return ok ? true : fail(f.db.errorMessage());
}

bool RecordStore::appendMemo(int field, const QString &text)
{
    clearError();
    if (!checkField(field) || !needRecord())
        return false;
    OpenRecordFile &f = *current_;
    if (f.layout[field - 1].kind != FieldKind::Memo)
        return fail(QStringLiteral("字段 %1 不是备注字段").arg(f.layout[field - 1].name));
    if (text.isEmpty())
        return true;
    f.memoAppend.bindInt(1, f.idAt(f.recno));
    f.memoAppend.bindInt(2, field);
    f.memoAppend.bindText(3, text);
    const bool ok = f.memoAppend.run();
    f.memoAppend.reset();
    return ok ? true : fail(f.db.errorMessage());
}

bool RecordStore::add(const QVariantList &values)
{
    clearError();
    if (!needCurrent())
        return false;
    OpenRecordFile &f = *current_;
    Transaction transaction(*this);
    if (!transaction.active())
        return false;
    const qint64 id = f.lastId() + 1;
    SqlStatement &insert = f.insertRow;
    insert.bindInt(1, id);
    for (int i = 0; i < f.layout.size(); ++i) {
        const int column = f.columns[size_t(i)];
        if (column < 0)
            continue;
        const FieldKind kind = f.layout[i].kind;
        bindValue(insert, column, kind, i < values.size() ? values[i] : emptyValue(kind));
    }
    bool ok = insert.run();
    insert.reset();
    if (!ok)
        return fail(f.db.errorMessage());
    if (!f.dense)
        f.ids.push_back(id);
    ++f.count;
    f.recno = f.count;
    f.invalidateRow();
    for (int i = 0; i < f.layout.size() && i < values.size(); ++i) {
        if (f.layout[i].kind != FieldKind::Memo)
            continue;
        const QString text = values[i].typeId() == QMetaType::QString ? values[i].toString()
                                                                      : valueText(values[i]);
        if (!appendMemo(i + 1, text))
            return false; // the transaction rolls the record back
    }
    Status s = transaction.commit();
    return s ? true : fail(s.message());
}

bool RecordStore::deleteRecord()
{
    clearError();
    if (!needRecord())
        return false;
    OpenRecordFile &f = *current_;
    f.markDeleted.bindInt(1, 1);
    f.markDeleted.bindInt(2, f.idAt(f.recno));
    const bool ok = f.markDeleted.run();
    f.markDeleted.reset();
    f.invalidateRow();
    return ok ? true : fail(f.db.errorMessage());
}

bool RecordStore::purge()
{
    return removeWhere(QStringLiteral("del<>0"));
}

bool RecordStore::clear()
{
    return removeWhere(QStringLiteral("1"));
}

bool RecordStore::removeWhere(const QString &condition)
{
    clearError();
    if (!needCurrent())
        return false;
    OpenRecordFile &f = *current_;
    Transaction transaction(*this);
    if (!transaction.active())
        return false;
    Status s = Status::success();
    if (f.hasCompanion)
        s = f.db.exec(
            QStringLiteral("DELETE FROM edt.memos WHERE id IN (SELECT id FROM records WHERE %1)")
                .arg(condition));
    if (s)
        s = f.db.exec(QStringLiteral("DELETE FROM records WHERE %1").arg(condition));
    if (s) {
        // Ids stay as they are (memos hang on them); record numbers close up.
        bool ok = false;
        const qint64 max = f.db.queryInt(QStringLiteral("SELECT coalesce(max(id),0) FROM records"));
        const qint64 rows = f.db.queryInt(QStringLiteral("SELECT count(*) FROM records"), &ok);
        s = f.db.exec(QStringLiteral("UPDATE meta SET value='%1' WHERE key='dense'")
                          .arg(ok && max == rows ? 1 : 0));
    }
    if (s)
        s = transaction.commit();
    if (!s)
        return fail(s.message());
    loadOrder(f);
    f.recno = 1;
    return true;
}

// --- Finding -------------------------------------------------------------------

bool RecordStore::scan(
    int start, const Condition &condition, const std::function<bool(int, qint64)> &onMatch)
{
    OpenRecordFile &f = *current_;
    if (start < 1 || start > f.count)
        return true;
    // The first record goes through ordinary reads, which tell the fields the
    // condition looks at; the scan then carries only those columns.
    f.recno = start;
    f.touched.assign(size_t(f.layout.size()), false);
    f.probing = true;
    const bool firstMatches = condition(*this);
    f.probing = false;
    if (firstMatches && !onMatch(start, f.idAt(start)))
        return true;
    QStringList columns;
    f.liveColumns.assign(size_t(f.layout.size()), -1);
    for (int i = 0; i < f.layout.size(); ++i) {
        if (f.touched[size_t(i)] && f.columns[size_t(i)] >= 0) {
            f.liveColumns[size_t(i)] = firstFieldColumn + int(columns.size());
            columns << columnName(i + 1);
        }
    }
    SqlStatement scan = f.db.prepare(
        QStringLiteral("SELECT id,del%1%2 FROM records WHERE id>? ORDER BY id")
            .arg(columns.isEmpty() ? QString() : QStringLiteral(","), columns.join(u',')));
    if (!scan)
        return fail(f.db.errorMessage());
    scan.bindInt(1, f.idAt(start));
    f.live = scan.get();
    int recno = start + 1;
    int rc;
    while ((rc = scan.step()) == SQLITE_ROW) {
        f.recno = recno;
        if (condition(*this) && !onMatch(recno, sqlite3_column_int64(scan.get(), 0)))
            break;
        ++recno;
    }
    f.live = nullptr;
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? true : fail(f.db.errorMessage());
}

bool RecordStore::find(const Condition &condition)
{
    clearError();
    if (!needCurrent())
        return false;
    OpenRecordFile &f = *current_;
    bool found = false;
    const bool ok = scan(std::max(f.recno, 1), condition, [&](int recno, qint64) {
        found = true;
        f.recno = recno;
        return false;
    });
    if (!found)
        f.recno = f.count + 1;
    return found && ok;
}

bool RecordStore::forEachRecord(const std::function<void(const RecordStore &)> &visit)
{
    clearError();
    if (!needCurrent())
        return false;
    const int saved = current_->recno;
    const bool ok = scan(
        1,
        [&](const RecordStore &store) {
            visit(store);
            return false;
        },
        [](int, qint64) { return true; });
    current_->recno = saved;
    current_->invalidateRow();
    return ok;
}

bool RecordStore::findFirstEqual(int field1, const QString &text1, int field2, const QString &text2)
{
    clearError();
    if (!checkField(field1) || !checkField(field2))
        return false;
    OpenRecordFile &f = *current_;
    const int c1 = f.columns[size_t(field1 - 1)];
    const int c2 = f.columns[size_t(field2 - 1)];
    if (c1 < 0 || c2 < 0)
        return fail(QStringLiteral("备注字段不能用于查找"));
    SqlStatement query = f.db.prepare(
        QStringLiteral("SELECT id FROM records WHERE %1=? AND %2=? ORDER BY id LIMIT 1")
            .arg(columnName(field1), columnName(field2)));
    query.bindText(1, text1);
    query.bindText(2, text2);
    f.invalidateRow();
    if (query.step() == SQLITE_ROW) {
        f.recno = f.recordNumberOf(query.columnInt(0));
        return true;
    }
    f.recno = f.count + 1;
    return false;
}

// --- Whole-file operations -----------------------------------------------------

bool RecordStore::copyTo(
    const QString &path, const Condition &condition, const QStringList &fieldNames)
{
    clearError();
    if (!needCurrent())
        return false;
    OpenRecordFile &f = *current_;
    std::vector<qint64> ids;
    if (condition) {
        const int saved = f.recno;
        const bool ok = scan(1, condition, [&](int, qint64 id) {
            ids.push_back(id);
            return true;
        });
        f.recno = saved;
        if (!ok)
            return false;
    } else {
        ids.reserve(size_t(f.count));
        for (int r = 1; r <= f.count; ++r)
            ids.push_back(f.idAt(r));
    }
    return writeCopy(path, ids, fieldNames);
}

bool RecordStore::idsEqual(
    int field1, const QString &text1, int field2, const QString &text2, std::vector<qint64> &ids)
{
    if (!checkField(field1) || !checkField(field2))
        return false;
    OpenRecordFile &f = *current_;
    if (f.columns[size_t(field1 - 1)] < 0 || f.columns[size_t(field2 - 1)] < 0)
        return fail(QStringLiteral("备注字段不能用于查找"));
    SqlStatement query
        = f.db.prepare(QStringLiteral("SELECT id FROM records WHERE %1=? AND %2=? ORDER BY id")
                           .arg(columnName(field1), columnName(field2)));
    if (!query)
        return fail(f.db.errorMessage());
    query.bindText(1, text1);
    query.bindText(2, text2);
    int rc;
    while ((rc = query.step()) == SQLITE_ROW)
        ids.push_back(query.columnInt(0));
    if (rc != SQLITE_DONE)
        return fail(f.db.errorMessage());
    return true;
}

bool RecordStore::copyEqualTo(
    const QString &path, int field1, const QString &text1, int field2, const QString &text2)
{
    clearError();
    std::vector<qint64> ids;
    return idsEqual(field1, text1, field2, text2, ids) && writeCopy(path, ids, {});
}

bool RecordStore::stageEqualCopy(const QString &path, int field1, const QString &text1, int field2,
    const QString &text2, StagedCopy *staged)
{
    clearError();
    std::vector<qint64> ids;
    return idsEqual(field1, text1, field2, text2, ids) && writeCopy(path, ids, {}, staged);
}

bool RecordStore::sortTo(const QString &path, int field, bool descending)
{
    clearError();
    if (!checkField(field))
        return false;
    OpenRecordFile &f = *current_;
    const FieldKind kind = f.layout[field - 1].kind;
    struct Key
    {
        qint64 id;
        QByteArray text;
        double number = 0;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(f.count));
    if (kind == FieldKind::Memo) {
        const int saved = f.recno;
        for (int r = 1; r <= f.count; ++r) {
            f.recno = r;
            keys.push_back({f.idAt(r), Gbk::encode(read(field).toString())});
        }
        f.recno = saved;
        f.invalidateRow();
    } else {
        SqlStatement scan = f.db.prepare(
            QStringLiteral("SELECT id,%1 FROM records ORDER BY id").arg(columnName(field)));
        while (scan.step() == SQLITE_ROW) {
            Key key {scan.columnInt(0), {}};
            if (kind == FieldKind::Text)
                key.text = Gbk::encode(scan.columnText(1));
            else if (kind == FieldKind::Number)
                key.number = scan.columnDouble(1);
            else
                key.number = double(scan.columnInt(1));
            keys.push_back(std::move(key));
        }
    }
    const bool textual = kind == FieldKind::Text || kind == FieldKind::Memo;
    std::stable_sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) {
        const Key &x = descending ? b : a;
        const Key &y = descending ? a : b;
        if (textual) // unsigned byte order, as memcmp
            return std::lexicographical_compare(x.text.begin(), x.text.end(), y.text.begin(),
                y.text.end(), [](char l, char r) { return uchar(l) < uchar(r); });
        return x.number < y.number;
    });
    std::vector<qint64> ids;
    ids.reserve(keys.size());
    for (const Key &k : keys)
        ids.push_back(k.id);
    return writeCopy(path, ids, {});
}

bool RecordStore::writeCopy(const QString &path, const std::vector<qint64> &ids,
    const QStringList &fieldNames, StagedCopy *staged)
{
    OpenRecordFile &f = *current_;
    if (findByPath(path))
        return fail(QStringLiteral("文件 %1 已经打开，不能覆盖").arg(QFileInfo(path).fileName()));

    // The fields to keep, by name, in the order given.
    std::vector<int> fields;
    if (fieldNames.isEmpty()) {
        for (int i = 1; i <= f.layout.size(); ++i)
            fields.push_back(i);
    } else {
        for (const QString &name : fieldNames) {
            const int no = fieldNumber(name);
            if (no == 0)
                return fail(QStringLiteral("没有字段 %1").arg(name));
            fields.push_back(no);
        }
    }
    CopyPlan plan;
    for (size_t k = 0; k < fields.size(); ++k) {
        const int no = fields[k];
        plan.layout.append(f.layout[no - 1]);
        if (f.layout[no - 1].kind == FieldKind::Memo) {
            plan.memoFields.emplace_back(no, int(k) + 1);
        } else {
            plan.sourceColumns << columnName(no);
            plan.targetColumns << columnName(int(k) + 1);
        }
    }
    if (Status s = checkLayout(plan.layout); !s)
        return fail(s.message());

    NewPair pair;
    Status s = pair.create(path, plan.layout);
    // Outside a booking the copy runs as SQL on this connection; inside one
    // SQLite cannot attach the new file, so the rows go over one by one.
    if (s)
        s = f.db.inTransaction() ? copyRows(f, pair, plan, ids) : copyBySql(f, pair, plan, ids);
    if (s && staged) {
        *staged = {pair.recordFile, pair.companion};
        return true;
    }
    if (s)
        s = pair.install(path);
    if (!s) {
        pair.discard();
        return fail(s.message());
    }
    return true;
}

bool RecordStore::appendFrom(const QString &alias)
{
    clearError();
    if (!needCurrent())
        return false;
    const auto it = files_.find(alias.toCaseFolded());
    if (it == files_.end())
        return fail(QStringLiteral("别名 %1 没有打开的文件").arg(alias));
    OpenRecordFile &from = *it->second;
    OpenRecordFile &to = *current_;
    if (&from == &to)
        return fail(QStringLiteral("不能把文件追加到它自己"));

    // Target field -> source field, matched by name and kind.
    std::vector<int> sourceOf(size_t(to.layout.size()), 0);
    for (int t = 1; t <= to.layout.size(); ++t)
        for (int s = 1; s <= from.layout.size(); ++s)
            if (from.layout[s - 1].name == to.layout[t - 1].name
                && kindsMatch(from.layout[s - 1].kind, to.layout[t - 1].kind))
                sourceOf[size_t(t - 1)] = s;

    // Outside a booking, with every field taken as it is stored, one SQL
    // statement per table does the work.
    bool sameKinds = true;
    for (int t = 1; t <= to.layout.size(); ++t) {
        const int s = sourceOf[size_t(t - 1)];
        sameKinds = sameKinds && (s == 0 || from.layout[s - 1].kind == to.layout[t - 1].kind);
    }
    if (sameKinds && !to.db.inTransaction()) {
        const Status s = appendBySql(from, to, sourceOf);
        loadOrder(to);
        to.recno = std::max(to.count, 1);
        return s ? true : fail(s.message());
    }

    Transaction transaction(*this);
    if (!transaction.active())
        return false;
    const int savedFromRecno = from.recno;
    bool ok = true;
    for (int r = 1; ok && r <= from.count; ++r) {
        current_ = &from;
        from.recno = r;
        from.invalidateRow();
        QVariantList values;
        const bool deleted = isDeleted();
        for (int t = 1; t <= to.layout.size(); ++t) {
            const int s = sourceOf[size_t(t - 1)];
            values.append(s ? read(s) : emptyValue(to.layout[t - 1].kind));
        }
        current_ = &to;
        ok = add(values) && (!deleted || deleteRecord());
    }
    current_ = &to;
    from.recno = savedFromRecno;
    from.invalidateRow();
    if (!ok)
        return false; // add() has set the error; the transaction rolls back
    Status s = transaction.commit();
    return s ? true : fail(s.message());
}

// --- Notes -----------------------------------------------------------------------
//
// Notes share the meta table with the file's own keys ("pair", "dense"); the
// prefix keeps them apart.

bool RecordStore::writeNote(const QString &key, const QString &value)
{
    clearError();
    if (!needCurrent())
        return false;
    OpenRecordFile &f = *current_;
    SqlStatement statement = f.db.prepare(value.isEmpty()
            ? QStringLiteral("DELETE FROM meta WHERE key=?")
            : QStringLiteral("INSERT OR REPLACE INTO meta(key,value) VALUES(?,?)"));
    if (!statement)
        return fail(f.db.errorMessage());
    statement.bindText(1, QStringLiteral("note:") + key);
    if (!value.isEmpty())
        statement.bindText(2, value);
    return statement.run() ? true : fail(f.db.errorMessage());
}

QString RecordStore::readNote(const QString &key) const
{
    clearError();
    if (!needCurrent())
        return {};
    OpenRecordFile &f = *current_;
    SqlStatement query = f.db.prepare(QStringLiteral("SELECT value FROM meta WHERE key=?"));
    if (!query) {
        fail(f.db.errorMessage());
        return {};
    }
    query.bindText(1, QStringLiteral("note:") + key);
    const int rc = query.step();
    if (rc == SQLITE_ROW)
        return query.columnText(0);
    if (rc != SQLITE_DONE)
        fail(f.db.errorMessage());
    return {};
}

// --- Layout --------------------------------------------------------------------

int RecordStore::fieldCount() const
{
    return current_ ? int(current_->layout.size()) : 0;
}

QString RecordStore::fieldName(int field) const
{
    clearError();
    return checkField(field) ? current_->layout[field - 1].name : QString();
}

FieldKind RecordStore::fieldKind(int field) const
{
    clearError();
    return checkField(field) ? current_->layout[field - 1].kind : FieldKind::Text;
}

int RecordStore::fieldNumber(const QString &name) const
{
    if (!current_)
        return 0;
    for (int i = 0; i < current_->layout.size(); ++i)
        if (current_->layout[i].name == name)
            return i + 1;
    for (int i = 0; i < current_->layout.size(); ++i)
        if (current_->layout[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

Layout RecordStore::layout() const
{
    return current_ ? current_->layout : Layout();
}

// --- Transactions --------------------------------------------------------------

RecordStore::Transaction::Transaction(RecordStore &store)
    : store_(store)
{
    OpenRecordFile *file = store.current_;
    if (!file)
        return;
    if (file->transactionDepth == 0) {
        Status s = file->db.exec(QStringLiteral("BEGIN IMMEDIATE"));
        if (!s) {
            store.fail(s.message());
            return;
        }
        file->transactionDoomed = false;
    }
    ++file->transactionDepth;
    file_ = file;
    serial_ = file->serial;
}

RecordStore::Transaction::~Transaction()
{
    rollback();
}

Status RecordStore::Transaction::commit()
{
    if (!file_)
        return Status::failure(QStringLiteral("没有进行中的事务"));
    if (file_->transactionDepth > 1) {
        --file_->transactionDepth;
        file_ = nullptr;
        return Status::success();
    }
    if (file_->transactionDoomed) {
        rollback();
        return Status::failure(QStringLiteral("事务中的一步失败，全部撤销"));
    }
    Status s = file_->db.exec(QStringLiteral("COMMIT"));
    if (!s) {
        rollback();
        return s;
    }
    file_->transactionDepth = 0;
    file_ = nullptr;
    return Status::success();
}

void RecordStore::Transaction::rollback()
{
    if (!file_)
        return;
    // The file may have been closed meanwhile; then SQLite has rolled back.
    bool stillOpen = false;
    for (const auto &[alias, file] : store_.files_)
        stillOpen = stillOpen || (file.get() == file_ && file->serial == serial_);
    if (stillOpen) {
        if (file_->transactionDepth > 1) {
            --file_->transactionDepth;
            file_->transactionDoomed = true;
        } else {
            if (file_->db.inTransaction())
                file_->db.exec(QStringLiteral("ROLLBACK"));
            file_->transactionDepth = 0;
            loadOrder(*file_);
        }
    }
    file_ = nullptr;
}
