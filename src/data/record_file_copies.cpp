#include "data/record_file.h"

#include "common/file_system.h"
#include "common/gbk.h"
#include "common/utf8.h"
#include "common/value_text.h"
#include "data/pair_replacement.h"
#include "data/record_copy.h"
#include "data/record_format.h"
#include "data/record_values.h"

#include <QFileInfo>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>

using namespace RecordValues;
using RecordFormat::NewPair;

// The whole-file operations of a record file: copies, sorted copies and
// appends, each written under temporary names and put in place whole.

Status RecordFile::copyTo(
    const QString &path, const Condition &condition, const QStringList &fieldNames)
{
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    std::vector<qint64> ids;
    if (condition) {
        const int saved = f.recno;
        Status s = scan(1, condition, [&](int, qint64 id) {
            ids.push_back(id);
            return true;
        });
        f.recno = saved;
        f.invalidateRow();
        if (!s)
            return s;
    } else {
        ids.reserve(size_t(f.count));
        for (int r = 1; r <= f.count; ++r)
            ids.push_back(f.idAt(r));
    }
    return writeCopy(path, ids, fieldNames);
}

Status RecordFile::daysFilter(
    int dateField, const QDate &first, const QDate &last, QString &filter) const
{
    if (Status s = checkField(dateField); !s)
        return s;
    const OpenRecordFile &f = *f_;
    if (f.layout[dateField - 1].kind != FieldKind::DateTime)
        return Status::failure(
            QStringLiteral("字段 %1 不是日期时间").arg(f.layout[dateField - 1].name));
    // Stored date-times are yyyymmddhhmmss, so a run of days is one range of
    // integers: from the first day's midnight up to the day after the last
    // (yyyymmdd + 1 is past every time of the last day even at a month's end).
    const auto dayStart = [](const QDate &day) {
        return (qint64(day.year()) * 10000 + day.month() * 100 + day.day()) * 1000000;
    };
    filter = QStringLiteral("%1>=%2 AND %1<%3")
                 .arg(columnName(dateField))
                 .arg(dayStart(first))
                 .arg(dayStart(last) + 1000000);
    return Status::success();
}

Status RecordFile::copyDaysToScratch(const QString &path, int dateField, const QDate &first,
    const QDate &last, const QStringList &fieldNames)
{
    QString filter;
    if (Status s = daysFilter(dateField, first, last, filter); !s)
        return s;
    return writeCopy(path, {}, fieldNames, nullptr, Install::Scratch, filter);
}

namespace {

// A stored value as readTextInto() gives it from a scan's statement. Memos
// are never copied by a row filter.
QStringView valueTextInto(
    FieldKind kind, sqlite3_value *value, DateTimeTexts &dates, std::u16string &buffer)
{
    if (buffer.size() < 64)
        buffer.resize(64);
    switch (kind) {
    case FieldKind::Text: {
        const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return Utf8::decodeInto(QByteArrayView(text, sqlite3_value_bytes(value)), buffer);
    }
    case FieldKind::Number:
        return QStringView(
            buffer.data(), writeNumberText(sqlite3_value_double(value), buffer.data()));
    case FieldKind::DateTime:
        return QStringView(
            buffer.data(), writeDateTimeText(dates, sqlite3_value_int64(value), buffer.data()));
    case FieldKind::Logical:
        return sqlite3_value_int64(value) ? u"真" : u"假";
    case FieldKind::Memo:
        break;
    }
    return {};
}

} // namespace

