#pragma once

#include "common/status.h"
#include "data/field.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class WriteHistories;
struct OpenRecordFile;
struct sqlite3_value;

// One open record file X.zrb, an SQLite database holding its field layout and
// its records in record order, with memo texts in the companion X.edt
// (attached to the same connection, so one transaction covers both files).
// The holder of the handle is the one who knows which file it is: program
// logic takes the file it works on as a parameter.
//
// Fields are numbered from 1. Record numbers run from 1 to recordCount(); 0
// is the place before the first record and recordCount() + 1 the place past
// the last, where reads give the empty value of the field's kind.
//
// Errors never throw: an operation that can fail returns its Status and
// otherwise does nothing. Reads give the empty value of the field's kind when
// they fail, and readStatus() keeps why. A handle that is not open fails
// every operation.
//
// Durability: rollback journal (journal_mode=DELETE, checked at every open) and
// synchronous=FULL. Outside a Transaction each change is committed on its own.
class RecordFile
{
public:
    // A condition over the current record, for find and copyTo.
    using Condition = std::function<bool(const RecordFile &)>;
    using Visitor = std::function<void(const RecordFile &)>;
    // The texts of one row of a scan, valid during the call only.
    using RowTexts = std::function<void(const QStringView *texts)>;

    RecordFile();
    ~RecordFile();
    RecordFile(RecordFile &&) noexcept;
    RecordFile &operator=(RecordFile &&) noexcept;

    // Creates an empty record file (and its companion when the layout has memo
    // fields). Fails when the file exists already or the layout is unusable
    // (no fields, empty or repeated names).
    static Status create(const QString &path, const Layout &layout);

    // The companion (memo) file of a record file: ".zrb" replaced by ".edt" at
    // the end of the name, or ".edt" appended.
    static QString companionPath(const QString &path);

    // A path as compared between open files: absolute, clean, case-folded.
    static QString foldedPath(const QString &path);

    // --- Opening -------------------------------------------------------------

    // Opens the record file, the cursor on the first record, closing whatever
    // the handle held. `alias` is the name messages give the file. Fails,
    // the handle closed, when it is not a record file of ours or its companion
    // is missing or belongs to another file. With `histories`, a file left as
    // its last opening through them left it continues that write history.
    Status open(const QString &path, const QString &alias, WriteHistories *histories = nullptr);
    // Opens the file of the last open() again, as that did: after the file
    // was closed to be replaced, say.
    Status reopen();
    void close();
    bool isOpen() const { return f_ != nullptr; }
    // Of the last open(), also once closed.
    const QString &alias() const { return alias_; }
    const QString &path() const { return path_; } // absolute and clean

    // --- Cursor --------------------------------------------------------------

    void first();
    void last();
    void skip(int n = 1);
    Status goTo(int recordNumber);
    int recordNumber() const;
    int recordCount() const;
    bool atEnd() const; // past the last record (also in an empty file)
    bool atStart() const; // before the first record
    // The current record's identity in this file: it stays with the record
    // while other records are added, written or purged, so what was read from
    // a record can be written back to that very record. 0 off the records. A
    // whole copy of a file keeps its identities only while the file was
    // never purged; other copies number their records anew. A record's
    // identity is never given to another one: a new record's is past every
    // identity the file ever gave, also of records since removed.
    qint64 recordId() const;
    // Moves to the record with that identity; fails, the cursor where it was,
    // when the file has none (it was purged, or the file was replaced).
    Status goToId(qint64 id);

    // --- Values of the current record ----------------------------------------

    // The value in the field's kind: QString for text and memo, double, QDateTime
    // (invalid when empty), bool.
    QVariant read(int field) const;
    QString readText(int field) const; // other kinds as their value text
    // readText() written into `buffer`, which only ever grows: a long scan
    // reads a text per cell and need not allocate for each. The view is into
    // the buffer, valid until it is next written.
    QStringView readTextInto(int field, std::u16string &buffer) const;
    double readNumber(int field) const; // texts through number(text)
    QDateTime readDateTime(int field) const; // invalid unless a date-time
    QDate readDate(int field) const; // the date part, cheaper in long scans
    bool isDeleted() const;
    // Failure when a read since the cursor last moved failed: its reason.
    Status readStatus() const;

    // Writes a value, converting it to the field's kind (texts to numbers through
    // number(text), numbers to texts as number text, and so on).
    Status write(int field, const QVariant &value);
    Status appendMemo(int field, const QString &text);
    // Appends a record at the end with the values for fields 1, 2, 3... (the
    // rest empty); it becomes current.
    Status add(const QVariantList &values = {});

