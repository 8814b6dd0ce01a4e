#include "grid/grid_format.h"

#include <QtMath>

#include <algorithm>

QColor cellColor(quint32 bgr)
{
    return QColor(int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF));
}

Qt::Alignment cellAlignment(int code)
{
    if (code < 1 || code > 9)
        code = CellFormat::MiddleLeft;
    static constexpr Qt::Alignment vertical[] = {Qt::AlignTop, Qt::AlignVCenter, Qt::AlignBottom};
    static constexpr Qt::Alignment horizontal[] = {Qt::AlignLeft, Qt::AlignHCenter, Qt::AlignRight};
    return vertical[(code - 1) / 3] | horizontal[(code - 1) % 3];
}

void applyCellStyle(QFont &font, int style)
{
    font.setBold(style & CellFormat::Bold);
    font.setItalic(style & CellFormat::Italic);
    font.setUnderline(style & CellFormat::Underline);
    font.setStrikeOut(style & CellFormat::StrikeOut);
}

QFont cellFont(const CellFormat &format, double pixelsPerUnit)
{
    QFont font(format.fontName);
    font.setPixelSize(std::max(1, qRound(format.fontSize * pixelsPerUnit)));
    applyCellStyle(font, format.style);
    return font;
}
