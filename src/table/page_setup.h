#pragma once

#include <QString>

// How a table goes onto paper. Lengths are in tenths of a millimetre.
struct PageSetup
{
    // Page-number positions.
    enum PageNumberPosition {
        NoPageNumber = 0,
        TopLeft,
        TopCentre,
        TopRight,
        BottomLeft,
        BottomCentre,
        BottomRight,
    };

    int paperKind = 0; // 0 the printer's default paper, else a paper code (9 A4, 8 A3, 11 A5...)
    int orientation = 0; // 0 portrait, 1 landscape
    int leftMargin = 230;
    int topMargin = 230;
    int rightMargin = 230;
    int bottomMargin = 230;
    int pageNumberPosition = NoPageNumber;
    int copies = 1;
    int reserved1 = 1;
    int reserved2 = 0;
    QString text;
    int reserved3 = 0;
    int reserved4 = 0;
    int reserved5 = 0;
    int printRange = 0; // 0 all pages, 1 the pages firstPage..lastPage
    int firstPage = 1;
    int lastPage = 0; // 0: to the end
    int options = 0;
    int scale = 100; // per cent; 0 means 100

    friend bool operator==(const PageSetup &, const PageSetup &) = default;
};
