#include "table/record_file_provider.h"

#include "data/record_file.h"

#include <vector>

RecordFileProvider::RecordFileProvider() = default;

RecordFileProvider::~RecordFileProvider() = default;

Status RecordFileProvider::setFile(const QString &path)
{
    file_.reset();
    path_.clear();
    if (path.isEmpty())
        return Status::success();
    auto file = std::make_unique<RecordFile>();
    if (Status s = file->open(path, QStringLiteral("provider")); !s)
        return s;
    file_ = std::move(file);
    path_ = path;
    return Status::success();
}

int RecordFileProvider::providedColumnCount() const
{
    return file_ ? file_->fieldCount() : 0;
}

QString RecordFileProvider::fieldName(int field) const
{
    return file_ ? file_->fieldName(field) : QString();
}

int RecordFileProvider::recordCount() const
{
    return file_ ? file_->recordCount() : 0;
}

bool RecordFileProvider::forEachRow(const std::function<void(const QStringView *texts)> &row) const
{
    if (!file_)
        return true;
    const int fields = file_->fieldCount();
    std::vector<std::u16string> buffers(static_cast<size_t>(fields));
    std::vector<QStringView> texts(static_cast<size_t>(fields));
    const Status read = file_->forEachRecord([&](const RecordFile &record) {
        for (int f = 1; f <= fields; ++f)
            texts[size_t(f - 1)] = record.readTextInto(f, buffers[size_t(f - 1)]);
        row(texts.data());
    });
    return read.ok();
}
