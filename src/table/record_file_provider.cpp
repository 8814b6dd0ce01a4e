#include "table/record_file_provider.h"

#include "data/record_store.h"

#include <vector>

RecordFileProvider::RecordFileProvider() = default;

RecordFileProvider::~RecordFileProvider() = default;

Status RecordFileProvider::setFile(const QString &path)
{
    store_.reset();
    path_.clear();
    if (path.isEmpty())
        return Status::success();
    auto store = std::make_unique<RecordStore>();
    if (!store->open(path, QStringLiteral("provider")))
        return Status::failure(store->lastError());
    store_ = std::move(store);
    path_ = path;
    return Status::success();
}

int RecordFileProvider::providedColumnCount() const
{
    return store_ ? store_->fieldCount() : 0;
}

QString RecordFileProvider::fieldName(int field) const
{
    return store_ ? store_->fieldName(field) : QString();
}

int RecordFileProvider::recordCount() const
{
    return store_ ? store_->recordCount() : 0;
}

bool RecordFileProvider::forEachRow(const std::function<void(const QStringView *texts)> &row) const
{
    if (!store_)
        return true;
    const int fields = store_->fieldCount();
    std::vector<std::u16string> buffers(static_cast<size_t>(fields));
    std::vector<QStringView> texts(static_cast<size_t>(fields));
    return store_->forEachRecord([&](const RecordStore &record) {
        for (int f = 1; f <= fields; ++f)
            texts[size_t(f - 1)] = record.readTextInto(f, buffers[size_t(f - 1)]);
        row(texts.data());
    });
}
