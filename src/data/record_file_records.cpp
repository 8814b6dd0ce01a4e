#include "data/record_file.h"

#include "common/utf8.h"
#include "common/value_text.h"
#include "data/memo_queue.h"
#include "data/record_format.h"
#include "data/sqlite_file.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <utility>

using namespace RecordValues;

// The record-by-record operations of a record file: reading, writing and
// finding.

// --- Reading -------------------------------------------------------------------

QVariant RecordFile::read(int field) const
{
    QVariant value = storedValue(field);
    // Date-times wait as stored integers until one is asked for: building a
    // QDateTime asks the C library for the zone's offset.
    if (value.typeId() == QMetaType::LongLong)
        return unpackDateTime(value.toLongLong());
    return value;
}

QVariant RecordFile::storedValue(int field) const
{
    if (Status s = checkField(field); !s) {
        (void)readFailed(s.message()); // readStatus() tells it
        return {};
    }
    OpenRecordFile &f = *f_;
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
        int rc;
        while ((rc = f.memoRead.step()) == SQLITE_ROW)
            text += f.memoRead.columnText(0);
        f.memoRead.reset();
        if (rc != SQLITE_DONE) {
            (void)readFailed(sqliteErrorText(rc)); // readStatus() tells it
            return emptyValue(kind);
        }
        return text;
    }
    if (const int live = f.liveColumn(field); live >= 0)
        return decodeStored(f.live, live, kind);
    if (!f.cached || f.cachedId != id) {
        f.selectRow.bindInt(1, id);
        if (const int rc = f.selectRow.step(); rc != SQLITE_ROW) {
            f.selectRow.reset();
            // readStatus() tells it
            (void)readFailed(
                rc == SQLITE_DONE ? QStringLiteral("记录已不在文件中") : sqliteErrorText(rc));
            return emptyValue(kind);
        }
        f.row.assign(size_t(f.layout.size()), QVariant());
        for (int i = 0; i < f.layout.size(); ++i)
            if (f.columns[size_t(i)] >= 0)
                f.row[size_t(i)]
                    = decodeStored(f.selectRow.get(), f.columns[size_t(i)], f.layout[i].kind);
        f.cachedDeleted = f.selectRow.columnInt(1) != 0;
        f.selectRow.reset();
        f.cachedId = id;
        f.cached = true;
    }
    return f.row[size_t(field - 1)];
}

int RecordFile::liveColumnOf(int field, FieldKind kind) const
{
    if (!f_ || !f_->live || field < 1 || field > f_->layout.size()
        || std::as_const(f_->layout)[field - 1].kind != kind)
        return -1;
    return f_->liveColumn(field);
}

QString RecordFile::readText(int field) const
{
    // Conditions in long scans read straight from the scanning statement.
    if (f_ && f_->live && field >= 1 && field <= f_->layout.size()) {
        if (const int column = f_->liveColumn(field); column >= 0) {
            sqlite3_stmt *stmt = f_->live;
            switch (f_->layout[field - 1].kind) {
            case FieldKind::Text:
                return QString::fromUtf8(
                    reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                    sqlite3_column_bytes(stmt, column));
            case FieldKind::Number:
                return numberText(sqlite3_column_double(stmt, column));
            case FieldKind::DateTime:
                return dateTimeText(f_->dateTexts, sqlite3_column_int64(stmt, column));
            case FieldKind::Logical:
                return sqlite3_column_int64(stmt, column) ? QStringLiteral("真")
                                                          : QStringLiteral("假");
            case FieldKind::Memo:
                break;
            }
        }
    }
    const QVariant value = storedValue(field);
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::LongLong: // only date-times are kept as integers
        return dateTimeText(f_->dateTexts, value.toLongLong());
    default:
        return valueText(value);
    }
}

namespace {

// Room for n units at the start of a scan's buffer. It only grows, so a scan
// allocates for its longest text alone.
char16_t *roomFor(std::u16string &buffer, size_t n)
{
    if (buffer.size() < n)
        buffer.resize(std::max(n, buffer.size() * 2));
    return buffer.data();
}

} // namespace

