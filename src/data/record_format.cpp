#include "data/record_format.h"

#include "data/memo_queue.h"
#include "data/pair_replacement.h"
#include "data/record_copy.h"
#include "data/record_file.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QUuid>

#include <sqlite3.h>

#include <cstring>

using namespace RecordValues;

namespace RecordFormat {
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
                                 "del INTEGER NOT NULL DEFAULT 0%3);%4")
                      .arg(recordFileId)
                      .arg(formatVersion)
                      .arg(columns.isEmpty() ? QString() : u',' + columns.join(u','),
                          hasMemo(layout) ? MemoQueue::createSql() + u';' : QString());
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
        (void)db.exec(QStringLiteral("ROLLBACK")); // a new file: it is discarded whole
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
        (void)db.exec(QStringLiteral("ROLLBACK")); // a new file: it is discarded whole
        return Status::failure(message);
    }
    return db.exec(QStringLiteral("COMMIT"));
}

} // namespace

QString foldedPath(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath()).toCaseFolded();
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

Status NewPair::create(const QString &target, const Layout &layout)
{
    const QString dir = QFileInfo(target).absolutePath();
    if (!QFileInfo(dir).isDir())
        return Status::failure(
            QStringLiteral("文件夹 %1 不存在").arg(QDir::toNativeSeparators(dir)));
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

Status NewPair::open(SqlDatabase &db) const
{
    Status s = db.open(recordFile, false);
    if (s)
        s = applyUse(db, QStringLiteral("main"), Use::Building);
    if (s && !companion.isEmpty())
        s = attachFile(db, companion, QStringLiteral("edt"), Use::Building);
    return s;
}

Status NewPair::install(const QString &target, bool *committed) const
{
    return PairReplacement::replace(target, recordFile, companion, committed);
}

void NewPair::discard() const
{
    PairReplacement::discard(recordFile, companion);
}

// --- Opening, step by step ---------------------------------------------------------

namespace {

QString damagedText(const QString &name)
{
    return QStringLiteral("数据文件 %1 已损坏").arg(name);
}

Status checkIsFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Status::failure(
            QStringLiteral("文件 %1 不存在").arg(QDir::toNativeSeparators(path)));
    if (!info.isFile())
        return Status::failure(QStringLiteral("%1 不是文件").arg(QDir::toNativeSeparators(path)));
    return Status::success();
}

// Identifies the file before anything could write to it; gives its pair id.
Status identify(OpenRecordFile &f, const QString &name, QString &pairId)
{
    bool ok = false;
    const qint64 appId = f.db.queryInt(QStringLiteral("PRAGMA application_id"), &ok);
    if (!ok || appId != recordFileId)
        return Status::failure(QStringLiteral("%1 不是本程序的数据文件").arg(name));
    if (f.db.queryInt(QStringLiteral("PRAGMA user_version")) > formatVersion)
        return Status::failure(QStringLiteral("%1 由更新版本的程序写成，无法打开").arg(name));
    pairId = f.db.queryText(QStringLiteral("SELECT value FROM meta WHERE key='pair'"), &ok);
    return ok ? Status::success() : Status::failure(damagedText(name));
}

Status readLayout(OpenRecordFile &f, const QString &name)
{
    SqlStatement fields
        = f.db.prepare(QStringLiteral("SELECT no,name,kind FROM layout ORDER BY no"));
    if (!fields)
        return Status::failure(damagedText(name));
    int expected = 1;
    int rc;
    while ((rc = fields.step()) == SQLITE_ROW) {
        const qint64 kind = fields.columnInt(2);
        if (fields.columnInt(0) != expected++ || !isKnownKind(kind))
            return Status::failure(damagedText(name));
        f.layout.append({fields.columnText(1), FieldKind(kind)});
    }
    if (rc != SQLITE_DONE)
        return Status::failure(QStringLiteral("无法读取 %1：%2").arg(name, f.db.errorMessage()));
    if (!checkLayout(f.layout))
        return Status::failure(damagedText(name));
    return Status::success();
}

// Attaches the memo companion as "edt"; it must carry the file's pair id.
Status attachCompanion(OpenRecordFile &f, const QString &path, const QString &pairId)
{
    const QString name = QFileInfo(path).fileName();
    const QString companion = RecordFile::companionPath(path);
    const QString companionName = QFileInfo(companion).fileName();
    if (!QFileInfo(companion).isFile())
        return Status::failure(QStringLiteral("缺少 %1 的备注文件 %2").arg(name, companionName));
    Status s
        = f.db.exec(QStringLiteral("ATTACH '%1' AS edt")
                        .arg(QString::fromUtf8(sqliteUri(companion, "rw")).replace(u'\'', "''")));
    if (!s)
        return Status::failure(
            QStringLiteral("备注文件 %1 无法打开：%2").arg(companionName, s.message()));
    const QString foreign
        = QStringLiteral("备注文件 %1 不属于数据文件 %2").arg(companionName, name);
    bool ok = false;
    if (f.db.queryInt(QStringLiteral("PRAGMA edt.application_id"), &ok) != companionFileId || !ok)
        return Status::failure(foreign);
    if (f.db.queryText(QStringLiteral("SELECT value FROM edt.meta WHERE key='pair'"), &ok) != pairId
        || !ok)
        return Status::failure(foreign);
    return f.db.enforceDurability(QStringLiteral("edt"));
}

Status prepareStatements(OpenRecordFile &f, const QString &path)
{
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
        return Status::failure(damagedText(QFileInfo(path).fileName()));
    if (f.hasCompanion)
        if (Status s = MemoQueue::prepare(f); !s)
            return s;
    f.updates.resize(size_t(f.layout.size()));
    return Status::success();
}

} // namespace

