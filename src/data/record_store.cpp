#include "data/record_store.h"

#include "common/value_text.h"
#include "data/record_copy.h"
#include "data/record_file.h"
#include "data/sqlite_file.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <atomic>

using namespace RecordValues;
using RecordFile::NewPair;

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
    Status s = RecordFile::checkLayout(layout);
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

bool RecordStore::open(const QString &path, const QString &alias)
{
    clearError();
    if (alias.trimmed().isEmpty())
        return fail(QStringLiteral("别名为空"));
    if (findByPath(path))
        return fail(QStringLiteral("文件 %1 已经打开").arg(QFileInfo(path).fileName()));
    static std::atomic<quint64> serials = 0; // stores may open files on several threads
    auto file = std::make_shared<OpenRecordFile>();
    file->serial = ++serials;
    file->alias = alias;
    file->path = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    file->folded = RecordFile::foldedPath(path);
    Status s = RecordFile::open(*file, file->path);
    if (s && alias.compare(Stock::alias(), Qt::CaseInsensitive) == 0
        && !Stock::isStockLayout(file->layout))
        s = Status::failure(
            QStringLiteral("%1 不是库存数据文件（字段不符）").arg(QFileInfo(path).fileName()));
    if (s)
        s = RecordFile::loadOrder(*file);
    if (!s)
        return fail(s.message());
    resumeHistory(*file);
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
    const QString folded = RecordFile::foldedPath(path);
    for (const auto &[alias, file] : files_)
        if (file->folded == folded)
            return file.get();
    return nullptr;
}

