#include "data/record_file.h"

#include "data/record_format.h"
#include "data/sqlite_file.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <sqlite3.h>

#include <atomic>

using RecordFormat::NewPair;

// --- Creation and opening ----------------------------------------------------

RecordFile::RecordFile() = default;
RecordFile::~RecordFile() = default;
RecordFile::RecordFile(RecordFile &&) noexcept = default;
RecordFile &RecordFile::operator=(RecordFile &&) noexcept = default;

QString RecordFile::companionPath(const QString &path)
{
    if (path.endsWith(QLatin1String(".zrb"), Qt::CaseInsensitive))
        return path.left(path.size() - 4) + QStringLiteral(".edt");
    return path + QStringLiteral(".edt");
}

QString RecordFile::foldedPath(const QString &path)
{
    return RecordFormat::foldedPath(path);
}

Status RecordFile::create(const QString &path, const Layout &layout)
{
    Status s = RecordFormat::checkLayout(layout);
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

Status RecordFile::open(const QString &path, const QString &alias, WriteHistories *histories)
{
    close();
    path_ = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    alias_ = alias;
    histories_ = histories;
    static std::atomic<quint64> serials = 0; // files may be opened on several threads
    auto file = std::make_shared<OpenRecordFile>();
    file->serial = ++serials;
    file->alias = alias;
    file->path = path_;
    file->folded = RecordFormat::foldedPath(path);
    Status s = RecordFormat::open(*file, file->path);
    if (s)
        s = RecordFormat::loadOrder(*file);
    if (!s)
        return s;
    if (histories) {
        histories->resume(*file);
    } else {
        WriteHistories own; // a history of this opening alone
        own.resume(*file);
    }
    f_ = std::move(file);
    first();
    return Status::success();
}

Status RecordFile::reopen()
{
    if (path_.isEmpty())
        return needOpen();
    const QString path = path_;
    const QString alias = alias_;
    return open(path, alias, histories_);
}

void RecordFile::close()
{
    f_.reset();
}

Status RecordFile::needOpen() const
{
    return f_ ? Status::success() : Status::failure(QStringLiteral("数据文件没有打开"));
}

Status RecordFile::needRecord() const
{
    if (Status s = needOpen(); !s)
        return s;
    return f_->onRecord() ? Status::success() : Status::failure(QStringLiteral("当前位置没有记录"));
}

Status RecordFile::checkField(int field) const
{
    if (Status s = needOpen(); !s)
        return s;
    if (field < 1 || field > f_->layout.size())
        return Status::failure(QStringLiteral("没有第 %1 个字段").arg(field));
    return Status::success();
}

Status RecordFile::readFailed(const QString &message) const
{
    const QString reason = message.isEmpty() ? QStringLiteral("操作失败") : message;
    if (f_)
        f_->readError = reason;
    return Status::failure(reason);
}

Status RecordFile::readStatus() const
{
    return f_ && !f_->readError.isEmpty() ? Status::failure(f_->readError) : Status::success();
}

void RecordFile::moved() const
{
    f_->invalidateRow();
    f_->readError.clear();
}

// --- Cursor --------------------------------------------------------------------

void RecordFile::first()
{
    if (!f_)
        return;
    f_->recno = 1;
    moved();
}

void RecordFile::last()
{
    if (!f_)
        return;
    f_->recno = f_->count == 0 ? 1 : f_->count;
    moved();
}

void RecordFile::skip(int n)
{
    if (!f_)
        return;
    const qint64 target = qint64(f_->recno) + n;
    f_->recno = int(std::clamp<qint64>(target, 0, f_->count + 1));
    moved();
}

Status RecordFile::goTo(int recordNumber)
{
    if (Status s = needOpen(); !s)
        return s;
    if (recordNumber < 0 || recordNumber > f_->count + 1)
        return Status::failure(QStringLiteral("没有第 %1 条记录").arg(recordNumber));
    f_->recno = recordNumber;
    moved();
    return Status::success();
}

int RecordFile::recordNumber() const
{
    return f_ ? f_->recno : 0;
}

int RecordFile::recordCount() const
{
    return f_ ? f_->count : 0;
}

qint64 RecordFile::recordId() const
{
    return f_ && f_->onRecord() ? f_->idAt(f_->recno) : 0;
}

Status RecordFile::goToId(qint64 id)
{
    if (Status s = needOpen(); !s)
        return s;
    const int n = id >= 1 ? f_->recordNumberOf(id) : 0;
    if (n < 1 || n > f_->count || f_->idAt(n) != id)
        return Status::failure(QStringLiteral("没有编号为 %1 的记录").arg(id));
    f_->recno = n;
    moved();
    return Status::success();
}

bool RecordFile::atEnd() const
{
    return !f_ || f_->recno > f_->count;
}

bool RecordFile::atStart() const
{
    return !f_ || f_->recno < 1;
}

// --- Notes -----------------------------------------------------------------------
//
// Notes share the meta table with the file's own keys ("pair", "dense"); the
// prefix keeps them apart.

Status RecordFile::writeNote(const QString &key, const QString &value)
{
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    SqlStatement statement = f.db.prepare(value.isEmpty()
            ? QStringLiteral("DELETE FROM meta WHERE key=?")
            : QStringLiteral("INSERT OR REPLACE INTO meta(key,value) VALUES(?,?)"));
    if (!statement)
        return Status::failure(f.db.errorMessage());
    statement.bindText(1, QStringLiteral("note:") + key);
    if (!value.isEmpty())
        statement.bindText(2, value);
    return statement.run() ? Status::success() : Status::failure(f.db.errorMessage());
}

Status RecordFile::readNote(const QString &key, QString *value) const
{
    value->clear();
    if (Status s = needOpen(); !s)
        return s;
    OpenRecordFile &f = *f_;
    SqlStatement query = f.db.prepare(QStringLiteral("SELECT value FROM meta WHERE key=?"));
    if (!query)
        return Status::failure(f.db.errorMessage());
    query.bindText(1, QStringLiteral("note:") + key);
    const int rc = query.step();
    if (rc == SQLITE_ROW)
        *value = query.columnText(0);
    else if (rc != SQLITE_DONE) // a note that is just missing reads as ""
        return Status::failure(sqliteErrorText(rc));
    return Status::success();
}

// --- Layout --------------------------------------------------------------------

int RecordFile::fieldCount() const
{
    return f_ ? int(f_->layout.size()) : 0;
}

QString RecordFile::fieldName(int field) const
{
    return checkField(field) ? f_->layout[field - 1].name : QString();
}

FieldKind RecordFile::fieldKind(int field) const
{
    return checkField(field) ? f_->layout[field - 1].kind : FieldKind::Text;
}

int RecordFile::fieldNumber(const QString &name) const
{
    if (!f_)
        return 0;
    for (int i = 0; i < f_->layout.size(); ++i)
        if (f_->layout[i].name == name)
            return i + 1;
    for (int i = 0; i < f_->layout.size(); ++i)
        if (f_->layout[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i + 1;
    return 0;
}

Layout RecordFile::layout() const
{
    return f_ ? f_->layout : Layout();
}

QString RecordFile::diskWarning() const
{
    return f_ ? f_->diskWarning : QString();
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

RecordFile::Transaction::Transaction(RecordFile &file)
    : handle_(file)
{ }

RecordFile::Transaction::~Transaction()
{
    (void)rollback(); // a file that cannot be read back says so at its next use
}

bool RecordFile::Transaction::active() const
{
    return active_ && !file_.expired();
}

Status RecordFile::Transaction::begin()
{
    if (active_)
        return Status::success();
    if (Status s = handle_.needOpen(); !s)
        return s;
    OpenRecordFile &file = *handle_.f_;
    if (file.transactionDepth == 0) {
        // The write lock is taken on the record file alone, at once. BEGIN
        // IMMEDIATE would take it on the companion too, and SQLite commits a
        // transaction that holds it on two files by the two-file protocol,
        // whether the companion changed or not.
        Status s = file.db.exec(QStringLiteral("BEGIN;UPDATE main.meta SET value=value WHERE 0"));
        if (!s) {
            if (file.db.inTransaction())
                (void)file.db.exec(QStringLiteral("ROLLBACK"));
            return s;
        }
        if (file.orderUnread) {
            if (s = RecordFormat::loadOrder(file); !s) {
                (void)file.db.exec(QStringLiteral("ROLLBACK"));
                return s;
            }
            file.orderUnread = false;
        }
        file.transactionDoomed = false;
        file.changesAtBegin = sqlite3_total_changes64(file.db.get());
        file.diskWarning.clear();
    }
    ++file.transactionDepth;
    file_ = handle_.f_;
    active_ = true;
    return Status::success();
}

Status RecordFile::Transaction::commit()
{
    const std::shared_ptr<OpenRecordFile> file = active_ ? file_.lock() : nullptr;
    if (!file) {
        active_ = false;
        return Status::failure(QStringLiteral("没有进行中的事务"));
    }
    if (file->transactionDepth > 1) {
        --file->transactionDepth;
        active_ = false;
        return Status::success();
    }
    if (file->transactionDoomed) {
        (void)rollback(); // the step that failed has said why
        return Status::failure(QStringLiteral("事务中的一步失败，全部撤销"));
    }
    QString token;
    if (sqlite3_total_changes64(file->db.get()) != file->changesAtBegin) {
        token = QString::number(QRandomGenerator::global()->generate64(), 16);
        if (Status marked = writeCommitToken(*file, token); !marked) {
            (void)rollback(); // the failed write is the news
            return marked;
        }
    }
    Status s = file->db.exec(QStringLiteral("COMMIT"));
    if (!s) {
        (void)rollback(); // the commit's own error is the news
        // SQLite reports the error of a sync that follows the commit point as
        // the commit's own: the change may be in the file all the same. The
        // token says which, read back as SQLite left the file.
        if (!token.isEmpty() && readCommitToken(*file) == token) {
            file->diskWarning = s.message();
            return Status::success();
        }
        // While this connection still holds its lock, SQLite may show it the
        // pages of the failed commit; the journal that undoes them is played
        // back at the next lock. So the order is read again then.
        file->orderUnread = true;
        return s;
    }
    file->transactionDepth = 0;
    active_ = false;
    return Status::success();
}

Status RecordFile::Transaction::rollback()
{
    const std::shared_ptr<OpenRecordFile> file = active_ ? file_.lock() : nullptr;
    active_ = false;
    // A file closed meanwhile has been rolled back by SQLite.
    if (!file)
        return Status::success();
    if (file->transactionDepth > 1) {
        --file->transactionDepth;
        file->transactionDoomed = true;
        return Status::success();
    }
    // A failed ROLLBACK leaves SQLite to roll back when the file closes.
    if (file->db.inTransaction())
        (void)file->db.exec(QStringLiteral("ROLLBACK"));
    file->transactionDepth = 0;
    // The order is read again as it was; a file that cannot even be read
    // reports it here, and again at its next use.
    const Status loaded = RecordFormat::loadOrder(*file);
    file->orderUnread = !loaded;
    return loaded;
}

// --- Changes made through this file's history -------------------------------------

void WriteHistories::resume(OpenRecordFile &file)
{
    static std::atomic<quint64> chains = 0;
    std::shared_ptr<WriteHistory> &history = histories_[file.folded];
    if (!history || history->closedAs.isEmpty()
        || history->closedAs != RecordFormat::fileState(file.path)) {
        history = std::make_shared<WriteHistory>();
        history->chain = ++chains;
    }
    history->closedAs.clear();
    file.history = history;
    file.versionAtOpen = RecordFormat::dataVersion(file);
}

RecordFile::ChangeMark RecordFile::changeMark() const
{
    if (!f_ || !f_->history)
        return {};
    // The version moves only for commits of other connections, so a mark
    // taken before a booking of our own still holds after it.
    const qint64 version = RecordFormat::dataVersion(*f_);
    if (version < 0)
        return {};
    const OpenRecordFile &f = *f_;
    const WriteHistory &h = *f.history;
    return {
        h.chain, f.serial, version, h.writtenDropped + h.written.size(), h.shapeChanges, f.count};
}

bool RecordFile::recordsWrittenSince(const ChangeMark &mark, std::vector<qint64> *ids) const
{
    const ChangeMark now = changeMark();
    if (now.dataVersion < 0 || now.chain != mark.chain || now.shapeChanges != mark.shapeChanges
        || now.count != mark.count || now.written < mark.written)
        return false;
    // An opening since the mark continues it only if no one else committed
    // in its time; the earlier ones were checked as they closed.
    if (now.dataVersion != (now.serial == mark.serial ? mark.dataVersion : f_->versionAtOpen))
        return false;
    const WriteHistory &h = *f_->history;
    if (mark.written < h.writtenDropped)
        return false;
    ids->assign(h.written.begin() + qsizetype(mark.written - h.writtenDropped), h.written.end());
    return true;
}