QStringView RecordFile::readTextInto(int field, std::u16string &buffer) const
{
    if (f_ && f_->live && field >= 1 && field <= f_->layout.size()) {
        if (const int column = f_->liveColumn(field); column >= 0) {
            sqlite3_stmt *stmt = f_->live;
            switch (std::as_const(f_->layout)[field - 1].kind) {
            case FieldKind::Text:
                return Utf8::decodeInto(QByteArrayView(reinterpret_cast<const char *>(
                                                           sqlite3_column_text(stmt, column)),
                                            sqlite3_column_bytes(stmt, column)),
                    buffer);
            case FieldKind::Number: {
                char16_t *out = roomFor(buffer, 64);
                return QStringView(out, writeNumberText(sqlite3_column_double(stmt, column), out));
            }
            case FieldKind::DateTime: {
                char16_t *out = roomFor(buffer, 64);
                return QStringView(
                    out, writeDateTimeText(f_->dateTexts, sqlite3_column_int64(stmt, column), out));
            }
            default:
                break;
            }
        }
    }
    const QString text = readText(field);
    char16_t *out = roomFor(buffer, size_t(text.size()));
    std::copy(text.utf16(), text.utf16() + text.size(), out);
    return QStringView(out, text.size());
}

double RecordFile::readNumber(int field) const
{
    if (const int column = liveColumnOf(field, FieldKind::Number); column >= 0)
        return sqlite3_column_double(f_->live, column);
    return toNumber(read(field));
}

QDateTime RecordFile::readDateTime(int field) const
{
    const QVariant value = read(field);
    return value.typeId() == QMetaType::QDateTime ? value.toDateTime() : QDateTime();
}

QDate RecordFile::readDate(int field) const
{
    if (const int column = liveColumnOf(field, FieldKind::DateTime); column >= 0)
        return unpackDate(sqlite3_column_int64(f_->live, column));
    return readDateTime(field).date();
}

bool RecordFile::isDeleted() const
{
    if (Status s = needRecord(); !s) {
        (void)readFailed(s.message()); // readStatus() tells it
        return false;
    }
    if (f_->live)
        return sqlite3_column_int64(f_->live, 1) != 0;
    read(1);
    return f_->cachedDeleted;
}

// --- Writing -------------------------------------------------------------------

