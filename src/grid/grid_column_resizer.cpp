#include "grid/grid_column_resizer.h"

#include "grid/grid_format.h"
#include "grid/grid_model.h"
#include "table/data_source.h"

#include <QFontMetricsF>
#include <QHeaderView>
#include <QMouseEvent>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <tuple>

namespace {

// What the delegate leaves around a text: 4 pixels each side and the line.
constexpr double textPadding = 10;

const DataSource *tableOf(const QTableView *view)
{
    const auto *model = qobject_cast<const GridModel *>(view->model());
    return model ? model->dataSource() : nullptr;
}

} // namespace

GridColumnResizer::GridColumnResizer(
    std::vector<QTableView *> views, std::function<double()> pixelsPerUnit, QObject *parent)
    : QObject(parent)
    , pixelsPerUnit_(std::move(pixelsPerUnit))
{
    for (QTableView *view : views) {
        views_.emplace_back(view);
        // The split cursor needs the moves of a mouse with no button down.
        view->viewport()->setMouseTracking(true);
        view->viewport()->installEventFilter(this);
    }
}

GridColumnResizer::~GridColumnResizer()
{
    for (const QPointer<QTableView> &view : views_) {
        if (!view)
            continue;
        view->viewport()->removeEventFilter(this);
        if (view == splitShownIn_)
            view->viewport()->unsetCursor();
    }
}

int GridColumnResizer::fittingWidth(const DataSource &table, int column, double pixelsPerUnit)
{
    if (pixelsPerUnit <= 0)
        return 0;
    std::map<std::tuple<QString, int, int>, QFontMetricsF> metrics;
    double widest = -1;
    for (int row = 1; row <= table.rowCount(); ++row) {
        const QString text = table.text(row, column);
        if (text.isEmpty())
            continue;
        const CellRange span = table.spanAt(row, column);
        if (span.row != row || span.column != column || span.columns > 1)
            continue;
        const CellFormat &format = table.format(row, column);
        const auto key = std::make_tuple(format.fontName, format.fontSize, format.style);
        auto it = metrics.find(key);
        if (it == metrics.end())
            it = metrics.emplace(key, QFontMetricsF(cellFont(format, pixelsPerUnit))).first;
        for (const QString &line : text.split(u'\n'))
            widest = std::max(widest, it->second.horizontalAdvance(line));
    }
    if (widest < 0)
        return 0;
    return int(std::ceil((widest + textPadding) / pixelsPerUnit));
}

QTableView *GridColumnResizer::viewOf(QObject *viewport) const
{
    for (const QPointer<QTableView> &view : views_)
        if (view && view->viewport() == viewport)
            return view;
    return nullptr;
}

int GridColumnResizer::borderAt(QTableView *view, const QPoint &pos) const
{
    const DataSource *table = tableOf(view);
    if (!table || !view->model())
        return -1;
    // Header rows are the column headings; a table without them has row 1.
    const int row = view->rowAt(pos.y());
    if (row < 0 || row >= std::max(table->headerRows(), 1))
        return -1;
    const int grip = std::max(view->style()->pixelMetric(QStyle::PM_HeaderGripMargin), 3);
    const int columns = view->model()->columnCount();
    int first = view->columnAt(std::max(pos.x() - grip, 0));
    int last = view->columnAt(pos.x() + grip);
    if (first < 0)
        first = 0;
    if (last < 0)
        last = columns - 1;
    // The rightmost border wins, so a column narrowed to nothing can be
    // widened again.
    int found = -1;
    for (int column = first; column <= last; ++column) {
        if (view->isColumnHidden(column))
            continue;
        const int right = view->columnViewportPosition(column) + view->columnWidth(column);
        if (std::abs(pos.x() - right) > grip)
            continue;
        if (table->spanAt(row + 1, column + 1).lastColumn() > column + 1)
            continue; // inside a merged cell
        found = column;
    }
    return found;
}

void GridColumnResizer::showSplitCursor(QTableView *view, bool split)
{
    if (split) {
        if (splitShownIn_ && splitShownIn_ != view)
            splitShownIn_->viewport()->unsetCursor();
        view->viewport()->setCursor(Qt::SplitHCursor);
        splitShownIn_ = view;
    } else if (splitShownIn_ == view) {
        view->viewport()->unsetCursor();
        splitShownIn_ = nullptr;
    }
}

bool GridColumnResizer::press(QTableView *view, QMouseEvent *event)
{
    const int column = borderAt(view, event->position().toPoint());
    const DataSource *table = tableOf(view);
    if (column < 0 || !table)
        return false;
    column_ = column;
    pressX_ = event->globalPosition().x();
    startPixels_ = view->columnWidth(column);
    startUnits_ = table->columnWidth(column + 1);
    moved_ = false;
    return true;
}

void GridColumnResizer::drag(QMouseEvent *event)
{
    const int pixels = std::max(0, startPixels_ + qRound(event->globalPosition().x() - pressX_));
    moved_ = moved_ || pixels != startPixels_;
    // Every part of the grid follows at once; the table learns the width on
    // release.
    for (const QPointer<QTableView> &view : views_)
        if (view && view->model() && !view->isColumnHidden(column_))
            view->horizontalHeader()->resizeSection(column_, pixels);
    lastPixels_ = pixels;
}

void GridColumnResizer::release()
{
    const int column = column_;
    column_ = -1;
    if (!moved_)
        return;
    const double perUnit = pixelsPerUnit_();
    const int change = perUnit > 0 ? qRound((lastPixels_ - startPixels_) / perUnit) : 0;
    emit widthChosen(column + 1, std::max(startUnits_ + change, 0));
}

bool GridColumnResizer::fit(QTableView *view, QMouseEvent *event)
{
    const int column = borderAt(view, event->position().toPoint());
    const DataSource *table = tableOf(view);
    if (column < 0 || !table)
        return false;
    // The press before it started a drag that never moved; the release after
    // it belongs to the double-click.
    column_ = -1;
    swallowRelease_ = true;
    const int width = fittingWidth(*table, column + 1, pixelsPerUnit_());
    // A column without text keeps its width.
    if (width > 0)
        emit widthChosen(column + 1, width);
    return true;
}

bool GridColumnResizer::eventFilter(QObject *watched, QEvent *event)
{
    QTableView *view = viewOf(watched);
    if (!view)
        return false;
    switch (event->type()) {
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (column_ >= 0) {
            drag(mouse);
            return true;
        }
        if (mouse->buttons() == Qt::NoButton)
            showSplitCursor(view, borderAt(view, mouse->position().toPoint()) >= 0);
        return false;
    }
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        return mouse->button() == Qt::LeftButton && press(view, mouse);
    }
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        return mouse->button() == Qt::LeftButton && fit(view, mouse);
    }
    case QEvent::MouseButtonRelease: {
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        if (column_ >= 0) {
            release();
            return true;
        }
        if (swallowRelease_) {
            swallowRelease_ = false;
            return true;
        }
        return false;
    }
    case QEvent::Leave:
        if (column_ < 0)
            showSplitCursor(view, false);
        return false;
    default:
        return false;
    }
}
