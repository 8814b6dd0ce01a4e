#include "table/text_rows.h"

#include <limits>

TextRows::TextRows(int columns)
    : columns_(std::max(columns, 0))
{ }

void TextRows::reserve(int rows, int unitsPerRow)
{
    const size_t more = size_t(std::max(rows, 0));
    ends_.reserve(ends_.size() + more * size_t(columns_));
    texts_.reserve(texts_.size() + more * size_t(std::max(unitsPerRow, 0)));
}

void TextRows::append(const QStringView *texts)
{
    if (columns_ == 0)
        return;
    for (int c = 0; c < columns_; ++c) {
        if (texts_.size() + size_t(texts[c].size()) <= std::numeric_limits<quint32>::max())
            texts_.append(
                reinterpret_cast<const char16_t *>(texts[c].utf16()), size_t(texts[c].size()));
        ends_.push_back(quint32(texts_.size()));
    }
}

bool TextRows::forEachRow(const std::function<void(const QStringView *texts)> &row) const
{
    std::vector<QStringView> texts(static_cast<size_t>(columns_));
    size_t start = 0;
    for (size_t cell = 0; cell < ends_.size();) {
        for (int c = 0; c < columns_; ++c, ++cell) {
            texts[size_t(c)] = QStringView(texts_.data() + start, qsizetype(ends_[cell] - start));
            start = ends_[cell];
        }
        row(texts.data());
    }
    return true;
}
