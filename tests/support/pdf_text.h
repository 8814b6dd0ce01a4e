#pragma once

#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

// Reads back the PDFs that printing tests write, with the poppler tools
// (pdfinfo, pdftotext, pdftoppm). Texts come back NFKC-normalised, with the
// common simplified-form radicals mapped back too: CJK fonts share glyphs
// between characters and radicals, and the PDF then names the radical.
namespace PdfText {

// Whether the poppler tools are installed.
bool available();

// The size of every page, in points; empty when the file cannot be read.
QList<QSizeF> pageSizes(const QString &pdf);

// The text of every page, laid out as on the page.
QStringList pages(const QString &pdf);

// One word as pdftotext finds it, with its box in points from the page's
// top-left corner. Pages are 1-based.
struct Word
{
    int page = 0;
    QRectF box;
    QString text;
};
QList<Word> words(const QString &pdf);

// One page rendered at `dpi`; a null image on failure.
QImage render(const QString &pdf, int page, int dpi);

// Points on paper from tenths of a millimetre.
inline double points(double units)
{
    return units * 72.0 / 254.0;
}

} // namespace PdfText