Status RecordFile::copyDaysToScratch(const QString &path, int dateField, const QDate &first,
    const QDate &last, const QStringList &fieldNames, const RowTexts &row)
{
    QString filter;
    if (Status s = daysFilter(dateField, first, last, filter); !s)
        return s;
    OpenRecordFile &f = *f_;
    std::vector<FieldKind> kinds;
    for (const QString &name : fieldNames) {
        const int no = fieldNumber(name);
        if (no == 0)
            return Status::failure(QStringLiteral("没有字段 %1").arg(name));
        kinds.push_back(f.layout[no - 1].kind);
    }
    std::vector<std::u16string> buffers(kinds.size());
    std::vector<QStringView> texts(kinds.size());
    const CopiedRow onRow = [&](sqlite3_value **values) {
        for (size_t k = 0; k < kinds.size(); ++k)
            texts[k] = valueTextInto(kinds[k], values[k], f.dateTexts, buffers[k]);
        row(texts.data());
    };
    return writeCopy(path, {}, fieldNames, nullptr, Install::Scratch, filter, false, onRow);
}

Status RecordFile::idsEqual(int field1, const QString &text1, int field2, const QString &text2,
    std::vector<qint64> &ids) const
{
    if (Status s = checkField(field1); !s)
        return s;
    if (Status s = checkField(field2); !s)
        return s;
    OpenRecordFile &f = *f_;
    if (f.columns[size_t(field1 - 1)] < 0 || f.columns[size_t(field2 - 1)] < 0)
        return Status::failure(QStringLiteral("备注字段不能用于查找"));
    SqlStatement query
        = f.db.prepare(QStringLiteral("SELECT id FROM records WHERE %1=? AND %2=? ORDER BY id")
                           .arg(columnName(field1), columnName(field2)));
    if (!query)
        return Status::failure(f.db.errorMessage());
    query.bindText(1, text1);
    query.bindText(2, text2);
    int rc;
    while ((rc = query.step()) == SQLITE_ROW)
        ids.push_back(query.columnInt(0));
    return rc == SQLITE_DONE ? Status::success() : Status::failure(sqliteErrorText(rc));
}

Status RecordFile::countEqual(
    int field1, const QString &text1, int field2, const QString &text2, int *count)
{
    std::vector<qint64> ids;
    Status s = idsEqual(field1, text1, field2, text2, ids);
    *count = s ? int(ids.size()) : -1;
    return s;
}

Status RecordFile::copyEqualTo(
    const QString &path, int field1, const QString &text1, int field2, const QString &text2)
{
    std::vector<qint64> ids;
    if (Status s = idsEqual(field1, text1, field2, text2, ids); !s)
        return s;
    return writeCopy(path, ids, {}, nullptr, Install::Durable, {}, true);
}

Status RecordFile::stageEqualCopy(const QString &path, int field1, const QString &text1, int field2,
    const QString &text2, StagedCopy *staged, const QString &noteKey, const QString &noteValue)
{
    std::vector<qint64> ids;
    if (Status s = idsEqual(field1, text1, field2, text2, ids); !s)
        return s;
    return writeCopy(path, ids, {}, staged, Install::Durable, {}, true, {}, {noteKey, noteValue});
}

namespace {

const QString copiedFromNote = QStringLiteral("copied from");

} // namespace

Status RecordFile::copiedFromIds(std::vector<qint64> *ids) const
{
    ids->clear();
    QString note;
    if (Status s = readNote(copiedFromNote, &note); !s)
        return s;
    for (const QStringView part : QStringView(note).split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 id = part.toLongLong(&ok);
        if (!ok || id <= 0) {
            ids->clear(); // not a note of ours: as good as none
            break;
        }
        ids->push_back(id);
    }
    return Status::success();
}

Status RecordFile::stageCopy(const QString &path, StagedCopy *staged)
{
    if (Status s = needOpen(); !s)
        return s;
    std::vector<qint64> ids;
    ids.reserve(size_t(f_->count));
    for (int r = 1; r <= f_->count; ++r)
        ids.push_back(f_->idAt(r));
    return writeCopy(path, ids, {}, staged);
}