namespace {

void noteWrite(void *file, int operation, const char *schema, const char *table, sqlite3_int64 id)
{
    // Copies write into attached files and the notes into meta: neither is a
    // record of this file.
    if (std::strcmp(schema, "main") != 0 || std::strcmp(table, "records") != 0)
        return;
    WriteHistory *history = static_cast<OpenRecordFile *>(file)->history.get();
    if (!history)
        return;
    if (operation != SQLITE_UPDATE) {
        ++history->shapeChanges;
        return;
    }
    constexpr size_t kept = 1 << 16;
    if (history->written.size() >= kept) {
        history->writtenDropped += history->written.size();
        history->written.clear();
    }
    history->written.push_back(qint64(id));
}

} // namespace

qint64 dataVersion(OpenRecordFile &f)
{
    bool ok = false;
    const qint64 version = f.db.queryInt(QStringLiteral("PRAGMA main.data_version"), &ok);
    return ok ? version : -1;
}

QByteArray fileState(const QString &path)
{
    constexpr qint64 counterOffset = 24;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(counterOffset))
        return {};
    QByteArray state = file.read(4);
    if (state.size() != 4)
        return {};
    const qint64 modified = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
    return state + QByteArray::number(file.size()) + '/' + QByteArray::number(modified);
}

Status open(OpenRecordFile &f, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    QString pairId;
    Status s = checkIsFile(path);
    if (s)
        s = f.db.open(path, false);
    if (s)
        sqlite3_update_hook(f.db.get(), noteWrite, &f);
    if (s)
        s = identify(f, name, pairId);
    if (s)
        s = readLayout(f, name);
    if (s)
        s = f.db.enforceDurability(QStringLiteral("main"));
    f.hasCompanion = hasMemo(f.layout);
    if (s && f.hasCompanion)
        s = attachCompanion(f, path, pairId);
    if (s)
        s = prepareStatements(f, path);
    if (s)
        s = RecordCopy::registerFunctions(f);
    return s;
}