    // From the current record forward, moves to the first record for which the
    // condition holds. Not found: the cursor ends past the last record.
    Status find(const Condition &condition);
    // Calls `visit` for every record in record order; the cursor is where it
    // was afterwards. Fields the visitor reads on the first record are read
    // fastest.
    Status forEachRecord(const Visitor &visit);
    // The same for the records numbered first to last; a last past the file
    // reads to its end.
    Status forEachRecordIn(int first, int last, const Visitor &visit);
    // The first record, in record order, whose text fields equal the texts
    // exactly (byte for byte). Moves there; not found: past the last record.
    Status findFirstEqual(int field1, const QString &text1, int field2, const QString &text2);
    // How many records have the two text fields equal to the texts exactly
    // (served by the key index where there is one).
    Status countEqual(
        int field1, const QString &text1, int field2, const QString &text2, int *count);

    Status deleteRecord(); // marks the current record deleted
    Status purge(); // removes the marked records
    Status clear(); // removes all records, keeps the layout

    // --- Whole-file operations -----------------------------------------------

    // Writes the records that meet the condition (all when none), with the
    // named fields in the given order (all when none), into a new file that
    // replaces any file of that name. Memo fields bring their companion.
    Status copyTo(
        const QString &path, const Condition &condition = {}, const QStringList &fieldNames = {});
    // As copyTo, for the records whose date-time field falls on a day from
    // `first` to `last`, found by one query of the file instead of a condition
    // read record by record. The copy is scratch, derived and rebuilt at will
    // (a statistics result): it takes its place unflushed, so a power loss may
    // leave it short, never mixed with another file.
    Status copyDaysToScratch(const QString &path, int dateField, const QDate &first,
        const QDate &last, const QStringList &fieldNames);
    // The same, handing `row` the texts of every record as it is copied, as
    // forEachRowInDays() gives them: one scan of the file both writes the copy
    // and reads its rows.
    Status copyDaysToScratch(const QString &path, int dateField, const QDate &first,
        const QDate &last, const QStringList &fieldNames, const RowTexts &row);
    // The rows that copyDaysToScratch() with the same arguments copies, as the
    // copy's records would read: calls `row` with the readTextInto() texts of
    // the named fields (no memos) of each, in record order.
    Status forEachRowInDays(int dateField, const QDate &first, const QDate &last,
        const QStringList &fieldNames, const RowTexts &row);
    // Writes, with all fields, every record whose two text fields equal the
    // texts exactly into a new file replacing any file of that name: the copy
    // a booking keeps of one item. Served by the key index where there is one.
    // The copy keeps the identities its records had here (copiedFromIds()),
    // so that they can be written back over those very records.
    Status copyEqualTo(
        const QString &path, int field1, const QString &text1, int field2, const QString &text2);
    // A copy written completely under temporary names beside its target and
    // left there for the caller to put in place (PairReplacement::replace) or
    // to remove: the part of a booking that must wait for its commit.
    struct StagedCopy
    {
        QString recordFile;
        QString companion; // empty when the layout has no memo field
    };
    // As copyTo with every record and field, but staged beside `path`.
    Status stageCopy(const QString &path, StagedCopy *staged);
    // As copyEqualTo, but the copy is staged beside `path` instead of replacing it;
    // with a `noteKey`, the copy carries that note too (readNote()).
    Status stageEqualCopy(const QString &path, int field1, const QString &text1, int field2,
        const QString &text2, StagedCopy *staged, const QString &noteKey = {},
        const QString &noteValue = {});
    // A quick whole copy of the file and its companion, page by page
    // (SQLite's online backup), into the new name `path` (neither file may
    // exist), with a note written into it. The copy is not flushed to the
    // disk: it is a safety net against a mistaken command, and a power loss
    // that tears it leaves the file itself whole.
    Status snapshotTo(const QString &path, const QString &noteKey, const QString &noteValue);
    // Appends every record of `from` to this file; fields are matched by name
    // and kind (text and memo fields match each other).
    Status appendFrom(RecordFile &from);
    // Writes the records ordered on one field into a new file: texts in GBK byte
    // order, numbers numerically, date-times chronologically; equal keys keep
    // record order.
    Status sortTo(const QString &path, int field, bool descending = false);

    // --- Notes ---------------------------------------------------------------

    // Short texts kept in the file under a key, beside its records. Written
    // like records, inside a Transaction they become durable with it, so a
    // note can say what must follow a booking once it is on disk. An empty
    // value removes the note; a missing note reads as "".
    Status writeNote(const QString &key, const QString &value);
    Status readNote(const QString &key, QString *value) const;
    // Moves the memo lines that bookings left waiting in the file into its
    // companion, giving the file that waiting place first when it has none
    // (see MemoQueue). Run where the pair should be whole by itself: at
    // start-up and at the end of work.
    Status settleMemoLines();
    // In a copy made by copyEqualTo() or stageEqualCopy(): the identities
    // (recordId()) of its records, in its record order, in the file it was
    // copied from. Empty for other files (an older copy, a whole copy).
    Status copiedFromIds(std::vector<qint64> *ids) const;

