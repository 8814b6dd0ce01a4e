#pragma once

#include <QString>
#include <QtGlobal>

// How one cell looks. Lengths and font sizes are in tenths of a millimetre, so
// a table prints the same on every printer and scales on screen with the
// screen's resolution.
struct CellFormat
{
    // Alignment codes number the nine positions in reading order: 1 top left,
    // 2 top centre, 3 top right, 4 middle left, 5 centre, 6 middle right,
    // 7 bottom left, 8 bottom centre, 9 bottom right.
    enum Alignment { TopLeft = 1, MiddleLeft = 4, Centre = 5, MiddleRight = 6 };
    // Style bits.
    enum Style { Bold = 1, Italic = 2, Underline = 4, StrikeOut = 8 };
    // Colours are 0xBBGGRR (red in the low byte).
    static constexpr quint32 black = 0x000000;
    static constexpr quint32 white = 0xFFFFFF;
    static constexpr int maxFontNameBytes = 30; // in GBK bytes

    int alignment = MiddleLeft;
    quint32 textColor = black;
    quint32 background = white;
    QString fontName = QStringLiteral("宋体");
    int fontSize = 32; // 9 points
    int style = 0;

    friend bool operator==(const CellFormat &, const CellFormat &) = default;
};

// Colour helpers for the 0xBBGGRR form.
constexpr quint32 rgbColor(int red, int green, int blue)
{
    return quint32(red & 0xFF) | quint32(green & 0xFF) << 8 | quint32(blue & 0xFF) << 16;
}

// A rectangle of cells, 1-based.
struct CellRange
{
    int row = 1;
    int column = 1;
    int rows = 1;
    int columns = 1;

    int lastRow() const { return row + rows - 1; }
    int lastColumn() const { return column + columns - 1; }
    bool contains(int r, int c) const
    {
        return r >= row && r <= lastRow() && c >= column && c <= lastColumn();
    }
    bool intersects(const CellRange &o) const
    {
        return row <= o.lastRow() && o.row <= lastRow() && column <= o.lastColumn()
            && o.column <= lastColumn();
    }
    friend bool operator==(const CellRange &, const CellRange &) = default;
};

// Border bits over a range.
enum BorderFlag {
    BorderLeft = 1,
    BorderTop = 2,
    BorderRight = 4,
    BorderBottom = 8,
    BorderInnerVertical = 16,
    BorderInnerHorizontal = 32,
    BorderOutline = 15,
    BorderAll = 63,
};

// The lines drawn around one cell, as the bits BorderLeft..BorderBottom.
using CellEdges = quint8;
