#pragma once

#include "table/cell_format.h"

#include <QColor>
#include <QFont>
#include <Qt>

// How a cell format turns into Qt's terms, shared by the screen and paper
// renderers. Font sizes are in tenths of a millimetre; `pixelsPerUnit` is the
// number of device pixels one tenth of a millimetre takes (dpi / 254, times the
// zoom on screen).

// 0xBBGGRR to a colour.
QColor cellColor(quint32 bgr);

// Alignment codes 1..9 (reading order) to Qt flags; anything else is 4, middle left.
Qt::Alignment cellAlignment(int code);

// Sets bold, italic, underline and strike-out from the style bits.
void applyCellStyle(QFont &font, int style);

// The font of a format at a scale: family, pixel size (at least 1) and the
// style bits bold, italic, underline and strike-out.
QFont cellFont(const CellFormat &format, double pixelsPerUnit);
