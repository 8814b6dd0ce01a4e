#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class DataSource;

// Shows a DataSource to Qt's item views: model row r, column c is cell
// (r + 1, c + 1). DisplayRole and EditRole are the cell text; FontRole,
// ForegroundRole, BackgroundRole and TextAlignmentRole give its format, and
// EdgesRole its border lines (CellEdges bits). Nothing is kept per cell: every
// data() call is one lookup in the table.
//
// The model keeps its own row and column counts, so the shape the views see
// changes only between the begin and end notifications they require. Without a
// data source it is empty and listens to nothing.
//
// setData() is the editing path of the views: it writes the text through
// DataSource::setText() and then raises cellEdited(). Code that writes cells
// calls the data source directly and raises nothing.
class GridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Role {
        EdgesRole = Qt::UserRole + 1,
    };

    explicit GridModel(QObject *parent = nullptr);
    ~GridModel() override;

    // Binds the model to a table (nullptr unbinds it). Always resets the model.
    void setDataSource(DataSource *source);
    DataSource *dataSource() const;

    // Device pixels per tenth of a millimetre for FontRole (logical DPI / 254
    // times the zoom). Views repaint themselves after changing it.
    void setFontScale(double pixelsPerUnit) { fontScale_ = pixelsPerUnit; }
    double fontScale() const { return fontScale_; }

    // True while setData() is writing a user's edit.
    bool isCommittingEdit() const { return committing_; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // The user changed the text of a cell (1-based) in an editor.
    void cellEdited(int row, int column);

private:
    void onCellsChanged(int row, int column, int rows, int columns);
    void onRowsAppended(int firstRow, int count);
    void onLayoutReset();
    void onSourceDestroyed();

    QPointer<DataSource> source_;
    int rows_ = 0;
    int columns_ = 0;
    double fontScale_ = 96.0 / 254.0;
    bool committing_ = false;
};
