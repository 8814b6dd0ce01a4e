#include "data/record_store.h"

#include "data/record_format.h"
#include "data/stock_layout.h"

#include <QFileInfo>

// The alias table over RecordFile: each operation acts on the current file
// and turns its Status into lastError().

// --- Creation and opening ----------------------------------------------------

RecordStore::RecordStore()
    : histories_(std::make_unique<WriteHistories>())
{ }

RecordStore::~RecordStore()
{
    closeAll();
}

QString RecordStore::companionPath(const QString &path)
{
    return RecordFile::companionPath(path);
}

Status RecordStore::create(const QString &path, const Layout &layout)
{
    return RecordFile::create(path, layout);
}

bool RecordStore::fail(const QString &message) const
{
    lastError_ = message.isEmpty() ? QStringLiteral("操作失败") : message;
    return false;
}

bool RecordStore::report(const Status &status) const
{
    return status ? true : fail(status.message());
}

bool RecordStore::start() const
{
    clearError();
    return needCurrent();
}

bool RecordStore::needCurrent() const
{
    // A handle that program logic closed counts as no file.
    return current_ && current_->isOpen() ? true : fail(QStringLiteral("没有当前数据文件"));
}

template<typename Value, typename Read>
Value RecordStore::forwardRead(const Read &read, Value none) const
{
    if (!start())
        return none;
    current_->f_->readError.clear();
    Value value = read(*current_);
    if (!current_->f_->readError.isEmpty())
        fail(current_->f_->readError);
    return value;
}

bool RecordStore::open(const QString &path, const QString &alias)
{
    clearError();
    if (alias.trimmed().isEmpty())
        return fail(QStringLiteral("别名为空"));
    if (findByPath(path))
        return fail(QStringLiteral("文件 %1 已经打开").arg(QFileInfo(path).fileName()));
    auto file = std::make_unique<RecordFile>();
    Status s = file->open(path, alias, histories_.get());
    if (s && alias.compare(Stock::alias(), Qt::CaseInsensitive) == 0
        && !Stock::isStockLayout(file->layout()))
        s = Status::failure(
            QStringLiteral("%1 不是库存数据文件（字段不符）").arg(QFileInfo(path).fileName()));
    if (!s)
        return fail(s.message());
    const QString key = alias.toCaseFolded();
    files_.erase(key);
    current_ = file.get();
    files_[key] = std::move(file);
    return true;
}

bool RecordStore::openOrSelect(const QString &path, const QString &alias)
{
    clearError();
    if (RecordFile *f = findByPath(path)) {
        if (f->alias().compare(alias, Qt::CaseInsensitive) == 0) {
            current_ = f;
            return true;
        }
    }
    return open(path, alias);
}