Status RecordFile::write(int field, const QVariant &value)
{
    if (Status s = checkField(field); !s)
        return s;
    if (Status s = needRecord(); !s)
        return s;
    OpenRecordFile &f = *f_;
    const FieldKind kind = f.layout[field - 1].kind;
    const qint64 id = f.idAt(f.recno);
    if (kind == FieldKind::Memo) {
        Transaction transaction(*this);
        if (Status s = transaction.begin(); !s)
            return s;
        bool ok = true;
        for (SqlStatement *clear : {&f.memoClear, &f.memoClearQueued}) {
            if (!*clear)
                continue;
            clear->bindInt(1, id);
            clear->bindInt(2, field);
            ok = ok && clear->run();
            clear->reset();
        }
        const QString text
            = value.typeId() == QMetaType::QString ? value.toString() : valueText(value);
        if (ok && !text.isEmpty())
            ok = appendMemo(field, text).ok();
        if (!ok)
            return Status::failure(f.db.errorMessage());
        return transaction.commit();
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
    return ok ? Status::success() : Status::failure(f.db.errorMessage());
}

Status RecordFile::appendMemo(int field, const QString &text)
{
    if (Status s = checkField(field); !s)
        return s;
    if (Status s = needRecord(); !s)
        return s;
    OpenRecordFile &f = *f_;
    if (f.layout[field - 1].kind != FieldKind::Memo)
        return Status::failure(
            QStringLiteral("字段 %1 不是备注字段").arg(f.layout[field - 1].name));
    if (text.isEmpty())
        return Status::success();
    f.memoAppend.bindInt(1, f.idAt(f.recno));
    f.memoAppend.bindInt(2, field);
    f.memoAppend.bindText(3, text);
    const bool ok = f.memoAppend.run();
    f.memoAppend.reset();
    if (!ok)
        return Status::failure(f.db.errorMessage());
    return MemoQueue::drainWhenLong(f);
}

Status RecordFile::settleMemoLines()
{
    if (Status s = needOpen(); !s)
        return s;
    if (Status s = MemoQueue::ensure(*f_); !s)
        return s;
    bool waiting = false;
    if (Status s = MemoQueue::waiting(*f_, &waiting); !s || !waiting)
        return s;
    // A transaction of the file's, so that an error the disk reports after
    // the commit point is told apart from a failed commit.
    Transaction transaction(*this);
    if (Status s = transaction.begin(); !s)
        return s;
    if (Status s = MemoQueue::drain(*f_); !s)
        return s;
    return transaction.commit();
}

Status RecordFile::add(const QVariantList &values)
{
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    if (f.nextId() > RecordFormat::maxRecordId)
        return Status::failure(QStringLiteral("文件 %1 的记录编号已用尽").arg(f.alias));
    Transaction transaction(*this);
    if (Status s = transaction.begin(); !s)
        return s;
    // Past every id the file ever gave: a removed record's id stays retired.
    const qint64 id = f.nextId();
    if (f.dense && id != f.count + 1) {
        // The ids skip the retired ones now: record numbers go by the list.
        if (Status s = f.db.exec(QStringLiteral("UPDATE meta SET value='0' WHERE key='dense'")); !s)
            return s;
        f.ids.resize(size_t(f.count));
        for (int r = 1; r <= f.count; ++r)
            f.ids[size_t(r - 1)] = r;
        f.dense = false;
    }
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
        return Status::failure(f.db.errorMessage());
    if (!f.dense)
        f.ids.push_back(id);
    ++f.count;
    f.recno = f.count;
    moved();
    for (int i = 0; i < f.layout.size() && i < values.size(); ++i) {
        if (f.layout[i].kind != FieldKind::Memo)
            continue;
        const QString text = values[i].typeId() == QMetaType::QString ? values[i].toString()
                                                                      : valueText(values[i]);
        if (Status s = appendMemo(i + 1, text); !s)
            return s; // the transaction rolls the record back
    }
    return transaction.commit();
}

Status RecordFile::deleteRecord()
{
    if (Status s = needRecord(); !s)
        return s;
    OpenRecordFile &f = *f_;
    f.markDeleted.bindInt(1, 1);
    f.markDeleted.bindInt(2, f.idAt(f.recno));
    const bool ok = f.markDeleted.run();
    f.markDeleted.reset();
    f.invalidateRow();
    return ok ? Status::success() : Status::failure(f.db.errorMessage());
}

Status RecordFile::purge()
{
    return removeWhere(QStringLiteral("del<>0"));
}

Status RecordFile::clear()
{
    return removeWhere(QStringLiteral("1"));
}

Status RecordFile::removeWhere(const QString &condition)
{
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    Transaction transaction(*this);
    if (Status s = transaction.begin(); !s)
        return s;
    Status s = Status::success();
    if (f.hasCompanion)
        s = f.db.exec(
            QStringLiteral("DELETE FROM edt.memos WHERE id IN (SELECT id FROM records WHERE %1)")
                .arg(condition));
    if (s && f.memoQueue)
        s = f.db.exec(QStringLiteral(
            "DELETE FROM main.memo_queue WHERE id IN (SELECT id FROM records WHERE %1)")
                          .arg(condition));
    if (s) // the ids of the records removed are never given again
        s = RecordFormat::retireLastId(f);
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
    if (s)
        s = RecordFormat::loadOrder(f);
    if (!s)
        return s;
    f.recno = 1;
    moved();
    return Status::success();
}

// --- Finding -------------------------------------------------------------------

Status RecordFile::scan(
    int start, const Condition &condition, const std::function<bool(int, qint64)> &onMatch)
{
    OpenRecordFile &f = *f_;
    if (start < 1 || start > f.count)
        return Status::success();
    f.readError.clear();
    // The first record goes through ordinary reads, which tell the fields the
    // condition looks at; the scan then carries only those columns.
    f.recno = start;
    f.touched.assign(size_t(f.layout.size()), false);
    f.probing = true;
    const bool firstMatches = condition(*this);
    f.probing = false;
    if (firstMatches && !onMatch(start, f.idAt(start)))
        return readStatus();
    QStringList columns;
    f.liveColumns.assign(size_t(f.layout.size()), -1);
    for (int i = 0; i < f.layout.size(); ++i) {
        if (f.touched[size_t(i)] && f.columns[size_t(i)] >= 0) {
            f.liveColumns[size_t(i)] = RecordFormat::firstFieldColumn + int(columns.size());
            columns << columnName(i + 1);
        }
    }
    SqlStatement scan = f.db.prepare(
        QStringLiteral("SELECT id,del%1%2 FROM records WHERE id>? ORDER BY id")
            .arg(columns.isEmpty() ? QString() : QStringLiteral(","), columns.join(u',')));
    if (!scan)
        return Status::failure(f.db.errorMessage());
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
    if (rc != SQLITE_ROW && rc != SQLITE_DONE)
        return Status::failure(sqliteErrorText(rc));
    return readStatus(); // a read of the condition that failed
}

Status RecordFile::find(const Condition &condition)
{
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    bool found = false;
    Status s = scan(std::max(f.recno, 1), condition, [&](int recno, qint64) {
        found = true;
        f.recno = recno;
        return false;
    });
    if (!found)
        f.recno = f.count + 1;
    f.invalidateRow();
    return s;
}

Status RecordFile::forEachRecord(const Visitor &visit)
{
    // To the end of the file as it is now, which another connection may have
    // grown since this one counted it.
    return forEachRecordIn(1, INT_MAX, visit);
}

Status RecordFile::forEachRecordIn(int first, int last, const Visitor &visit)
{
    if (Status s = needOpen(); !s)
        return s;
    const int saved = f_->recno;
    // The condition visits every record and matches the first one past
    // `last` only, which ends the scan.
    Status s = scan(
        std::max(first, 1),
        [&](const RecordFile &file) {
            if (file.f_->recno > last)
                return true;
            visit(file);
            return false;
        },
        [](int, qint64) { return false; });
    f_->recno = saved;
    f_->invalidateRow();
    return s;
}

Status RecordFile::forEachRowInDays(int dateField, const QDate &first, const QDate &last,
    const QStringList &fieldNames, const RowTexts &row)
{
    QString filter;
    if (Status s = daysFilter(dateField, first, last, filter); !s)
        return s;
    OpenRecordFile &f = *f_;
    std::vector<int> fields;
    QStringList columns;
    f.liveColumns.assign(size_t(f.layout.size()), -1);
    for (const QString &name : fieldNames) {
        const int no = fieldNumber(name);
        if (no == 0)
            return Status::failure(QStringLiteral("没有字段 %1").arg(name));
        if (f.columns[size_t(no - 1)] < 0)
            return Status::failure(QStringLiteral("备注字段不能按条件复制"));
        fields.push_back(no);
        if (f.liveColumns[size_t(no - 1)] < 0) {
            f.liveColumns[size_t(no - 1)] = RecordFormat::firstFieldColumn + int(columns.size());
            columns << columnName(no);
        }
    }
    // The query of the copy: same condition, same order, deleted records too.
    SqlStatement scan = f.db.prepare(
        QStringLiteral("SELECT id,del%1%2 FROM records WHERE %3 ORDER BY id")
            .arg(columns.isEmpty() ? QString() : QStringLiteral(","), columns.join(u','), filter));
    if (!scan)
        return Status::failure(f.db.errorMessage());
    std::vector<std::u16string> buffers(fields.size());
    std::vector<QStringView> texts(fields.size());
    f.live = scan.get();
    int rc;
    while ((rc = scan.step()) == SQLITE_ROW) {
        for (size_t k = 0; k < fields.size(); ++k)
            texts[k] = readTextInto(fields[k], buffers[k]);
        row(texts.data());
    }
    f.live = nullptr;
    return rc == SQLITE_DONE ? Status::success() : Status::failure(sqliteErrorText(rc));
}

Status RecordFile::findFirstEqual(
    int field1, const QString &text1, int field2, const QString &text2)
{
    if (Status s = checkField(field1); !s)
        return s;
    if (Status s = checkField(field2); !s)
        return s;
    OpenRecordFile &f = *f_;
    const int c1 = f.columns[size_t(field1 - 1)];
    const int c2 = f.columns[size_t(field2 - 1)];
    if (c1 < 0 || c2 < 0)
        return Status::failure(QStringLiteral("备注字段不能用于查找"));
    SqlStatement query = f.db.prepare(
        QStringLiteral("SELECT id FROM records WHERE %1=? AND %2=? ORDER BY id LIMIT 1")
            .arg(columnName(field1), columnName(field2)));
    f.recno = f.count + 1;
    moved();
    if (!query)
        return Status::failure(f.db.errorMessage());
    query.bindText(1, text1);
    query.bindText(2, text2);
    const int rc = query.step();
    if (rc == SQLITE_ROW)
        f.recno = f.recordNumberOf(query.columnInt(0));
    // Not found, or not known: a locked file must never pass for "no such
    // item".
    else if (rc != SQLITE_DONE)
        return Status::failure(sqliteErrorText(rc));
    return Status::success();
}
