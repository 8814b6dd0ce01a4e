#include "grid/grid_printer.h"

#include "grid/grid_format.h"
#include "table/data_source.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace {

constexpr double unitsPerInch = 254.0;
constexpr double unitsPerPoint = unitsPerInch / 72.0;
constexpr int minimumPrintable = 100; // 1 cm of paper between the margins at least
constexpr int borderWidth = 2; // 0.2 mm
constexpr int pageNumberFontSize = 32; // 9 points
constexpr int horizontalPadding = 10; // between a cell's edges and its text
constexpr int verticalPadding = 5;
constexpr int minimumScale = 10;
constexpr int maximumScale = 400;
// Paper code 2 is the printable table's "orientation follows the width" mode.
constexpr int widthFollowingPaper = 2;

const QString pageNumberFont = QStringLiteral("宋体");

// A font whose character height is `height` tenths of a millimetre.
QFont makeFont(const QString &family, double height, int style)
{
    QFont font(family);
    // Cell texts need no shaping, and with it the Chinese fonts give digits
    // after Latin letters alternate glyphs that a PDF cannot map back to text
    // (a copied "XP-70" would lose its digits).
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(std::max(height, 1.0) / unitsPerPoint);
    applyCellStyle(font, style);
    return font;
}

// The paper's size in tenths of a millimetre, turned for the orientation.
QSizeF paperUnits(const PageSetup &setup, const QPageSize &devicePaper)
{
    const QSizeF mm
        = GridPrinter::paperSize(setup.paperKind, devicePaper).size(QPageSize::Millimeter);
    const QSizeF units = mm * 10.0;
    return setup.orientation == 1 ? units.transposed() : units;
}

// Two opposite margins: never negative, and never so wide that less than
// minimumPrintable is left between them.
std::pair<double, double> fitMargins(int first, int second, double length)
{
    double a = std::max(first, 0);
    double b = std::max(second, 0);
    const double limit = std::max(length - minimumPrintable, 0.0);
    if (a + b > limit) {
        const double factor = limit / (a + b);
        a *= factor;
        b *= factor;
    }
    return {a, b};
}

QMarginsF effectiveMargins(const PageSetup &setup, const QSizeF &paper)
{
    const auto [left, right] = fitMargins(setup.leftMargin, setup.rightMargin, paper.width());
    const auto [top, bottom] = fitMargins(setup.topMargin, setup.bottomMargin, paper.height());
    return QMarginsF(left, top, right, bottom);
}

// Rows (or columns) first..last; empty when last < first.
struct Run
{
    int first = 1;
    int last = 0;
    bool empty() const { return last < first; }
};

// Splits first..last into runs that fit `room` each; at least one item per run
// and at least one run.
template<typename Size>
std::vector<Run> slice(int first, int last, Size size, double room)
{
    std::vector<Run> runs;
    int start = first;
    double used = 0;
    for (int i = first; i <= last; ++i) {
        const int s = size(i);
        if (i > start && used + s > room + 1e-6) {
            runs.push_back({start, i - 1});
            start = i;
            used = 0;
        }
        used += s;
    }
    if (start <= last || runs.empty())
        runs.push_back({start, last});
    return runs;
}

template<typename Size>
double total(int first, int last, Size size)
{
    double sum = 0;
    for (int i = first; i <= last; ++i)
        sum += size(i);
    return sum;
}

// How a table falls onto pages. Paper lengths are in tenths of a millimetre
// from the paper's top-left corner; table lengths are the table's own units,
// drawn at `scale`.
struct Plan
{
    QRectF tableArea; // on the paper
    QRectF numberBand; // on the paper; null without page numbers
    double scale = 1.0;
    int headerRows = 0; // repeated on every page
    int headerColumns = 0;
    double headerHeight = 0; // table units
    double headerWidth = 0;
    std::vector<Run> rowBands; // the rows after the header rows, page by page
    std::vector<Run> columnBands;

