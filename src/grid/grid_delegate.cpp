#include "grid/grid_delegate.h"

#include "grid/grid_model.h"
#include "table/cell_format.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPainter>

namespace {

// The part of `items` that a window of `room` items shows, placed as the
// alignment places an overflowing run: its start, its end or its middle.
template<typename List>
List window(const List &items, qsizetype room, bool atEnd, bool centred)
{
    if (items.size() <= room)
        return items;
    const qsizetype from = atEnd ? items.size() - room : centred ? (items.size() - room) / 2 : 0;
    return items.mid(from, room);
}

// The part of a cell's text that can show in `box`. A cell read from a
// spreadsheet may hold tens of thousands of characters, which would be laid
// out whole at every repaint; no character is narrower than a pixel, nor a
// line lower, so the cut never shows.
QString visiblePart(const QString &text, const QRect &box, Qt::Alignment alignment)
{
    const qsizetype columns = qsizetype(box.width()) + 2;
    const qsizetype lines = qsizetype(box.height()) + 2;
    if (text.size() <= columns)
        return text;
    QStringList parts = window(text.split(u'\n'), lines, bool(alignment & Qt::AlignBottom),
        bool(alignment & Qt::AlignVCenter));
    for (QString &part : parts)
        part = window(
            part, columns, bool(alignment & Qt::AlignRight), bool(alignment & Qt::AlignHCenter));
    return parts.join(u'\n');
}

} // namespace

GridDelegate::GridDelegate(QObject *parent)
    : QStyledItemDelegate(parent)
{ }

void GridDelegate::paint(
    QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRect rect = option.rect;
    if (rect.isEmpty())
        return;
    painter->save();

    const QVariant background = index.data(Qt::BackgroundRole);
    painter->fillRect(
        rect, background.isValid() ? qvariant_cast<QBrush>(background).color() : QColor(Qt::white));
    if (option.state & QStyle::State_Selected) {
        QColor tint = option.palette.color(QPalette::Active, QPalette::Highlight);
        tint.setAlpha(80);
        painter->fillRect(rect, tint);
    }

    const QString text = index.data(Qt::DisplayRole).toString();
    if (!text.isEmpty()) {
        const QVariant font = index.data(Qt::FontRole);
        if (font.isValid())
            painter->setFont(qvariant_cast<QFont>(font));
        const QVariant foreground = index.data(Qt::ForegroundRole);
        const QColor color
            = foreground.isValid() ? qvariant_cast<QBrush>(foreground).color() : QColor(Qt::black);
        const auto alignment = qvariant_cast<Qt::Alignment>(index.data(Qt::TextAlignmentRole));
        // Clipped to the cell, one line unless the text holds line breaks.
        const QRect textRect = rect.adjusted(4, 1, -4, -1);
        const QString shown = visiblePart(text, textRect, alignment);
        // Very light text (the yellow of picked rows) gets a dark shadow, so it
        // stays readable on white and on the selection tint.
        if (0.299 * color.red() + 0.587 * color.green() + 0.114 * color.blue() > 200) {
            painter->setPen(QColor(60, 60, 60));
            painter->drawText(textRect.translated(1, 1), int(alignment), shown);
        }
        painter->setPen(color);
        painter->drawText(textRect, int(alignment), shown);
    }

    // Grid lines on the right and bottom of every cell, so neighbours share one.
    painter->setPen(gridLineColor_);
    painter->drawLine(rect.topRight(), rect.bottomRight());
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());

    // Border edges in black, one pixel wide: a cell draws its right and bottom
    // edges, and its left and top ones only where the neighbour does not
    // already draw the same line.
    const int edges = index.data(GridModel::EdgesRole).toInt();
    if (edges) {
        painter->setPen(Qt::black);
        if (edges & BorderRight)
            painter->drawLine(rect.topRight(), rect.bottomRight());
        if (edges & BorderBottom)
            painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        if (edges & BorderLeft) {
            const QModelIndex left = index.siblingAtColumn(index.column() - 1);
            if (!left.isValid() || !(left.data(GridModel::EdgesRole).toInt() & BorderRight))
                painter->drawLine(rect.topLeft(), rect.bottomLeft());
        }
        if (edges & BorderTop) {
            const QModelIndex above = index.siblingAtRow(index.row() - 1);
            if (!above.isValid() || !(above.data(GridModel::EdgesRole).toInt() & BorderBottom))
                painter->drawLine(rect.topLeft(), rect.topRight());
        }
    }

    // The cursor: the current cell, framed in every part of the grid.
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    if (view && view->currentIndex() == index) {
        QPen pen(option.palette.color(QPalette::Active, QPalette::Highlight).darker(150));
        pen.setWidth(2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(1, 1, -1, -1));
    }
    painter->restore();
}

QWidget *GridDelegate::createEditor(
    QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *line = qobject_cast<QLineEdit *>(editor)) {
        const QVariant font = index.data(Qt::FontRole);
        if (font.isValid())
            line->setFont(qvariant_cast<QFont>(font));
        const auto alignment = qvariant_cast<Qt::Alignment>(index.data(Qt::TextAlignmentRole));
        line->setAlignment((alignment & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
        line->setFrame(false);
    }
    editor_ = editor;
    return editor;
}

bool GridDelegate::isEditing() const
{
    // A closed editor is hidden at once and deleted later.
    return editor_ && !editor_->isHidden();
}

void GridDelegate::finishEditing()
{
    if (!isEditing())
        return;
    QWidget *editor = editor_;
    editor_ = nullptr;
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}
