#pragma once

#include "common/status.h"
#include "table/page_setup.h"

#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <functional>

class DataSource;
class QPagedPaintDevice;
class QPrinter;

// Puts a table on paper: onto a printer, a print preview or a PDF writer.
//
// The page setup decides the paper, orientation, margins, scale, page-number
// position, copies and the range of pages printed; the table decides the rest
// (widths, heights, merges, borders, formats). Every length is in tenths of a
// millimetre, as everywhere in the grid, so a table prints the same size on
// every device.
//
// Page layout:
// - The table area is the paper minus the margins. A page number takes a band
//   of twice its font height at the top or bottom: inside the margin when the
//   margin is that wide, otherwise taken from the table area.
// - Rows are laid out by height, columns by width, at the page setup's scale.
//   A table too long or too wide for one page continues on further pages,
//   which run down first, then across: pages 1..n hold the first columns of
//   every row, the next n pages the following columns, and so on. Every page
//   holds at least one row and one column (a row or column larger than the
//   page is cut off).
// - The header rows are repeated at the top of every page and the header
//   columns at the left of every page, unless they leave no room for the
//   rest; then they are printed once like any other row or column.
// - A merged range is drawn with its top-left cell's text and format. A merge
//   split across pages shows on each page the part of it that falls there, as
//   if the pages were cut from one large sheet.
// - Text is one line, clipped to its cell; borders are 0.2 mm lines whatever
//   the scale.
//
// Paper codes are the common printer paper numbers (1 Letter, 5 Legal, 8 A3,
// 9 A4, 11 A5, 12 B4, 13 B5, ...). 0 keeps the device's paper. Code 2 and
// codes we do not know print on A4: the printable table uses 2 to mean "the
// orientation follows the table's width", and an office that prints on A4
// must not get Letter for it.
//
// A print or preview that went through a printer dialog should print with
// pageSetupFrom(printer, setup), so that the user's choices in the dialog win
// over the stored page setup.
class GridPrinter
{
public:
    // Prints `source` with its own page setup.
    explicit GridPrinter(const DataSource &source);
    // Prints `source` with another page setup.
    GridPrinter(const DataSource &source, const PageSetup &setup);

    const PageSetup &pageSetup() const { return setup_; }

    // --- Paper ---------------------------------------------------------------

    // The paper of a paper code; code 0 gives `devicePaper`, or A4 when that
    // is not valid.
    static QPageSize paperSize(int paperKind, const QPageSize &devicePaper = QPageSize());
    // The paper code of a paper size, 0 when it has none.
    static int paperKind(const QPageSize &paper);
    // The page layout a page setup asks for: paper, orientation and margins in
    // millimetres (negative margins count as 0; margins that leave less than
    // 1 cm of paper between them are shrunk).
    static QPageLayout pageLayout(
        const PageSetup &setup, const QPageSize &devicePaper = QPageSize());
    // The paper's width and height minus the margins, in tenths of a
    // millimetre, for the setup's paper and orientation.
    static int printableWidth(const PageSetup &setup, const QPageSize &devicePaper = QPageSize());
    static int printableHeight(const PageSetup &setup, const QPageSize &devicePaper = QPageSize());

    // --- Pages -------------------------------------------------------------

    // The number of pages of the whole table (whatever the page range) on the
    // device's paper, or on A4 when no device is given and the setup keeps
    // the device's paper.
    int pageCount(const QPagedPaintDevice *device = nullptr) const;
    // The pages the page range selects, 1-based and clipped to the table;
    // first > last when it selects none.
    int firstPrintedPage(int pageCount) const;
    int lastPrintedPage(int pageCount) const;

    // Told before each page is painted how many of the pages to print are
    // done; false stops the print.
    using Progress = std::function<bool(int done, int total)>;

    // Prints the pages of the page range onto the device, setting its page
    // layout (and, on a printer, the copy count) from the page setup. A range
    // that selects no page prints nothing. Fails when painting cannot start
    // (no printer, or a PDF file that cannot be written). A print that
    // `progress` stops ends at once; a printer abandons the job
    // (QPrinter::abort()) where its driver can.
    Status print(QPagedPaintDevice &device, const Progress &progress = {}) const;

    // The page-number text of a page.
    static QString pageNumberText(int page);

    // --- Printers and their dialogs ----------------------------------------

    // Sets a printer's paper, orientation, margins, copies and page range from
    // the page setup, so that print and page-setup dialogs and previews start
    // from it.
    void applyTo(QPrinter &printer) const;
    // `base` with what a printer holds now (after a dialog): paper,
    // orientation, margins, copies and page range. The paper code stays when
    // the paper did not change; a paper without a code gives 0 (the printer's
    // paper).
    static PageSetup pageSetupFrom(const QPrinter &printer, const PageSetup &base);

    // --- Fonts -------------------------------------------------------------

    // Maps the Chinese font names tables use (宋体, 黑体, 楷体_GB2312...) to
    // installed Chinese fonts on systems that lack them; where a font exists it
    // is still used. Called by the constructor; idempotent.
    static void installFontSubstitutes();

private:
    const DataSource &source_;
    PageSetup setup_;
};