    int pageCount() const { return int(rowBands.size() * columnBands.size()); }
    // Pages run down first, then across.
    const Run &rowBand(int page) const { return rowBands[size_t(page - 1) % rowBands.size()]; }
    const Run &columnBand(int page) const
    {
        return columnBands[size_t(page - 1) / rowBands.size()];
    }
};

Plan makePlan(const DataSource &source, const PageSetup &setup, const QPageSize &devicePaper)
{
    Plan plan;
    const QSizeF paper = paperUnits(setup, devicePaper);
    const QMarginsF margins = effectiveMargins(setup, paper);
    QRectF area = QRectF(QPointF(0, 0), paper).marginsRemoved(margins);

    const int position = setup.pageNumberPosition;
    if (position >= PageSetup::TopLeft && position <= PageSetup::BottomRight) {
        // The number goes into the margin when it fits there, else the table
        // gives up a band for it.
        const double band = 2.0 * pageNumberFontSize;
        const bool top = position <= PageSetup::TopRight;
        if (top && margins.top() >= band) {
            plan.numberBand = QRectF(area.left(), (margins.top() - band) / 2, area.width(), band);
        } else if (top) {
            plan.numberBand = QRectF(area.left(), area.top(), area.width(), band);
            area.setTop(std::min(area.top() + band, area.bottom() - 1));
        } else if (margins.bottom() >= band) {
            plan.numberBand = QRectF(
                area.left(), area.bottom() + (margins.bottom() - band) / 2, area.width(), band);
        } else {
            plan.numberBand = QRectF(area.left(), area.bottom() - band, area.width(), band);
            area.setBottom(std::max(area.bottom() - band, area.top() + 1));
        }
    }
    plan.tableArea = area;

    const int scale = setup.scale <= 0 ? 100 : std::clamp(setup.scale, minimumScale, maximumScale);
    plan.scale = scale / 100.0;
    const double roomWidth = area.width() / plan.scale;
    const double roomHeight = area.height() / plan.scale;

    const auto height = [&](int row) {
        return source.rowHeight(row);
    };
    const auto width = [&](int column) {
        return source.columnWidth(column);
    };
    const int rows = source.rowCount();
    const int columns = source.columnCount();

    // Headers are repeated only when they leave room for the rest.
    const int headerRows = std::clamp(source.headerRows(), 0, rows);
    const double headerHeight = total(1, headerRows, height);
    if (headerRows < rows && headerHeight < roomHeight) {
        plan.headerRows = headerRows;
        plan.headerHeight = headerHeight;
    }
    const int headerColumns = std::clamp(source.headerColumns(), 0, columns);
    const double headerWidth = total(1, headerColumns, width);
    if (headerColumns < columns && headerWidth < roomWidth) {
        plan.headerColumns = headerColumns;
        plan.headerWidth = headerWidth;
    }

    plan.rowBands = slice(plan.headerRows + 1, rows, height, roomHeight - plan.headerHeight);
    plan.columnBands = slice(plan.headerColumns + 1, columns, width, roomWidth - plan.headerWidth);
    return plan;
}

// Rows or columns as placed on one page: runs with the table-unit offset of
// each edge (edges[i] is where item run.first + i starts).
struct Placed
{
    Run run;
    std::vector<double> edges;

    double start(int item) const { return edges[size_t(item - run.first)]; }
    double end(int item) const { return edges[size_t(item - run.first + 1)]; }
};

template<typename Size>
std::vector<Placed> place(const Run &header, const Run &band, Size size)
{
    std::vector<Placed> placed;
    double at = 0;
    for (const Run &run : {header, band}) {
        if (run.empty())
            continue;
        Placed p {run, {}};
        p.edges.reserve(size_t(run.last - run.first + 2));
        p.edges.push_back(at);
        for (int i = run.first; i <= run.last; ++i) {
            at += size(i);
            p.edges.push_back(at);
        }
        placed.push_back(std::move(p));
    }
    return placed;
}

// Draws the pages of one plan onto a painter.
class PagePainter
{
public:
    PagePainter(QPainter &painter, QPaintDevice &device, const QPointF &origin,
        const DataSource &source, const Plan &plan)
        : painter_(painter)
        , device_(device)
        , origin_(origin)
        , source_(source)
        , plan_(plan)
        , dotsX_(device.logicalDpiX() / unitsPerInch)
        , dotsY_(device.logicalDpiY() / unitsPerInch)
    { }

