#include "grid/grid_model.h"

#include "grid/grid_format.h"
#include "table/data_source.h"

#include <QBrush>

#include <algorithm>

GridModel::GridModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

GridModel::~GridModel() = default;

void GridModel::setDataSource(DataSource *source)
{
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    // The counts Qt sees change only inside the reset; the pointer may change
    // before it, nothing reads cells in between.
    source_ = source;
    beginResetModel();
    rows_ = source ? source->rowCount() : 0;
    columns_ = source ? source->columnCount() : 0;
    endResetModel();
    if (!source)
        return;
    connect(source, &DataSource::cellsChanged, this, &GridModel::onCellsChanged);
    connect(source, &DataSource::rowsAppended, this, &GridModel::onRowsAppended);
    connect(source, &DataSource::layoutReset, this, &GridModel::onLayoutReset);
    connect(source, &QObject::destroyed, this, &GridModel::onSourceDestroyed);
}

DataSource *GridModel::dataSource() const
{
    return source_;
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!source_ || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return source_->text(row, column);
    case Qt::FontRole:
        return cellFont(source_->format(row, column), fontScale_);
    case Qt::ForegroundRole:
        return QBrush(cellColor(source_->format(row, column).textColor));
    case Qt::BackgroundRole:
        return QBrush(cellColor(source_->format(row, column).background));
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(cellAlignment(source_->format(row, column).alignment));
    case EdgesRole:
        return int(source_->edges(row, column));
    default:
        return {};
    }
}

bool GridModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!source_ || role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return false;
    const int row = index.row() + 1;
    const int column = index.column() + 1;
    const QString text = value.toString();
    if (text == source_->text(row, column))
        return true; // an editor closed without a change: nothing to tell
    committing_ = true;
    source_->setText(row, column, text);
    emit cellEdited(row, column);
    committing_ = false;
    return true;
}

Qt::ItemFlags GridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

void GridModel::onCellsChanged(int row, int column, int rows, int columns)
{
    const int top = std::max(row, 1);
    const int left = std::max(column, 1);
    const int bottom = std::min(row + rows - 1, rows_);
    const int right = std::min(column + columns - 1, columns_);
    if (top > bottom || left > right)
        return;
    emit dataChanged(index(top - 1, left - 1), index(bottom - 1, right - 1));
}

void GridModel::onRowsAppended(int firstRow, int count)
{
    // Anything but rows added after the ones we know is a new shape.
    if (firstRow != rows_ + 1 || count <= 0 || source_->columnCount() != columns_
        || source_->rowCount() != rows_ + count) {
        onLayoutReset();
        return;
    }
    beginInsertRows({}, rows_, rows_ + count - 1);
    rows_ += count;
    endInsertRows();
}

void GridModel::onLayoutReset()
{
    beginResetModel();
    rows_ = source_ ? source_->rowCount() : 0;
    columns_ = source_ ? source_->columnCount() : 0;
    endResetModel();
}

void GridModel::onSourceDestroyed()
{
    beginResetModel();
    source_ = nullptr;
    rows_ = columns_ = 0;
    endResetModel();
}
