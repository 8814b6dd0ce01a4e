#pragma once

#include "common/status.h"
#include "data/field.h"
#include "data/record_file.h"

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

// The record store: the record files (RecordFile) the windows work on, open
// under aliases. One of them is current and every record operation acts on
// it. Each open file keeps its own cursor. Program logic takes the RecordFile
// it works on (file(), current()) instead. Fields and records are numbered as
// RecordFile numbers them.
//
// Errors never throw: an operation that fails sets lastError() and otherwise
// does nothing; every operation clears the error state when it starts. An
// operation without a current file fails.
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

    // As RecordFile's.
    static Status create(const QString &path, const Layout &layout);
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
    // The same, giving the file's handle.
    Status openOrSelect(const QString &path, const QString &alias, RecordFile **file);
    [[nodiscard]] bool select(const QString &alias);
    // The handle of the file under the alias; null when there is none. Valid
    // until that file is closed.
    RecordFile *file(const QString &alias);
    RecordFile *current() { return current_; }
    // Closes the file under the alias; with none, the current file.
    void close(const QString &alias = {});
    void closeAll();
    // Closes whichever alias holds the file (the path compared without case).
    void closePath(const QString &path);

    bool isOpen(const QString &alias) const;
    bool isPathOpen(const QString &path) const;
    bool hasCurrent() const { return current_ && current_->isOpen(); }
    QString currentAlias() const;
    QString currentPath() const;

    // --- On the current file ---------------------------------------------------
    //
    // Each as RecordFile's of the same name: false where that fails, and
    // lastError() says why; a failed read sets lastError() too.

    void first();
    void last();
    void skip(int n = 1);
    [[nodiscard]] bool goTo(int recordNumber);
    int recordNumber() const;
    int recordCount() const;
    bool atEnd() const;
    bool atStart() const;
    qint64 recordId() const;
    [[nodiscard]] bool goToId(qint64 id);

    QVariant read(int field) const;
    QString readText(int field) const;
    QStringView readTextInto(int field, std::u16string &buffer) const;
    double readNumber(int field) const;
    QDateTime readDateTime(int field) const;
    QDate readDate(int field) const;
    bool isDeleted() const;

    [[nodiscard]] bool write(int field, const QVariant &value);
    [[nodiscard]] bool appendMemo(int field, const QString &text);
    [[nodiscard]] bool add(const QVariantList &values = {});

    // find() is false also when nothing is found, as is findFirstEqual().
    [[nodiscard]] bool find(const Condition &condition);
    [[nodiscard]] bool forEachRecord(const std::function<void(const RecordStore &)> &visit);
    [[nodiscard]] bool forEachRecordIn(
        int first, int last, const std::function<void(const RecordStore &)> &visit);
    [[nodiscard]] bool findFirstEqual(
        int field1, const QString &text1, int field2, const QString &text2);
    [[nodiscard]] bool deleteRecord();
    [[nodiscard]] bool purge();
    [[nodiscard]] bool clear();

    // The copies refuse a target that the store holds open.
    [[nodiscard]] bool copyTo(
        const QString &path, const Condition &condition = {}, const QStringList &fieldNames = {});
    [[nodiscard]] bool copyDaysToScratch(const QString &path, int dateField, const QDate &first,
        const QDate &last, const QStringList &fieldNames);
    [[nodiscard]] bool copyDaysToScratch(const QString &path, int dateField, const QDate &first,
        const QDate &last, const QStringList &fieldNames,
        const std::function<void(const QStringView *texts)> &row);
    [[nodiscard]] bool forEachRowInDays(int dateField, const QDate &first, const QDate &last,
        const QStringList &fieldNames, const std::function<void(const QStringView *texts)> &row);
    [[nodiscard]] bool copyEqualTo(
        const QString &path, int field1, const QString &text1, int field2, const QString &text2);
    using StagedCopy = RecordFile::StagedCopy;
    int countEqual(int field1, const QString &text1, int field2, const QString &text2); // -1: error
    [[nodiscard]] bool stageCopy(const QString &path, StagedCopy *staged);
    [[nodiscard]] bool snapshotTo(
        const QString &path, const QString &noteKey, const QString &noteValue);
    [[nodiscard]] bool stageEqualCopy(const QString &path, int field1, const QString &text1,
        int field2, const QString &text2, StagedCopy *staged);
    // Appends every record of the file open under the alias.
    [[nodiscard]] bool appendFrom(const QString &alias);
    [[nodiscard]] bool sortTo(const QString &path, int field, bool descending = false);

    [[nodiscard]] bool writeNote(const QString &key, const QString &value);
    QString readNote(const QString &key) const;
    // As RecordFile's, on the current file.
    Status settleMemoLines();
    std::vector<qint64> copiedFromIds() const;

    // Changes made through this store, across its openings of a file.
    using ChangeMark = RecordFile::ChangeMark;
    ChangeMark changeMark() const;
    [[nodiscard]] bool recordsWrittenSince(const ChangeMark &mark, std::vector<qint64> *ids) const;

    int fieldCount() const;
    QString fieldName(int field) const;
    FieldKind fieldKind(int field) const;
    int fieldNumber(const QString &name) const;
    Layout layout() const;

    // --- Errors --------------------------------------------------------------

    bool failed() const { return !lastError_.isEmpty(); }
    const QString &lastError() const { return lastError_; }
    // As RecordFile's, of the last transaction committed through the store.
    const QString &diskWarning() const { return diskWarning_; }

    // A RecordFile::Transaction on the current file, begun on construction;
    // a failed begin leaves it inactive and says why in lastError().
    class Transaction
    {
    public:
        explicit Transaction(RecordStore &store);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;

        bool active() const { return transaction_ && transaction_->active(); }
        // Success when the change is in the file: also when COMMIT reported an
        // error after its commit point had passed, which diskWarning() keeps.
        Status commit();
        void rollback();

    private:
        RecordStore &store_;
        RecordFile *file_ = nullptr;
        std::unique_ptr<RecordFile::Transaction> transaction_;
    };

private:
    friend class Transaction;

    bool fail(const QString &message) const;
    bool report(const Status &status) const;
    // Where every operation on the current file starts: the error of the
    // one before is cleared, and there must be a current file.
    bool start() const;
    bool needCurrent() const;
    // The read's value, with lastError() set when it failed.
    template<typename Value, typename Read>
    Value forwardRead(const Read &read, Value none = {}) const;
    void clearError() const { lastError_.clear(); }
    RecordFile *findByPath(const QString &path) const;
    // Fails when `path` is open in the store: a copy must not replace it.
    bool refuseOpen(const QString &path) const;
    RecordFile::Condition onCurrent(const Condition &condition) const;

    std::map<QString, std::unique_ptr<RecordFile>> files_; // by case-folded alias
    std::unique_ptr<WriteHistories> histories_;
    RecordFile *current_ = nullptr;
    mutable QString lastError_;
    QString diskWarning_;
};