    void paint(int page, int pageNumberPosition)
    {
        const auto height = [&](int row) {
            return source_.rowHeight(row);
        };
        const auto width = [&](int column) {
            return source_.columnWidth(column);
        };
        const std::vector<Placed> rows = place({1, plan_.headerRows}, plan_.rowBand(page), height);
        const std::vector<Placed> columns
            = place({1, plan_.headerColumns}, plan_.columnBand(page), width);

        collectMerges(rows, columns);
        for (const Placed &r : rows)
            for (const Placed &c : columns)
                paintCells(r, c);
        painter_.setPen(QPen(Qt::black, borderWidth * dotsY_, Qt::SolidLine, Qt::SquareCap));
        for (const Placed &r : rows)
            for (const Placed &c : columns)
                paintBorders(r, c);
        if (!plan_.numberBand.isNull())
            paintPageNumber(page, pageNumberPosition);
    }

private:
    // A rectangle of the table (table units from the page's first cell) in
    // device coordinates.
    QRectF toDevice(double x, double y, double w, double h) const
    {
        const QRectF &area = plan_.tableArea;
        const double s = plan_.scale;
        return toDevice(QRectF(area.left() + x * s, area.top() + y * s, w * s, h * s));
    }

    // A rectangle of the paper in device coordinates.
    QRectF toDevice(const QRectF &paper) const
    {
        return QRectF((paper.left() - origin_.x()) * dotsX_, (paper.top() - origin_.y()) * dotsY_,
            paper.width() * dotsX_, paper.height() * dotsY_);
    }

    void collectMerges(const std::vector<Placed> &rows, const std::vector<Placed> &columns)
    {
        merges_.clear();
        for (const CellRange &m : source_.merges()) {
            const bool shown = std::any_of(rows.begin(), rows.end(), [&](const Placed &r) {
                return std::any_of(columns.begin(), columns.end(), [&](const Placed &c) {
                    return m.intersects({r.run.first, c.run.first, r.run.last - r.run.first + 1,
                        c.run.last - c.run.first + 1});
                });
            });
            if (shown)
                merges_.push_back(m);
        }
    }

    CellRange spanAt(int row, int column) const
    {
        for (const CellRange &m : merges_)
            if (m.contains(row, column))
                return m;
        return {row, column, 1, 1};
    }

    void paintCells(const Placed &rows, const Placed &columns)
    {
        for (int r = rows.run.first; r <= rows.run.last; ++r) {
            for (int c = columns.run.first; c <= columns.run.last; ++c) {
                const CellRange span = spanAt(r, c);
                // The part of the cell (or merge) that falls into these runs,
                // drawn once from its first cell.
                const int top = std::max(span.row, rows.run.first);
                const int left = std::max(span.column, columns.run.first);
                if (r != top || c != left)
                    continue;
                const int bottom = std::min(span.lastRow(), rows.run.last);
                const int right = std::min(span.lastColumn(), columns.run.last);
                const double x = columns.start(left);
                const double y = rows.start(top);
                const QRectF visible = toDevice(x, y, columns.end(right) - x, rows.end(bottom) - y);
                if (visible.isEmpty())
                    continue;
                // The whole merge, reaching past the page where it is cut.
                const auto width = [&](int column) {
                    return source_.columnWidth(column);
                };
                const auto height = [&](int row) {
                    return source_.rowHeight(row);
                };
                const double before = total(span.column, left - 1, width);
                const double after = total(right + 1, span.lastColumn(), width);
                const double above = total(span.row, top - 1, height);
                const double below = total(bottom + 1, span.lastRow(), height);
                const QRectF whole = toDevice(x - before, y - above,
                    before + columns.end(right) - x + after, above + rows.end(bottom) - y + below);
                paintCell(span.row, span.column, visible, whole);
            }
        }
    }

