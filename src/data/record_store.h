#pragma once

#include "common/status.h"
#include "data/field.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct OpenRecordFile;
struct WriteHistory;
struct sqlite3_value;

// The record store: record files X.zrb, each an SQLite database holding its
// field layout and its records in record order, with memo texts in the
// companion X.edt (attached to the same connection, so one transaction covers
// both files).
//
// Files are opened under an alias; one of them is current and every record
// operation acts on it. Each open file keeps its own cursor. Fields are
// numbered from 1. Record numbers run from 1 to recordCount(); 0 is the place
// before the first record and recordCount() + 1 the place past the last, where
// reads give the empty value of the field's kind.
//
// Errors never throw: an operation that fails sets lastError() and otherwise
// does nothing; every operation clears the error state when it starts. An
// operation without a current file fails.
//
// Durability: rollback journal (journal_mode=DELETE, checked at every open) and
// synchronous=FULL. Outside a Transaction each change is committed on its own.
class RecordStore
{
public:
    // A condition over the current record, for find and copyTo. It reads fields
    // through the store it is given.
    using Condition = std::function<bool(const RecordStore &)>;

    RecordStore();
    ~RecordStore();
    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    // Creates an empty record file (and its companion when the layout has memo
    // fields). Fails when the file exists already or the layout is unusable
    // (no fields, empty or repeated names).
    static Status create(const QString &path, const Layout &layout);

    // The companion (memo) file of a record file: ".zrb" replaced by ".edt" at
    // the end of the name, or ".edt" appended.
    static QString companionPath(const QString &path);

    // --- Files and aliases ---------------------------------------------------

    // Opens a record file under an alias and makes it current, the cursor on the
    // first record. Fails, changing nothing, when the file is already open (the
    // path compared without regard to letter case), when it is not a record file
    // of ours, when its companion is missing or belongs to another file, and,
    // under the stock file's alias, when its layout is not the stock layout. A
    // file already open under the alias is closed first.
    [[nodiscard]] bool open(const QString &path, const QString &alias);
    // Opens the file, or when it is open already makes it current. Used where a
    // file is reopened before every use.
    [[nodiscard]] bool openOrSelect(const QString &path, const QString &alias);
    [[nodiscard]] bool select(const QString &alias);
    // Closes the file under the alias; with none, the current file.
    void close(const QString &alias = {});
    void closeAll();
    // Closes whichever alias holds the file (the path compared without case).
    void closePath(const QString &path);

    bool isOpen(const QString &alias) const;
    bool isPathOpen(const QString &path) const;
    bool hasCurrent() const { return current_ != nullptr; }
    QString currentAlias() const;
    QString currentPath() const;

    // --- Cursor --------------------------------------------------------------

    void first();
    void last();
    void skip(int n = 1);
    [[nodiscard]] bool goTo(int recordNumber);
    int recordNumber() const;
    int recordCount() const;
    bool atEnd() const; // past the last record (also in an empty file)
    bool atStart() const; // before the first record
    // The current record's identity in this file: it stays with the record
    // while other records are added, written or purged, so what was read from
    // a record can be written back to that very record. 0 off the records. A
    // whole copy of a file keeps its identities only while the file was
    // never purged; other copies number their records anew.
    qint64 recordId() const;
    // Moves to the record with that identity; fails, the cursor where it was,
    // when the file has none (it was purged, or the file was replaced).
    [[nodiscard]] bool goToId(qint64 id);

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

    // Writes a value, converting it to the field's kind (texts to numbers through
    // number(text), numbers to texts as number text, and so on).
    [[nodiscard]] bool write(int field, const QVariant &value);
    [[nodiscard]] bool appendMemo(int field, const QString &text);
    // Appends a record at the end with the values for fields 1, 2, 3... (the
    // rest empty); it becomes current.
    [[nodiscard]] bool add(const QVariantList &values = {});

    // From the current record forward, moves to the first record for which the
    // condition holds. Not found: the cursor ends past the last record.
    [[nodiscard]] bool find(const Condition &condition);
    // Calls `visit` for every record in record order; the cursor is where it
    // was afterwards. Fields the visitor reads on the first record are read
    // fastest. False on a read error.
    [[nodiscard]] bool forEachRecord(const std::function<void(const RecordStore &)> &visit);
    // The same for the records numbered first to last; a last past the file
    // reads to its end.
    [[nodiscard]] bool forEachRecordIn(
        int first, int last, const std::function<void(const RecordStore &)> &visit);
    // The first record, in record order, whose text fields equal the texts
    // exactly (byte for byte). Moves there; not found: past the last record.
    [[nodiscard]] bool findFirstEqual(
        int field1, const QString &text1, int field2, const QString &text2);

    [[nodiscard]] bool deleteRecord(); // marks the current record deleted
    [[nodiscard]] bool purge(); // removes the marked records
    [[nodiscard]] bool clear(); // removes all records, keeps the layout

    // --- Whole-file operations -----------------------------------------------