bool RecordStore::sqlOk(int resultCode) const
{
    if (resultCode == SQLITE_OK || resultCode == SQLITE_ROW || resultCode == SQLITE_DONE)
        return true;
    return fail(sqliteErrorText(resultCode));
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

qint64 RecordStore::recordId() const
{
    return current_ && current_->onRecord() ? current_->idAt(current_->recno) : 0;
}

bool RecordStore::goToId(qint64 id)
{
    clearError();
    if (!needCurrent())
        return false;
    const int n = id >= 1 ? current_->recordNumberOf(id) : 0;
    if (n < 1 || n > current_->count || current_->idAt(n) != id)
        return fail(QStringLiteral("没有编号为 %1 的记录").arg(id));
    current_->recno = n;
    current_->invalidateRow();
    return true;
}

bool RecordStore::atEnd() const
{
    return !current_ || current_->recno > current_->count;
}

bool RecordStore::atStart() const
{
    return !current_ || current_->recno < 1;
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
    (void)sqlOk(rc); // sets lastError() unless the note is just missing
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

// --- Current file for a scope ----------------------------------------------------

RecordStore::CurrentFile::CurrentFile(RecordStore &store, const QString &path, const QString &alias)
    : store_(store)
    , previous_(store.current_)
    , previousSerial_(store.current_ ? store.current_->serial : 0)
    , ok_(store.openOrSelect(path, alias))
{ }

RecordStore::CurrentFile::~CurrentFile()
{
    if (!previous_)
        return;
    for (const auto &[alias, file] : store_.files_)
        if (file.get() == previous_ && file->serial == previousSerial_)
            store_.current_ = previous_;
}

// --- Transactions --------------------------------------------------------------
//
// Every commit that changes records also writes a fresh token into the meta
// table. When COMMIT reports an error, the token read back tells a change that
// reached the file (the error came from a sync after the commit point) from
// one that SQLite rolled back.

namespace {

const QString commitTokenKey = QStringLiteral("commit");

Status writeCommitToken(OpenRecordFile &file, const QString &token)
{
    SqlStatement statement = file.db.prepare(
        QStringLiteral("INSERT OR REPLACE INTO main.meta(key,value) VALUES(?,?)"));
    if (!statement)
        return Status::failure(file.db.errorMessage());
    statement.bindText(1, commitTokenKey);
    statement.bindText(2, token);
    return statement.run() ? Status::success() : Status::failure(file.db.errorMessage());
}

QString readCommitToken(OpenRecordFile &file)
{
    SqlStatement query = file.db.prepare(QStringLiteral("SELECT value FROM main.meta WHERE key=?"));
    if (!query)
        return {};
    query.bindText(1, commitTokenKey);
    return query.step() == SQLITE_ROW ? query.columnText(0) : QString();
}

} // namespace

bool RecordStore::Transaction::isOpen(
    const RecordStore &store, const OpenRecordFile *file, quint64 serial)
{
    for (const auto &[alias, open] : store.files_)
        if (open.get() == file && open->serial == serial)
            return true;
    return false;
}

RecordStore::Transaction::Transaction(RecordStore &store)
    : store_(store)
{
    OpenRecordFile *file = store.current_;
    if (!file)
        return;
    if (file->transactionDepth == 0) {
        // The write lock is taken on the record file alone, at once. BEGIN
        // IMMEDIATE would take it on the companion too, and SQLite commits a
        // transaction that holds it on two files by the two-file protocol,
        // whether the companion changed or not.
        Status s = file->db.exec(QStringLiteral("BEGIN;UPDATE main.meta SET value=value WHERE 0"));
        if (!s) {
            if (file->db.inTransaction())
                (void)file->db.exec(QStringLiteral("ROLLBACK"));
            store.fail(s.message());
            return;
        }
        file->transactionDoomed = false;
        file->changesAtBegin = sqlite3_total_changes64(file->db.get());
        store.diskWarning_.clear();
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
    QString token;
    if (sqlite3_total_changes64(file_->db.get()) != file_->changesAtBegin) {
        token = QString::number(QRandomGenerator::global()->generate64(), 16);
        if (Status marked = writeCommitToken(*file_, token); !marked) {
            rollback();
            return marked;
        }
    }
    Status s = file_->db.exec(QStringLiteral("COMMIT"));
    if (!s) {
        OpenRecordFile *file = file_;
        rollback();
        // SQLite reports the error of a sync that follows the commit point as
        // the commit's own: the change may be in the file all the same. The
        // token says which, read back as SQLite left the file.
        if (!token.isEmpty() && isOpen(store_, file, serial_) && readCommitToken(*file) == token) {
            store_.clearError();
            store_.diskWarning_ = s.message();
            return Status::success();
        }
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
    if (isOpen(store_, file_, serial_)) {
        if (file_->transactionDepth > 1) {
            --file_->transactionDepth;
            file_->transactionDoomed = true;
        } else {
            // A failed ROLLBACK leaves SQLite to roll back when the file closes.
            if (file_->db.inTransaction())
                (void)file_->db.exec(QStringLiteral("ROLLBACK"));
            file_->transactionDepth = 0;
            // The order is read again as it was; a file that cannot even be
            // read reports it here, and again at its next use.
            if (Status loaded = RecordFile::loadOrder(*file_); !loaded)
                store_.fail(loaded.message());
        }
    }
    file_ = nullptr;
}

// --- Changes made through this store ---------------------------------------------

void RecordStore::resumeHistory(OpenRecordFile &file)
{
    static std::atomic<quint64> chains = 0;
    std::shared_ptr<WriteHistory> &history = histories_[file.folded];
    if (!history || history->closedAs.isEmpty()
        || history->closedAs != RecordFile::fileState(file.path)) {
        history = std::make_shared<WriteHistory>();
        history->chain = ++chains;
    }
    history->closedAs.clear();
    file.history = history;
    file.versionAtOpen = RecordFile::dataVersion(file);
}

RecordStore::ChangeMark RecordStore::changeMark() const
{
    if (!current_ || !current_->history)
        return {};
    // The version moves only for commits of other connections, so a mark
    // taken before a booking of our own still holds after it.
    const qint64 version = RecordFile::dataVersion(*current_);
    if (version < 0)
        return {};
    const OpenRecordFile &f = *current_;
    const WriteHistory &h = *f.history;
    return {
        h.chain, f.serial, version, h.writtenDropped + h.written.size(), h.shapeChanges, f.count};
}

bool RecordStore::recordsWrittenSince(const ChangeMark &mark, std::vector<qint64> *ids) const
{
    const ChangeMark now = changeMark();
    if (now.dataVersion < 0 || now.chain != mark.chain || now.shapeChanges != mark.shapeChanges
        || now.count != mark.count || now.written < mark.written)
        return false;
    // An opening since the mark continues it only if no one else committed
    // in its time; the earlier ones were checked as they closed.
    if (now.dataVersion != (now.serial == mark.serial ? mark.dataVersion : current_->versionAtOpen))
        return false;
    const WriteHistory &h = *current_->history;
    if (mark.written < h.writtenDropped)
        return false;
    ids->assign(h.written.begin() + qsizetype(mark.written - h.writtenDropped), h.written.end());
    return true;
}