    void paintCell(int row, int column, const QRectF &visible, const QRectF &whole)
    {
        const CellFormat &format = source_.format(row, column);
        if ((format.background & 0xFFFFFF) != CellFormat::white)
            painter_.fillRect(visible, cellColor(format.background));
        const QString text = source_.text(row, column);
        if (text.isEmpty())
            return;

        if (&format != fontFormat_) {
            // Formats are shared between cells; most cells reuse the last font.
            fontFormat_ = &format;
            font_ = makeFont(format.fontName, format.fontSize * plan_.scale, format.style);
            metrics_.emplace(font_, &device_);
        }
        const double padX = std::min(horizontalPadding * plan_.scale * dotsX_, whole.width() / 4);
        const double padY = std::min(verticalPadding * plan_.scale * dotsY_, whole.height() / 4);
        const QRectF inner = whole.adjusted(padX, padY, -padX, -padY);
        // Clipping costs a state change per cell; only text that would spill
        // over its cell, or a merge cut by the page, needs it.
        const bool clip = whole != visible || metrics_->horizontalAdvance(text) > inner.width()
            || metrics_->height() > visible.height();
        painter_.save();
        if (clip)
            painter_.setClipRect(visible, Qt::IntersectClip);
        painter_.setFont(font_);
        painter_.setPen(cellColor(format.textColor));
        painter_.drawText(inner,
            cellAlignment(format.alignment).toInt() | Qt::TextSingleLine | Qt::TextDontClip, text);
        painter_.restore();
    }

    // Lines are drawn on the cell edges that lie on the outline of their
    // merge; edges where a page cuts a merge stay open.
    void paintBorders(const Placed &rows, const Placed &columns)
    {
        for (int r = rows.run.first; r <= rows.run.last; ++r) {
            for (int c = columns.run.first; c <= columns.run.last; ++c) {
                const CellEdges edges = source_.edges(r, c);
                if (!edges)
                    continue;
                const CellRange span = spanAt(r, c);
                const QRectF cell = toDevice(columns.start(c), rows.start(r),
                    columns.end(c) - columns.start(c), rows.end(r) - rows.start(r));
                if (cell.isEmpty()) // a hidden row or column
                    continue;
                if ((edges & BorderLeft) && c == span.column)
                    painter_.drawLine(QLineF(cell.topLeft(), cell.bottomLeft()));
                if ((edges & BorderTop) && r == span.row)
                    painter_.drawLine(QLineF(cell.topLeft(), cell.topRight()));
                if ((edges & BorderRight) && c == span.lastColumn())
                    painter_.drawLine(QLineF(cell.topRight(), cell.bottomRight()));
                if ((edges & BorderBottom) && r == span.lastRow())
                    painter_.drawLine(QLineF(cell.bottomLeft(), cell.bottomRight()));
            }
        }
    }

    void paintPageNumber(int page, int position)
    {
        static constexpr Qt::AlignmentFlag horizontal[]
            = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
        const Qt::Alignment alignment
            = horizontal[(position - PageSetup::TopLeft) % 3] | Qt::AlignVCenter;
        painter_.save();
        painter_.setFont(makeFont(pageNumberFont, pageNumberFontSize, 0));
        painter_.setPen(Qt::black);
        painter_.drawText(toDevice(plan_.numberBand),
            alignment.toInt() | Qt::TextSingleLine | Qt::TextDontClip,
            GridPrinter::pageNumberText(page));
        painter_.restore();
    }

    QPainter &painter_;
    QPaintDevice &device_;
    QPointF origin_; // where the device's origin lies on the paper
    const DataSource &source_;
    const Plan &plan_;
    double dotsX_; // device dots per tenth of a millimetre
    double dotsY_;
    std::vector<CellRange> merges_; // the merges shown on the current page
    const CellFormat *fontFormat_ = nullptr; // the format font_ was made for
    QFont font_;
    std::optional<QFontMetricsF> metrics_;
};

} // namespace

GridPrinter::GridPrinter(const DataSource &source)
    : GridPrinter(source, source.pageSetup())
{ }