namespace {

// Copies one schema of a connection into a new file, page by page. The new
// file needs neither journal nor sync: it is a temporary until renamed.
Status backUpSchema(SqlDatabase &from, const QString &schema, const QString &path)
{
    SqlDatabase to;
    Status s = to.open(path, true);
    if (s)
        s = to.exec(QStringLiteral("PRAGMA journal_mode=OFF;PRAGMA synchronous=OFF"));
    if (!s)
        return s;
    sqlite3_backup *backup
        = sqlite3_backup_init(to.get(), "main", from.get(), schema.toUtf8().constData());
    if (!backup)
        return Status::failure(to.errorMessage());
    (void)sqlite3_backup_step(backup, -1); // the outcome is told by finish
    if (const int rc = sqlite3_backup_finish(backup); rc != SQLITE_OK)
        return Status::failure(sqliteErrorText(rc));
    return Status::success();
}

} // namespace

Status RecordFile::snapshotTo(const QString &path, const QString &noteKey, const QString &noteValue)
{
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    const QString companion = companionPath(path);
    if (QFileInfo::exists(path) || QFileInfo::exists(companion))
        return Status::failure(QStringLiteral("文件 %1 已经存在").arg(QFileInfo(path).fileName()));
    const QString dir = QFileInfo(path).absolutePath();
    const QString stem = PairReplacement::newStem();
    const NewPair pair {PairReplacement::temporaryPath(dir, stem, QStringLiteral(".zrb")),
        f.hasCompanion ? PairReplacement::temporaryPath(dir, stem, QStringLiteral(".edt"))
                       : QString()};
    Status s = backUpSchema(f.db, QStringLiteral("main"), pair.recordFile);
    if (s && f.hasCompanion)
        s = backUpSchema(f.db, QStringLiteral("edt"), pair.companion);
    // The copy is a pair of its own, and says what it is.
    if (s) {
        SqlDatabase db;
        s = pair.open(db);
        const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString setId = QStringLiteral("UPDATE %1meta SET value='%2' WHERE key='pair';");
        if (s)
            s = db.exec(QStringLiteral("BEGIN;") + setId.arg(QString(), id)
                + (f.hasCompanion ? setId.arg(QStringLiteral("edt."), id) : QString()));
        if (s) {
            SqlStatement note
                = db.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key,value) VALUES(?,?)"));
            note.bindText(1, QStringLiteral("note:") + noteKey);
            note.bindText(2, noteValue);
            s = note.run() ? db.exec(QStringLiteral("COMMIT")) : Status::failure(db.errorMessage());
        }
    }
    // New names: the companion first, so a crash between leaves no record
    // file without its memos.
    if (s && f.hasCompanion)
        s = FileSystem::replaceFile(pair.companion, companion);
    if (s)
        s = FileSystem::replaceFile(pair.recordFile, path);
    if (!s)
        pair.discard();
    return s;
}