Status RecordStore::openOrSelect(const QString &path, const QString &alias, RecordFile **file)
{
    *file = nullptr;
    if (!openOrSelect(path, alias))
        return Status::failure(lastError_);
    *file = current_;
    return Status::success();
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

RecordFile *RecordStore::file(const QString &alias)
{
    const auto it = files_.find(alias.toCaseFolded());
    return it == files_.end() || !it->second->isOpen() ? nullptr : it->second.get();
}

void RecordStore::close(const QString &alias)
{
    clearError();
    if (alias.isEmpty()) {
        if (current_)
            files_.erase(current_->alias().toCaseFolded());
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
    if (RecordFile *f = findByPath(path))
        close(f->alias());
}

bool RecordStore::isOpen(const QString &alias) const
{
    const auto it = files_.find(alias.toCaseFolded());
    return it != files_.end() && it->second->isOpen();
}

bool RecordStore::isPathOpen(const QString &path) const
{
    return findByPath(path) != nullptr;
}

QString RecordStore::currentAlias() const
{
    return current_ ? current_->alias() : QString();
}

QString RecordStore::currentPath() const
{
    return current_ ? current_->path() : QString();
}

RecordFile *RecordStore::findByPath(const QString &path) const
{
    const QString folded = RecordFormat::foldedPath(path);
    for (const auto &[alias, file] : files_)
        if (file->isOpen() && file->f_->folded == folded)
            return file.get();
    return nullptr;
}

bool RecordStore::refuseOpen(const QString &path) const
{
    if (findByPath(path))
        return fail(QStringLiteral("文件 %1 已经打开，不能覆盖").arg(QFileInfo(path).fileName()));
    return true;
}

// --- Cursor --------------------------------------------------------------------

void RecordStore::first()
{
    if (start())
        current_->first();
}

void RecordStore::last()
{
    if (start())
        current_->last();
}

void RecordStore::skip(int n)
{
    if (start())
        current_->skip(n);
}

bool RecordStore::goTo(int recordNumber)
{
    return start() && report(current_->goTo(recordNumber));
}

int RecordStore::recordNumber() const
{
    return current_ ? current_->recordNumber() : 0;
}

int RecordStore::recordCount() const
{
    return current_ ? current_->recordCount() : 0;
}

qint64 RecordStore::recordId() const
{
    return current_ ? current_->recordId() : 0;
}

bool RecordStore::goToId(qint64 id)
{
    return start() && report(current_->goToId(id));
}

bool RecordStore::atEnd() const
{
    return !current_ || current_->atEnd();
}

bool RecordStore::atStart() const
{
    return !current_ || current_->atStart();
}

// --- Values of the current record ----------------------------------------------

QVariant RecordStore::read(int field) const
{
    return forwardRead<QVariant>([&](const RecordFile &f) { return f.read(field); });
}

QString RecordStore::readText(int field) const
{
    return forwardRead<QString>([&](const RecordFile &f) { return f.readText(field); });
}

QStringView RecordStore::readTextInto(int field, std::u16string &buffer) const
{
    return forwardRead<QStringView>(
        [&](const RecordFile &f) { return f.readTextInto(field, buffer); });
}

double RecordStore::readNumber(int field) const
{
    return forwardRead<double>([&](const RecordFile &f) { return f.readNumber(field); });
}

QDateTime RecordStore::readDateTime(int field) const
{
    return forwardRead<QDateTime>([&](const RecordFile &f) { return f.readDateTime(field); });
}

QDate RecordStore::readDate(int field) const
{
    return forwardRead<QDate>([&](const RecordFile &f) { return f.readDate(field); });
}

bool RecordStore::isDeleted() const
{
    return forwardRead<bool>([&](const RecordFile &f) { return f.isDeleted(); });
}

bool RecordStore::write(int field, const QVariant &value)
{
    return start() && report(current_->write(field, value));
}

bool RecordStore::appendMemo(int field, const QString &text)
{
    return start() && report(current_->appendMemo(field, text));
}

bool RecordStore::add(const QVariantList &values)
{
    return start() && report(current_->add(values));
}

RecordFile::Condition RecordStore::onCurrent(const Condition &condition) const
{
    // The condition reads through the store, which reads the current file.
    return [this, &condition](const RecordFile &) {
        return condition(*this);
    };
}

bool RecordStore::find(const Condition &condition)
{
    if (!start())
        return false;
    return report(current_->find(onCurrent(condition))) && !current_->atEnd();
}

bool RecordStore::forEachRecord(const std::function<void(const RecordStore &)> &visit)
{
    return start() && report(current_->forEachRecord([&](const RecordFile &) { visit(*this); }));
}

bool RecordStore::forEachRecordIn(
    int first, int last, const std::function<void(const RecordStore &)> &visit)
{
    return start()
        && report(
            current_->forEachRecordIn(first, last, [&](const RecordFile &) { visit(*this); }));
}

bool RecordStore::findFirstEqual(int field1, const QString &text1, int field2, const QString &text2)
{
    return start() && report(current_->findFirstEqual(field1, text1, field2, text2))
        && !current_->atEnd();
}

bool RecordStore::deleteRecord()
{
    return start() && report(current_->deleteRecord());
}

bool RecordStore::purge()
{
    return start() && report(current_->purge());
}

bool RecordStore::clear()
{
    return start() && report(current_->clear());
}

// --- Whole-file operations -------------------------------------------------------

bool RecordStore::copyTo(
    const QString &path, const Condition &condition, const QStringList &fieldNames)
{
    return start() && refuseOpen(path)
        && report(current_->copyTo(
            path, condition ? onCurrent(condition) : RecordFile::Condition(), fieldNames));
}

bool RecordStore::copyDaysToScratch(const QString &path, int dateField, const QDate &first,
    const QDate &last, const QStringList &fieldNames)
{
    return start() && refuseOpen(path)
        && report(current_->copyDaysToScratch(path, dateField, first, last, fieldNames));
}

bool RecordStore::copyDaysToScratch(const QString &path, int dateField, const QDate &first,
    const QDate &last, const QStringList &fieldNames,
    const std::function<void(const QStringView *texts)> &row)
{
    return start() && refuseOpen(path)
        && report(current_->copyDaysToScratch(path, dateField, first, last, fieldNames, row));
}

bool RecordStore::forEachRowInDays(int dateField, const QDate &first, const QDate &last,
    const QStringList &fieldNames, const std::function<void(const QStringView *texts)> &row)
{
    return start() && report(current_->forEachRowInDays(dateField, first, last, fieldNames, row));
}

bool RecordStore::copyEqualTo(
    const QString &path, int field1, const QString &text1, int field2, const QString &text2)
{
    return start() && refuseOpen(path)
        && report(current_->copyEqualTo(path, field1, text1, field2, text2));
}

int RecordStore::countEqual(int field1, const QString &text1, int field2, const QString &text2)
{
    int count = -1;
    if (start())
        (void)report(current_->countEqual(field1, text1, field2, text2, &count));
    return count;
}

bool RecordStore::stageCopy(const QString &path, StagedCopy *staged)
{
    return start() && refuseOpen(path) && report(current_->stageCopy(path, staged));
}

bool RecordStore::snapshotTo(const QString &path, const QString &noteKey, const QString &noteValue)
{
    return start() && report(current_->snapshotTo(path, noteKey, noteValue));
}

bool RecordStore::stageEqualCopy(const QString &path, int field1, const QString &text1, int field2,
    const QString &text2, StagedCopy *staged)
{
    return start() && refuseOpen(path)
        && report(current_->stageEqualCopy(path, field1, text1, field2, text2, staged));
}

bool RecordStore::appendFrom(const QString &alias)
{
    if (!start())
        return false;
    RecordFile *from = file(alias);
    if (!from)
        return fail(QStringLiteral("别名 %1 没有打开的文件").arg(alias));
    return report(current_->appendFrom(*from));
}

bool RecordStore::sortTo(const QString &path, int field, bool descending)
{
    return start() && refuseOpen(path) && report(current_->sortTo(path, field, descending));
}

// --- Notes -----------------------------------------------------------------------

bool RecordStore::writeNote(const QString &key, const QString &value)
{
    return start() && report(current_->writeNote(key, value));
}

QString RecordStore::readNote(const QString &key) const
{
    QString value;
    if (start())
        (void)report(current_->readNote(key, &value));
    return value;
}

Status RecordStore::settleMemoLines()
{
    if (!start())
        return Status::failure(lastError_);
    return current_->settleMemoLines();
}

std::vector<qint64> RecordStore::copiedFromIds() const
{
    std::vector<qint64> ids;
    if (start())
        (void)report(current_->copiedFromIds(&ids));
    return ids;
}

RecordStore::ChangeMark RecordStore::changeMark() const
{
    return current_ ? current_->changeMark() : ChangeMark();
}

bool RecordStore::recordsWrittenSince(const ChangeMark &mark, std::vector<qint64> *ids) const
{
    return current_ && current_->recordsWrittenSince(mark, ids);
}

// --- Layout --------------------------------------------------------------------

int RecordStore::fieldCount() const
{
    return current_ ? current_->fieldCount() : 0;
}

QString RecordStore::fieldName(int field) const
{
    return start() && report(current_->checkField(field)) ? current_->fieldName(field) : QString();
}

FieldKind RecordStore::fieldKind(int field) const
{
    return start() && report(current_->checkField(field)) ? current_->fieldKind(field)
                                                          : FieldKind::Text;
}

int RecordStore::fieldNumber(const QString &name) const
{
    return current_ ? current_->fieldNumber(name) : 0;
}

Layout RecordStore::layout() const
{
    return current_ ? current_->layout() : Layout();
}

// --- Transactions --------------------------------------------------------------

RecordStore::Transaction::Transaction(RecordStore &store)
    : store_(store)
    , file_(store.current_)
{
    if (!file_)
        return;
    transaction_ = std::make_unique<RecordFile::Transaction>(*file_);
    if (Status s = transaction_->begin(); !s) {
        store.fail(s.message());
        return;
    }
    store.diskWarning_.clear();
}

RecordStore::Transaction::~Transaction()
{
    rollback();
}

Status RecordStore::Transaction::commit()
{
    if (!active())
        return Status::failure(QStringLiteral("没有进行中的事务"));
    Status s = transaction_->commit();
    if (s && !file_->diskWarning().isEmpty()) {
        store_.clearError();
        store_.diskWarning_ = file_->diskWarning();
    }
    return s;
}

void RecordStore::Transaction::rollback()
{
    if (!active())
        return;
    if (Status s = transaction_->rollback(); !s)
        store_.fail(s.message());
}