GridPrinter::GridPrinter(const DataSource &source, const PageSetup &setup)
    : source_(source)
    , setup_(setup)
{
    installFontSubstitutes();
}

// --- Paper -------------------------------------------------------------------------

QPageSize GridPrinter::paperSize(int paperKind, const QPageSize &devicePaper)
{
    const QPageSize a4(QPageSize::A4);
    if (paperKind == 0)
        return devicePaper.isValid() ? devicePaper : a4;
    if (paperKind == widthFollowingPaper)
        return a4;
    const QPageSize::PageSizeId id = QPageSize::id(paperKind);
    return id == QPageSize::Custom ? a4 : QPageSize(id);
}

int GridPrinter::paperKind(const QPageSize &paper)
{
    return paper.isValid() ? paper.windowsId() : 0;
}

QPageLayout GridPrinter::pageLayout(const PageSetup &setup, const QPageSize &devicePaper)
{
    const QMarginsF margins = effectiveMargins(setup, paperUnits(setup, devicePaper));
    return QPageLayout(paperSize(setup.paperKind, devicePaper),
        setup.orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait, margins / 10.0,
        QPageLayout::Millimeter);
}

int GridPrinter::printableWidth(const PageSetup &setup, const QPageSize &devicePaper)
{
    const QSizeF paper = paperUnits(setup, devicePaper);
    const QMarginsF margins = effectiveMargins(setup, paper);
    return qRound(paper.width() - margins.left() - margins.right());
}

int GridPrinter::printableHeight(const PageSetup &setup, const QPageSize &devicePaper)
{
    const QSizeF paper = paperUnits(setup, devicePaper);
    const QMarginsF margins = effectiveMargins(setup, paper);
    return qRound(paper.height() - margins.top() - margins.bottom());
}

// --- Pages ---------------------------------------------------------------------------

int GridPrinter::pageCount(const QPagedPaintDevice *device) const
{
    const QPageSize devicePaper = device ? device->pageLayout().pageSize() : QPageSize();
    return makePlan(source_, setup_, devicePaper).pageCount();
}

int GridPrinter::firstPrintedPage(int) const
{
    return setup_.printRange == 1 ? std::max(setup_.firstPage, 1) : 1;
}

int GridPrinter::lastPrintedPage(int pageCount) const
{
    if (setup_.printRange != 1 || setup_.lastPage <= 0)
        return pageCount;
    return std::min(setup_.lastPage, pageCount);
}

Status GridPrinter::print(QPagedPaintDevice &device, const Progress &progress) const
{
    QPageLayout layout = pageLayout(setup_, device.pageLayout().pageSize());
    if (!device.setPageLayout(layout)) {
        // Margins the printer cannot keep: paint from the paper's corner and
        // keep ours anyway; what falls outside its reach is its business.
        layout.setMode(QPageLayout::FullPageMode);
        device.setPageLayout(layout);
    }
    // Lay the pages out on the paper the device took, which is not ours when
    // it refused our paper size.
    const QPageLayout actual = device.pageLayout();
    PageSetup effective = setup_;
    effective.paperKind = 0;
    effective.orientation = actual.orientation() == QPageLayout::Landscape ? 1 : 0;
    const Plan plan = makePlan(source_, effective, actual.pageSize());
    const int first = firstPrintedPage(plan.pageCount());
    const int last = lastPrintedPage(plan.pageCount());
    if (first > last)
        return Status::success();
    if (auto *printer = dynamic_cast<QPrinter *>(&device))
        printer->setCopyCount(std::max(setup_.copies, 1));

    QPainter painter;
    if (!painter.begin(&device))
        return Status::failure(QStringLiteral("无法开始打印。"));
    // The painter's origin is the corner of the device's paint rectangle; the
    // plan measures from the paper's corner.
    const QPointF origin = device.pageLayout().paintRect(QPageLayout::Millimeter).topLeft() * 10.0;
    PagePainter pages(painter, device, origin, source_, plan);
    for (int page = first; page <= last; ++page) {
        if (progress && !progress(page - first, last - first + 1)) {
            if (auto *printer = dynamic_cast<QPrinter *>(&device))
                printer->abort();
            painter.end();
            return Status::success();
        }
        if (page > first && !device.newPage()) {
            painter.end();
            return Status::failure(QStringLiteral("打印中断。"));
        }
        pages.paint(page, setup_.pageNumberPosition);
    }
    if (!painter.end())
        return Status::failure(QStringLiteral("打印未能完成。"));
    return Status::success();
}

