#pragma once

#include <QString>

#include <functional>

// Something that presents rows of texts: a record file, another table.
class RowProvider
{
public:
    virtual ~RowProvider() = default;

    virtual int providedColumnCount() const = 0;
    // How many rows forEachRow() will deliver, as far as known beforehand
    // (-1 when not): the reader makes room for them at once.
    virtual int providedRowCount() const { return -1; }
    // Calls `row` with the texts of every row in order (`texts` holds
    // providedColumnCount() entries, valid only during the call: a provider
    // reuses its buffers from row to row). Returns false when the rows could not
    // be read; rows already delivered stay delivered.
    virtual bool forEachRow(const std::function<void(const QStringView *texts)> &row) const = 0;
};
