#pragma once

#include "table/row_provider.h"

#include <QtGlobal>

#include <algorithm>
#include <string>
#include <vector>

// Rows of texts kept in memory, read once from elsewhere and handed on as a
// RowProvider: all texts in one buffer, so a row costs a few bytes beyond its
// characters. Every row has the same number of columns.
class TextRows : public RowProvider
{
public:
    explicit TextRows(int columns = 0);

    int columnCount() const { return columns_; }
    int rowCount() const { return int(ends_.size() / size_t(std::max(columns_, 1))); }
    // Makes room for `rows` more rows of about `unitsPerRow` UTF-16 units.
    void reserve(int rows, int unitsPerRow);
    // Appends a row of columnCount() texts.
    void append(const QStringView *texts);

    int providedColumnCount() const override { return columns_; }
    int providedRowCount() const override { return rowCount(); }
    bool forEachRow(const std::function<void(const QStringView *texts)> &row) const override;

    // The storage itself, for a reader that takes all rows at once: every
    // text, one after the other, and where each cell's text ends.
    const std::u16string &texts() const { return texts_; }
    const std::vector<quint32> &cellEnds() const { return ends_; }

private:
    int columns_;
    std::u16string texts_;
    // End of every cell's text in texts_, row-major. Four bytes a cell, as a
    // table counts its texts: a text past that many units stays empty here,
    // as it would in the table.
    std::vector<quint32> ends_;
};