QString GridPrinter::pageNumberText(int page)
{
    return QStringLiteral("第 %1 页").arg(page);
}

// --- Printers and their dialogs ----------------------------------------------------

void GridPrinter::applyTo(QPrinter &printer) const
{
    const QPageLayout layout = pageLayout(setup_, printer.pageLayout().pageSize());
    if (!printer.setPageLayout(layout)) {
        // The printer's own minimum margins win where ours are narrower.
        printer.setPageSize(layout.pageSize());
        printer.setPageOrientation(layout.orientation());
        QPageLayout now = printer.pageLayout();
        now.setUnits(QPageLayout::Millimeter);
        const QMarginsF minimum = now.minimumMargins();
        const QMarginsF wanted = layout.margins(QPageLayout::Millimeter);
        printer.setPageMargins(
            QMarginsF(std::max(wanted.left(), minimum.left()),
                std::max(wanted.top(), minimum.top()), std::max(wanted.right(), minimum.right()),
                std::max(wanted.bottom(), minimum.bottom())),
            QPageLayout::Millimeter);
    }
    printer.setCopyCount(std::max(setup_.copies, 1));
    const int count = pageCount(&printer);
    const int first = firstPrintedPage(count);
    const int last = lastPrintedPage(count);
    if (setup_.printRange == 1 && first <= last) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(first, last);
    } else {
        printer.setPrintRange(QPrinter::AllPages);
        printer.setFromTo(0, 0);
    }
}

PageSetup GridPrinter::pageSetupFrom(const QPrinter &printer, const PageSetup &base)
{
    PageSetup setup = base;
    const QPageLayout layout = printer.pageLayout();
    const QPageSize paper = layout.pageSize();
    if (!paper.isEquivalentTo(paperSize(base.paperKind, paper)))
        setup.paperKind = paperKind(paper);
    setup.orientation = layout.orientation() == QPageLayout::Landscape ? 1 : 0;
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter) * 10.0;
    setup.leftMargin = qRound(margins.left());
    setup.topMargin = qRound(margins.top());
    setup.rightMargin = qRound(margins.right());
    setup.bottomMargin = qRound(margins.bottom());
    setup.copies = std::max(printer.copyCount(), 1);
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        setup.printRange = 1;
        setup.firstPage = printer.fromPage();
        setup.lastPage = printer.toPage();
    } else {
        setup.printRange = 0;
    }
    return setup;
}

// --- Fonts -------------------------------------------------------------------------

void GridPrinter::installFontSubstitutes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Without these, a missing 宋体 falls back to a Latin font and the
        // Chinese characters to whatever CJK font comes first, often a
        // Japanese one with its own forms of shared characters.
        const QStringList serif {QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Source Han Serif SC"), QStringLiteral("AR PL UMing CN"),
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")};
        const QStringList sans {QStringLiteral("Noto Sans CJK SC"),
            QStringLiteral("Source Han Sans SC"), QStringLiteral("WenQuanYi Zen Hei"),
            QStringLiteral("Noto Serif CJK SC")};
        for (const char *name : {"宋体", "新宋体", "SimSun", "NSimSun", "仿宋", "仿宋_GB2312",
                 "FangSong", "楷体", "楷体_GB2312", "KaiTi", "隶书", "LiSu", "华文新魏", "华文行楷",
                 "华文宋体", "华文仿宋", "华文楷体"})
            QFont::insertSubstitutions(QString::fromUtf8(name), serif);
        for (const char *name : {"黑体", "SimHei", "微软雅黑", "Microsoft YaHei", "幼圆", "YouYuan",
                 "华文细黑", "华文黑体"})
            QFont::insertSubstitutions(QString::fromUtf8(name), sans);
    });
}