Status RecordFile::sortTo(const QString &path, int field, bool descending)
{
    if (Status s = checkField(field); !s)
        return s;
    OpenRecordFile &f = *f_;
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
        Status s = Status::success();
        for (int r = 1; s && r <= f.count; ++r) {
            f.recno = r;
            moved();
            keys.push_back({f.idAt(r), Gbk::encode(read(field).toString())});
            s = readStatus();
        }
        f.recno = saved;
        moved();
        if (!s)
            return s;
    } else {
        SqlStatement scan = f.db.prepare(
            QStringLiteral("SELECT id,%1 FROM records ORDER BY id").arg(columnName(field)));
        if (!scan)
            return Status::failure(f.db.errorMessage());
        int rc;
        while ((rc = scan.step()) == SQLITE_ROW) {
            Key key {scan.columnInt(0), {}};
            if (kind == FieldKind::Text)
                key.text = Gbk::encode(scan.columnText(1));
            else if (kind == FieldKind::Number)
                key.number = scan.columnDouble(1);
            else
                key.number = double(scan.columnInt(1));
            keys.push_back(std::move(key));
        }
        // A scan cut short must not give a short copy.
        if (rc != SQLITE_DONE)
            return Status::failure(sqliteErrorText(rc));
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

Status RecordFile::writeCopy(const QString &path, const std::vector<qint64> &ids,
    const QStringList &fieldNames, StagedCopy *staged, Install install, const QString &rowFilter,
    bool noteSources, const CopiedRow &onRow, const std::pair<QString, QString> &note)
{
    OpenRecordFile &f = *f_;
    if (RecordFormat::foldedPath(path) == f.folded)
        return Status::failure(
            QStringLiteral("文件 %1 已经打开，不能覆盖").arg(QFileInfo(path).fileName()));

    // The fields to keep, by name, in the order given.
    std::vector<int> fields;
    if (fieldNames.isEmpty()) {
        for (int i = 1; i <= f.layout.size(); ++i)
            fields.push_back(i);
    } else {
        for (const QString &name : fieldNames) {
            const int no = fieldNumber(name);
            if (no == 0)
                return Status::failure(QStringLiteral("没有字段 %1").arg(name));
            fields.push_back(no);
        }
    }
    RecordCopy::CopyPlan plan;
    plan.rowFilter = rowFilter;
    plan.onRow = onRow;
    if (noteSources) {
        QStringList numbers;
        for (const qint64 id : ids)
            numbers << QString::number(id);
        plan.notes.emplace_back(copiedFromNote, numbers.join(u' '));
    }
    if (!note.first.isEmpty())
        plan.notes.push_back(note);
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
    if (Status s = RecordFormat::checkLayout(plan.layout); !s)
        return s;

    NewPair pair;
    Status s = pair.create(path, plan.layout);
    // Outside a booking the copy runs as SQL on this connection; inside one
    // SQLite cannot attach the new file, so the rows go over one by one.
    if (s)
        s = f.db.inTransaction() ? RecordCopy::copyRows(f, pair, plan, ids)
                                 : RecordCopy::copyBySql(f, pair, plan, ids);
    if (s && staged) {
        *staged = {pair.recordFile, pair.companion};
        return s;
    }
    bool committed = false;
    if (s && install == Install::Scratch && pair.companion.isEmpty()) {
        s = PairReplacement::replaceScratch(path, pair.recordFile);
        committed = s.ok();
    } else if (s) {
        s = pair.install(path, &committed);
    }
    if (!s) {
        // Past its marker the new pair is the file: start-up finishes it.
        if (!committed)
            pair.discard();
    }
    return s;
}

Status RecordFile::appendFrom(RecordFile &source)
{
    if (Status s = needOpen(); !s)
        return s;
    if (Status s = source.needOpen(); !s)
        return s;
    OpenRecordFile &from = *source.f_;
    OpenRecordFile &to = *f_;
    if (&from == &to)
        return Status::failure(QStringLiteral("不能把文件追加到它自己"));

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
        Status s = RecordCopy::appendBySql(from, to, sourceOf);
        const Status loaded = RecordFormat::loadOrder(to);
        to.recno = std::max(to.count, 1);
        if (s)
            s = loaded;
        moved();
        return s;
    }

    Transaction transaction(*this);
    if (Status s = transaction.begin(); !s)
        return s;
    const int savedFromRecno = from.recno;
    Status s = Status::success();
    for (int r = 1; s && r <= from.count; ++r) {
        from.recno = r;
        source.moved();
        QVariantList values;
        const bool deleted = source.isDeleted();
        for (int t = 1; t <= to.layout.size(); ++t) {
            const int field = sourceOf[size_t(t - 1)];
            values.append(field ? source.read(field) : emptyValue(to.layout[t - 1].kind));
        }
        s = source.readStatus();
        if (s)
            s = add(values);
        if (s && deleted)
            s = deleteRecord();
    }
    from.recno = savedFromRecno;
    source.moved();
    if (!s)
        return s; // the transaction rolls back
    return transaction.commit();
}