    // Writes the records of the current file that meet the condition (all when
    // none), with the named fields in the given order (all when none), into a
    // new file that replaces any file of that name. Memo fields bring their
    // companion.
    [[nodiscard]] bool copyTo(
        const QString &path, const Condition &condition = {}, const QStringList &fieldNames = {});
    // As copyTo, for the records whose date-time field falls on a day from
    // `first` to `last`, found by one query of the file instead of a condition
    // read record by record. The copy is scratch, derived and rebuilt at will
    // (a statistics result): it takes its place unflushed, so a power loss may
    // leave it short, never mixed with another file.
    [[nodiscard]] bool copyDaysToScratch(const QString &path, int dateField, const QDate &first,
        const QDate &last, const QStringList &fieldNames);
    // The same, handing `row` the texts of every record as it is copied, as
    // forEachRowInDays() gives them: one scan of the file both writes the copy
    // and reads its rows. The texts are valid during the call only.
    [[nodiscard]] bool copyDaysToScratch(const QString &path, int dateField, const QDate &first,
        const QDate &last, const QStringList &fieldNames,
        const std::function<void(const QStringView *texts)> &row);
    // The rows that copyDaysToScratch() with the same arguments copies, as the
    // copy's records would read: calls `row` with the readTextInto() texts of
    // the named fields (no memos) of each, in record order. The texts are
    // valid during the call only.
    [[nodiscard]] bool forEachRowInDays(int dateField, const QDate &first, const QDate &last,
        const QStringList &fieldNames, const std::function<void(const QStringView *texts)> &row);
    // Writes, with all fields, every record whose two text fields equal the
    // texts exactly into a new file replacing any file of that name: the copy
    // a booking keeps of one item. Served by the key index where there is one.
    // The copy keeps the identities its records had here (copiedFromIds()),
    // so that they can be written back over those very records.
    [[nodiscard]] bool copyEqualTo(
        const QString &path, int field1, const QString &text1, int field2, const QString &text2);
    // A copy written completely under temporary names beside its target and
    // left there for the caller to put in place (PairReplacement::replace) or
    // to remove: the part of a booking that must wait for its commit.
    struct StagedCopy
    {
        QString recordFile;
        QString companion; // empty when the layout has no memo field
    };
    // How many records have the two text fields equal to the texts exactly
    // (served by the key index where there is one); -1 on a read error.
    int countEqual(int field1, const QString &text1, int field2, const QString &text2);
    // As copyTo with every record and field, but staged beside `path`.
    [[nodiscard]] bool stageCopy(const QString &path, StagedCopy *staged);
    // A quick whole copy of the current file and its companion, page by page
    // (SQLite's online backup), into the new name `path` (neither file may
    // exist), with a note written into it. The copy is not flushed to the
    // disk: it is a safety net against a mistaken command, and a power loss
    // that tears it leaves the current file itself whole.
    [[nodiscard]] bool snapshotTo(
        const QString &path, const QString &noteKey, const QString &noteValue);
    // As copyEqualTo, but the copy is staged beside `path` instead of replacing it.
    [[nodiscard]] bool stageEqualCopy(const QString &path, int field1, const QString &text1,
        int field2, const QString &text2, StagedCopy *staged);
    // Appends every record of the file open under the alias to the current file;
    // fields are matched by name and kind (text and memo fields match each other).
    [[nodiscard]] bool appendFrom(const QString &alias);
    // Writes the records ordered on one field into a new file: texts in GBK byte
    // order, numbers numerically, date-times chronologically; equal keys keep
    // record order.
    [[nodiscard]] bool sortTo(const QString &path, int field, bool descending = false);

    // --- Notes ---------------------------------------------------------------

    // Short texts kept in the current file under a key, beside its records.
    // Written like records, inside a Transaction they become durable with it,
    // so a note can say what must follow a booking once it is on disk. An
    // empty value removes the note; reading a missing note gives "".
    [[nodiscard]] bool writeNote(const QString &key, const QString &value);
    QString readNote(const QString &key) const;
    // Moves the memo lines that bookings left waiting in the current file
    // into its companion, giving the file that waiting place first when it
    // has none (see MemoQueue). Run where the pair should be whole by itself:
    // at start-up and at the end of work.
    Status settleMemoLines();
    // In a copy made by copyEqualTo() or stageEqualCopy(): the identities
    // (recordId()) of its records, in its record order, in the file it was
    // copied from. Empty for other files (an older copy, a whole copy) and on
    // a read error, which lastError() tells.
    std::vector<qint64> copiedFromIds() const;

    // --- Changes made through this store --------------------------------------

