#pragma once

#include <QColor>
#include <QPointer>
#include <QStyledItemDelegate>

// Paints a grid cell from the GridModel roles: background, text in the cell's
// font, colour and alignment, the light grid lines, the cell's black border
// edges and, over a selected cell, a translucent highlight that keeps the text
// colour readable. The cursor cell gets a frame.
//
// One delegate serves one view (Qt's views must not share a delegate): it
// remembers the editor it opened so that the grid can finish an edit.
class GridDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    explicit GridDelegate(QObject *parent = nullptr);

    void setGridLineColor(const QColor &color) { gridLineColor_ = color; }
    QColor gridLineColor() const { return gridLineColor_; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
        const QModelIndex &index) const override;

    // Whether an editor of this delegate is open.
    bool isEditing() const;
    // Writes the open editor's text into the model and closes it.
    void finishEditing();

private:
    QColor gridLineColor_ = QColor(0xD0, 0xD0, 0xD0);
    mutable QPointer<QWidget> editor_;
};