namespace {

QString badIdText(const OpenRecordFile &f, const QString &id)
{
    return QStringLiteral("数据文件 %1 含有无效的记录编号 %2，无法打开")
        .arg(QFileInfo(f.path).fileName(), id);
}

// Whether the note's "dense" (ids exactly 1..n) can be taken at its word;
// `rows` is then n. Asked in O(log n): the smallest and the largest id, which
// must be whole numbers from 1, and the largest no more than the file's size
// in bytes (every record takes more than a byte), so no count read from a
// file is ever larger than the file. A note that hides gaps costs nothing
// worse: a record number with no record reads as empty, as a deleted one does.
Status checkDense(OpenRecordFile &f, bool &dense, qint64 &rows)
{
    qint64 ends[2] = {0, 0};
    bool integers = true;
    const char *queries[2] = {"SELECT min(id),typeof(min(id)) FROM records",
        "SELECT max(id),typeof(max(id)) FROM records"};
    for (int i = 0; i < 2; ++i) {
        SqlStatement end = f.db.prepare(QString::fromLatin1(queries[i]));
        if (!end || end.step() != SQLITE_ROW)
            return Status::failure(f.db.errorMessage());
        const QString type = end.columnText(1);
        if (type == QLatin1String("null"))
            return dense = true, rows = 0, Status::success(); // no records
        integers = integers && type == QLatin1String("integer");
        ends[i] = end.columnInt(0);
    }
    rows = ends[1];
    dense = integers && ends[0] == 1 && rows <= maxRecordId && rows <= QFileInfo(f.path).size();
    return Status::success();
}

// Reads the ids in order; each must be a whole number in 1..maxRecordId and
// larger than the one before.
Status readIds(OpenRecordFile &f)
{
    SqlStatement all = f.db.prepare(QStringLiteral("SELECT id FROM records ORDER BY id"));
    if (!all)
        return Status::failure(f.db.errorMessage());
    int rc;
    while ((rc = all.step()) == SQLITE_ROW) {
        const qint64 id = all.columnInt(0);
        if (sqlite3_column_type(all.get(), 0) != SQLITE_INTEGER || id < 1 || id > maxRecordId
            || (!f.ids.empty() && id <= f.ids.back())) {
            const QString shown = all.columnText(0);
            f.ids.clear();
            return Status::failure(badIdText(f, shown.left(30)));
        }
        f.ids.push_back(id);
    }
    if (rc != SQLITE_DONE) {
        f.ids.clear();
        return Status::failure(f.db.errorMessage());
    }
    return Status::success();
}

} // namespace

Status retireLastId(OpenRecordFile &f)
{
    // max() over the key is one step down the table's b-tree.
    return f.db.exec(QStringLiteral(
        "INSERT OR REPLACE INTO main.meta(key,value) SELECT 'retired',max(coalesce((SELECT "
        "CAST(value AS INTEGER) FROM main.meta WHERE key='retired'),0),coalesce((SELECT max(id) "
        "FROM main.records),0))"));
}

Status loadOrder(OpenRecordFile &f)
{
    bool ok = false;
    const QString note
        = f.db.queryText(QStringLiteral("SELECT value FROM meta WHERE key='dense'"), &ok);
    if (!ok)
        return Status::failure(f.db.errorMessage());
    // Files of earlier versions have no such note: their ids start here.
    const qint64 retired = f.db.queryInt(QStringLiteral(
        "SELECT coalesce((SELECT CAST(value AS INTEGER) FROM meta WHERE key='retired'),0)"));
    f.retiredId = std::clamp(retired, qint64(0), maxRecordId);
    f.ids.clear();
    f.dense = false;
    qint64 rows = 0;
    if (note == QLatin1String("1")) {
        if (Status s = checkDense(f, f.dense, rows); !s)
            return s;
    }
    if (f.dense) {
        f.count = int(rows);
    } else {
        if (Status s = readIds(f); !s)
            return s;
        f.count = int(f.ids.size());
    }
    f.invalidateRow();
    f.recno = std::clamp(f.recno, 0, f.count + 1);
    return Status::success();
}

} // namespace RecordFormat

OpenRecordFile::~OpenRecordFile()
{
    // The connection closes after this, with the members; a transaction
    // still open rolls back then, which the file's state tells apart.
    if (history && db.isOpen() && !db.inTransaction() && versionAtOpen >= 0
        && RecordFormat::dataVersion(*this) == versionAtOpen)
        history->closedAs = RecordFormat::fileState(path);
}