    // --- Changes made through this handle --------------------------------------

    // A moment of the file as its openings through one WriteHistories see it.
    struct ChangeMark
    {
        quint64 chain = 0; // openings with nothing between them
        quint64 serial = 0; // which opening of the file
        qint64 dataVersion = -1; // moves when another connection commits
        quint64 written = 0; // writes in place made through them
        quint64 shapeChanges = 0; // records they had added or removed
        int count = -1;
    };
    // The mark of the file now; a default mark (which nothing follows) when
    // it is not open or on a read error.
    ChangeMark changeMark() const;
    // The identities of the records written in place through this file's
    // history since `mark`, some perhaps twice or in a change later rolled
    // back: reading them again shows every change, also across closing and
    // opening the file again. False when that would not tell the whole
    // change: another connection or program committed to the file or put
    // another in its place, a record came or went, or too much was written to
    // keep.
    [[nodiscard]] bool recordsWrittenSince(const ChangeMark &mark, std::vector<qint64> *ids) const;

    // --- Layout --------------------------------------------------------------

    int fieldCount() const;
    QString fieldName(int field) const; // "" for a field it has not
    FieldKind fieldKind(int field) const; // Text for a field it has not
    int fieldNumber(const QString &name) const; // 0 when there is none
    Layout layout() const;

    // After the last transaction committed: empty, or the error the disk
    // reported after the change was safely in the file (a sync that follows
    // SQLite's commit point failed). The change is durable then, but the user
    // should hear that the disk complained. Cleared when a transaction begins.
    QString diskWarning() const;

    // One booking: everything done to the file (records and memos) between
    // begin() and commit() reaches the disk together or not at all. Destroyed
    // without commit, it rolls back. Transactions nest: only the outermost one
    // commits. Closing the file ends it (SQLite rolls back).
    class Transaction
    {
    public:
        explicit Transaction(RecordFile &file);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

        Status begin();
        bool active() const;
        // Success when the change is in the file: also when COMMIT reported an
        // error after its commit point had passed, which diskWarning() keeps.
        Status commit();
        // Fails only when the file cannot even be read back as it was; it
        // reports that again at its next use.
        Status rollback();

    private:
        RecordFile &handle_;
        // The opening it began on: a file closed or opened anew meanwhile
        // has rolled back on its own.
        std::weak_ptr<OpenRecordFile> file_;
        bool active_ = false;
    };

private:
    friend class RecordStore;

    Status needOpen() const;
    Status needRecord() const;
    Status checkField(int field) const;
    Status readFailed(const QString &message) const;
    // read(), with a date-time still the stored integer (qint64).
    QVariant storedValue(int field) const;
    int liveColumnOf(int field, FieldKind kind) const;
    // Removes the records meeting an SQL condition, with their memos.
    Status removeWhere(const QString &condition);
    // Runs the condition over the records from `start` on and calls onMatch for
    // each record that meets it, until onMatch returns false.
    Status scan(
        int start, const Condition &condition, const std::function<bool(int, qint64)> &onMatch);
    enum class Install { Durable, Scratch };
    // The stored values of one row a copy writes, in the order of its fields.
    using CopiedRow = std::function<void(sqlite3_value **values)>;
    // Copies the records `ids`, or with a row filter (an SQL condition on
    // the records, for layouts without memos) the records meeting it.
    // `onRow`, with a row filter, sees the stored values of every row copied.
    Status writeCopy(const QString &path, const std::vector<qint64> &ids,
        const QStringList &fieldNames, StagedCopy *staged = nullptr,
        Install install = Install::Durable, const QString &rowFilter = {}, bool noteSources = false,
        const CopiedRow &onRow = {}, const std::pair<QString, QString> &note = {});
    // The SQL condition of the records whose date-time field falls on a day
    // from `first` to `last`; fails when the field is no date-time.
    Status daysFilter(int dateField, const QDate &first, const QDate &last, QString &filter) const;
    Status idsEqual(int field1, const QString &text1, int field2, const QString &text2,
        std::vector<qint64> &ids) const;
    void moved() const; // the cursor moved: a new record, no read failed on it

    // Shared with Transaction, which must outlive a close without dangling.
    std::shared_ptr<OpenRecordFile> f_;
    QString path_;
    QString alias_;
    WriteHistories *histories_ = nullptr;
};
