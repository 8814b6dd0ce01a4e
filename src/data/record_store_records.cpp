#include "data/record_store.h"

#include "common/utf8.h"
#include "common/value_text.h"
#include "data/memo_queue.h"
#include "data/record_file.h"
#include "data/sqlite_file.h"

#include <sqlite3.h>

#include <algorithm>
#include <climits>
#include <utility>

using namespace RecordValues;

// The record-by-record operations of the store: reading, writing and
// finding on the current file.

// --- Reading -------------------------------------------------------------------

QVariant RecordStore::read(int field) const
{
    QVariant value = storedValue(field);
    // Date-times wait as stored integers until one is asked for: building a
    // QDateTime asks the C library for the zone's offset.
    if (value.typeId() == QMetaType::LongLong)
        return unpackDateTime(value.toLongLong());
    return value;
}

QVariant RecordStore::storedValue(int field) const
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
        int rc;
        while ((rc = f.memoRead.step()) == SQLITE_ROW)
            text += f.memoRead.columnText(0);
        f.memoRead.reset();
        if (!sqlOk(rc))
            return emptyValue(kind);
        return text;
    }
    if (const int live = f.liveColumn(field); live >= 0)
        return decodeStored(f.live, live, kind);
    if (!f.cached || f.cachedId != id) {
        f.selectRow.bindInt(1, id);
        if (const int rc = f.selectRow.step(); rc != SQLITE_ROW) {
            f.selectRow.reset();
            if (sqlOk(rc))
                fail(QStringLiteral("记录已不在文件中"));
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

int RecordStore::liveColumnOf(int field, FieldKind kind) const
{
    if (!current_ || !current_->live || field < 1 || field > current_->layout.size()
        || std::as_const(current_->layout)[field - 1].kind != kind)
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
                return dateTimeText(current_->dateTexts, sqlite3_column_int64(stmt, column));
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
        return dateTimeText(current_->dateTexts, value.toLongLong());
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

QStringView RecordStore::readTextInto(int field, std::u16string &buffer) const
{
    if (current_ && current_->live && field >= 1 && field <= current_->layout.size()) {
        if (const int column = current_->liveColumn(field); column >= 0) {
            sqlite3_stmt *stmt = current_->live;
            switch (std::as_const(current_->layout)[field - 1].kind) {
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
                return QStringView(out,
                    writeDateTimeText(
                        current_->dateTexts, sqlite3_column_int64(stmt, column), out));
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
    if (!ok)
        return fail(f.db.errorMessage());
    Status s = MemoQueue::drainWhenLong(f);
    return s ? true : fail(s.message());
}

Status RecordStore::settleMemoLines()
{
    if (!current_)
        return Status::failure(QStringLiteral("没有当前数据文件"));
    if (Status s = MemoQueue::ensure(*current_); !s)
        return s;
    bool waiting = false;
    if (Status s = MemoQueue::waiting(*current_, &waiting); !s || !waiting)
        return s;
    // A transaction of the store's, so that an error the disk reports after
    // the commit point is told apart from a failed commit.
    Transaction transaction(*this);
    if (!transaction.active())
        return Status::failure(lastError_);
    if (Status s = MemoQueue::drain(*current_); !s)
        return s;
    return transaction.commit();
}

bool RecordStore::add(const QVariantList &values)
{
    clearError();
    if (!needCurrent())
        return false;
    OpenRecordFile &f = *current_;
    if (f.lastId() >= RecordFile::maxRecordId)
        return fail(QStringLiteral("文件 %1 的记录编号已用尽").arg(f.alias));
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
    if (s && f.memoQueue)
        s = f.db.exec(QStringLiteral(
            "DELETE FROM main.memo_queue WHERE id IN (SELECT id FROM records WHERE %1)")
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
    if (s)
        s = RecordFile::loadOrder(f);
    if (!s)
        return fail(s.message());
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
            f.liveColumns[size_t(i)] = RecordFile::firstFieldColumn + int(columns.size());
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
    return sqlOk(rc);
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
    // To the end of the file as it is now, which another connection may have
    // grown since this one counted it.
    return forEachRecordIn(1, INT_MAX, visit);
}

bool RecordStore::forEachRecordIn(
    int first, int last, const std::function<void(const RecordStore &)> &visit)
{
    clearError();
    if (!needCurrent())
        return false;
    const int saved = current_->recno;
    // The condition visits every record and matches the first one past
    // `last` only, which ends the scan.
    const bool ok = scan(
        std::max(first, 1),
        [&](const RecordStore &store) {
            if (store.current_->recno > last)
                return true;
            visit(store);
            return false;
        },
        [](int, qint64) { return false; });
    current_->recno = saved;
    current_->invalidateRow();
    return ok;
}

bool RecordStore::forEachRowInDays(int dateField, const QDate &first, const QDate &last,
    const QStringList &fieldNames, const std::function<void(const QStringView *texts)> &row)
{
    clearError();
    QString filter;
    if (!daysFilter(dateField, first, last, filter))
        return false;
    OpenRecordFile &f = *current_;
    std::vector<int> fields;
    QStringList columns;
    f.liveColumns.assign(size_t(f.layout.size()), -1);
    for (const QString &name : fieldNames) {
        const int no = fieldNumber(name);
        if (no == 0)
            return fail(QStringLiteral("没有字段 %1").arg(name));
        if (f.columns[size_t(no - 1)] < 0)
            return fail(QStringLiteral("备注字段不能按条件复制"));
        fields.push_back(no);
        if (f.liveColumns[size_t(no - 1)] < 0) {
            f.liveColumns[size_t(no - 1)] = RecordFile::firstFieldColumn + int(columns.size());
            columns << columnName(no);
        }
    }
    // The query of the copy: same condition, same order, deleted records too.
    SqlStatement scan = f.db.prepare(
        QStringLiteral("SELECT id,del%1%2 FROM records WHERE %3 ORDER BY id")
            .arg(columns.isEmpty() ? QString() : QStringLiteral(","), columns.join(u','), filter));
    if (!scan)
        return fail(f.db.errorMessage());
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
    return sqlOk(rc);
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
    f.invalidateRow();
    f.recno = f.count + 1;
    if (!query)
        return fail(f.db.errorMessage());
    query.bindText(1, text1);
    query.bindText(2, text2);
    const int rc = query.step();
    if (rc == SQLITE_ROW) {
        f.recno = f.recordNumberOf(query.columnInt(0));
        return true;
    }
    // Not found, or not known: then lastError() says why, for a locked file
    // must never pass for "no such item".
    (void)sqlOk(rc);
    return false;
}
