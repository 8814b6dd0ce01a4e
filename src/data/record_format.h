#pragma once

// The file format of record files, and the state of one open file.
// Internal to the data layer: RecordFile's header is the contract.

#include "common/status.h"
#include "common/value_text.h"
#include "data/field.h"
#include "data/record_values.h"
#include "data/sqlite_file.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <QByteArray>

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

struct sqlite3_stmt;

namespace RecordFormat {

// File identification: SQLite's application_id of our two kinds of file, and
// the format version in user_version.
constexpr qint64 recordFileId = 0x5A524231; // "ZRB1"
constexpr qint64 companionFileId = 0x5A454431; // "ZED1"
constexpr qint64 formatVersion = 1;

// Columns of a row query: id, deleted mark, then the stored fields.
constexpr int firstFieldColumn = 2;

} // namespace RecordFormat

// What one store did to the records of one file, as SQLite tells it row by
// row: the ids it wrote in place, and how often a record came or went. It
// goes on over the store's next opening of the file while the file is as the
// last one left it, so that a view of the file can redraw only what the
// program's own bookings changed, however often they reopened it.
struct WriteHistory
{
    quint64 chain = 0; // openings that continue one another share it
    std::vector<qint64> written; // bounded: older entries are dropped whole
    quint64 writtenDropped = 0; // entries dropped before written[0]
    quint64 shapeChanges = 0;
    // How the last opening left the file (RecordFormat::fileState()) when no
    // other connection committed while it was open; empty otherwise.
    QByteArray closedAs;
};

struct OpenRecordFile;

// The write histories of the files one owner opens, by folded path, so that
// reopening a file it left as it was continues its history.
class WriteHistories
{
public:
    // Gives a file just opened its history: the one its last opening left
    // when the file is as that left it, else a new one.
    void resume(OpenRecordFile &file);

private:
    std::map<QString, std::shared_ptr<WriteHistory>> histories_;
};

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
    // The largest id the file ever gave a record that is gone now (meta
    // "retired"): a new record's id is past it, so that an id never names
    // another record than the one it was given to (a backup names records by
    // their ids).
    qint64 retiredId = 0;

    // The current record's stored fields, read once per record. Whether `row`
    // holds a record is a flag of its own: no id value can stand for "none".
    mutable bool cached = false;
    mutable qint64 cachedId = 0;
    mutable bool cachedDeleted = false;
    mutable std::vector<QVariant> row; // date-times as stored integers
    // Date-time texts of reads and scans, with the days the zone shifts noted
    // for as long as the file is open.
    mutable DateTimeTexts dateTexts;
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
    SqlStatement memoClearQueued; // only with the memo queue
    bool memoQueue = false; // appended memo lines wait in main.memo_queue
    std::vector<SqlStatement> updates; // per field, prepared on first use
    // Old id -> id in a copy being written (wh_newid). A map, not a vector
    // indexed by id: ids may be sparse, and a table as long as the largest id
    // could be far larger than the file.
    std::unordered_map<qint64, qint64> copyMap;

    std::shared_ptr<WriteHistory> history; // none while it is being opened
    qint64 versionAtOpen = -1; // PRAGMA data_version then

    OpenRecordFile() = default;
    OpenRecordFile(const OpenRecordFile &) = delete;
    OpenRecordFile &operator=(const OpenRecordFile &) = delete;
    // Notes in the history how the file was left.
    ~OpenRecordFile();

    // The error of the latest read that failed since the cursor last moved.
    mutable QString readError;
    // After the last transaction committed: empty, or what the disk reported
    // after the commit point.
    QString diskWarning;

    int transactionDepth = 0;
    qint64 changesAtBegin = 0; // sqlite3_total_changes64 when the outermost one began
    bool transactionDoomed = false;
    // The order may not be as the file has it: after a commit that failed,
    // or a rollback that could not read it back. The next transaction reads
    // it before it writes, or nothing is written.
    bool orderUnread = false;
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
    qint64 nextId() const { return std::max(lastId(), retiredId) + 1; }
    bool onRecord() const { return recno >= 1 && recno <= count; }
    void invalidateRow() const { cached = false; }
    QString fieldList() const
    {
        QStringList names;
        for (int i = 1; i <= layout.size(); ++i)
            if (layout[i - 1].kind != FieldKind::Memo)
                names << RecordValues::columnName(i);
        return names.join(u',');
    }
    // Column of a stored field in row queries, -1 for memos.
    std::vector<int> columns;
};

namespace RecordFormat {

// A path as compared between open files: absolute, clean, case-folded.
QString foldedPath(const QString &path);

// Fails, with the reason, on an empty layout or empty or repeated names.
Status checkLayout(const Layout &layout);

// How a file is attached: a file in use keeps the rollback journal and full
// sync; a new file being built needs neither, because it is synced once, whole,
// before it takes its place, and a crash before that leaves only a temporary.
enum class Use { InUse, Building };
Status applyUse(SqlDatabase &db, const QString &schema, Use use);
Status attachFile(SqlDatabase &db, const QString &path, const QString &schema, Use use);

// A new record file (and companion) under temporary names beside its target,
// created with its layout and empty, then filled by the caller and put in
// place by the pair-replacement protocol.
struct NewPair
{
    QString recordFile;
    QString companion;

    Status create(const QString &target, const Layout &layout);
    // Opens the new pair on a connection of its own, the companion as "edt".
    Status open(SqlDatabase &db) const;
    // Puts the pair in place; see PairReplacement::replace for `committed`.
    Status install(const QString &target, bool *committed = nullptr) const;
    // Removes whatever was written; the target stays as it was.
    void discard() const;
};

// Opens the file at `path` into `f`: identifies it as ours before anything
// could write to it, reads its layout, enforces durability, attaches the
// companion that belongs to it and prepares the statements of a file in use.
Status open(OpenRecordFile &f, const QString &path);

// Largest record id a file may hold. Ids grow by one per record ever added,
// so a real file stays far below it; a larger one was written by something
// else, and would overflow the next id or the record numbers.
constexpr qint64 maxRecordId = 0x7FFFFFF0;

// The moves of other connections' commits (PRAGMA data_version); -1 on error.
qint64 dataVersion(OpenRecordFile &f);
// The file's change counter, size and modification time, as bytes that
// differ once anyone commits to it or puts another file in its place.
QByteArray fileState(const QString &path);

// Notes in the file's meta that the largest id of the records is retired
// (before they are removed, in the removal's transaction).
Status retireLastId(OpenRecordFile &f);

// Reads the record order: O(1) while the ids are dense. The "dense" note is
// only trusted when the records agree with it (ids exactly 1..n); otherwise
// the ids are read one by one, and an id outside 1..maxRecordId refuses the
// file with the reason.
Status loadOrder(OpenRecordFile &f);

} // namespace RecordFormat