    // A moment of the current file as this store sees it.
    struct ChangeMark
    {
        quint64 chain = 0; // openings of this store with nothing between them
        quint64 serial = 0; // which opening of the file
        qint64 dataVersion = -1; // moves when another connection commits
        quint64 written = 0; // writes in place this store had made
        quint64 shapeChanges = 0; // records it had added or removed
        int count = -1;
    };
    // The mark of the current file now; a default mark (which nothing
    // follows) without one or on a read error.
    ChangeMark changeMark() const;
    // The identities of the records this store wrote in place in the current
    // file since `mark`, some perhaps twice or in a change later rolled back:
    // reading them again shows every change, also across closing and opening
    // the file again. False when that would not tell the whole change:
    // another connection or program committed to the file or put another in
    // its place, a record came or went, or too much was written to keep.
    [[nodiscard]] bool recordsWrittenSince(const ChangeMark &mark, std::vector<qint64> *ids) const;

    // --- Layout --------------------------------------------------------------

    int fieldCount() const;
    QString fieldName(int field) const;
    FieldKind fieldKind(int field) const;
    int fieldNumber(const QString &name) const; // 0 when there is none
    Layout layout() const;

    // --- Errors --------------------------------------------------------------

    bool failed() const { return !lastError_.isEmpty(); }
    const QString &lastError() const { return lastError_; }
    // After the last transaction committed: empty, or the error the disk
    // reported after the change was safely in the file (a sync that follows
    // SQLite's commit point failed). The change is durable then, but the user
    // should hear that the disk complained. Cleared when a transaction begins.
    const QString &diskWarning() const { return diskWarning_; }

    // One booking: everything done to the current file (records and memos)
    // between construction and commit() reaches the disk together or not at all.
    // Destroyed without commit, it rolls back. Transactions nest: only the
    // outermost one commits.
    class Transaction
    {
    public:
        explicit Transaction(RecordStore &store);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

        bool active() const { return file_ != nullptr; }
        // Success when the change is in the file: also when COMMIT reported an
        // error after its commit point had passed, which diskWarning() keeps.
        Status commit();
        void rollback();

    private:
        static bool isOpen(const RecordStore &store, const OpenRecordFile *file, quint64 serial);

        RecordStore &store_;
        OpenRecordFile *file_ = nullptr;
        quint64 serial_ = 0;
    };

    // Makes a file current for the length of a scope: opened (or, when open
    // already, selected) on construction; on destruction the file current
    // before is made current again, unless it was closed meanwhile.
    // lastError() stays as the scope left it.
    class CurrentFile
    {
    public:
        CurrentFile(RecordStore &store, const QString &path, const QString &alias);
        ~CurrentFile();
        CurrentFile(const CurrentFile &) = delete;
        CurrentFile &operator=(const CurrentFile &) = delete;

        // Whether the file is open and current; lastError() says why not.
        bool ok() const { return ok_; }

    private:
        RecordStore &store_;
        OpenRecordFile *previous_;
        quint64 previousSerial_ = 0;
        bool ok_ = false;
    };

private:
    friend class Transaction;
    friend class CurrentFile;

    bool fail(const QString &message) const;
    // Every SQLite result code of the store passes here: a row, the end or OK
    // is fine; anything else becomes lastError() and gives false.
    bool sqlOk(int resultCode) const;
    void clearError() const { lastError_.clear(); }
    bool needCurrent() const;
    bool needRecord() const;
    bool checkField(int field) const;
    OpenRecordFile *findByPath(const QString &path) const;
    // read(), with a date-time still the stored integer (qint64).
    QVariant storedValue(int field) const;
    int liveColumnOf(int field, FieldKind kind) const;
    // Removes the records meeting an SQL condition, with their memos.
    bool removeWhere(const QString &condition);
    // Runs the condition over the records from `start` on and calls onMatch for
    // each record that meets it, until onMatch returns false.
    bool scan(
        int start, const Condition &condition, const std::function<bool(int, qint64)> &onMatch);
    enum class Install { Durable, Scratch };
    // The stored values of one row a copy writes, in the order of its fields.
    using CopiedRow = std::function<void(sqlite3_value **values)>;
    // Copies the records `ids`, or with a row filter (an SQL condition on
    // the records, for layouts without memos) the records meeting it.
    // `onRow`, with a row filter, sees the stored values of every row copied.
    bool writeCopy(const QString &path, const std::vector<qint64> &ids,
        const QStringList &fieldNames, StagedCopy *staged = nullptr,
        Install install = Install::Durable, const QString &rowFilter = {}, bool noteSources = false,
        const CopiedRow &onRow = {});
    // The SQL condition of the records whose date-time field falls on a day
    // from `first` to `last`; fails when the field is no date-time.
    bool daysFilter(int dateField, const QDate &first, const QDate &last, QString &filter);
    bool idsEqual(int field1, const QString &text1, int field2, const QString &text2,
        std::vector<qint64> &ids);

    // Gives a file just opened its write history: the one its last opening
    // left when the file is as that left it, else a new one.
    void resumeHistory(OpenRecordFile &file);

    std::map<QString, std::shared_ptr<OpenRecordFile>> files_; // by case-folded alias
    std::map<QString, std::shared_ptr<WriteHistory>> histories_; // by folded path
    OpenRecordFile *current_ = nullptr;
    mutable QString lastError_;
    QString diskWarning_;
};
