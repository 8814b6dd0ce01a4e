#pragma once

#include "common/status.h"
#include "table/row_provider.h"

#include <QString>

#include <memory>

class RecordFile;

// Presents the records of one record file as rows of texts, each value as its
// value text (numbers "%.13g", date-times as date-time text, "真"/"假"), in
// record order. Holds the file open from setFile() until setFile("") or its
// destruction, on a connection of its own.
class RecordFileProvider : public RowProvider
{
public:
    RecordFileProvider();
    ~RecordFileProvider() override;

    // Opens the file (closing the one held before); an empty path only closes.
    Status setFile(const QString &path);
    const QString &file() const { return path_; }

    int providedColumnCount() const override;
    int providedRowCount() const override { return recordCount(); }
    QString fieldName(int field) const;
    int recordCount() const;
    bool forEachRow(const std::function<void(const QStringView *texts)> &row) const override;

private:
    QString path_;
    std::unique_ptr<RecordFile> file_;
};
