#include "grid/grid_printer.h"

#include "printed_tables.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPrinter>

#include <gtest/gtest.h>

// --- Paper and printable area ----------------------------------------------------------

TEST(GridPrinterPaper, PrintableAreaIsThePaperMinusTheMargins)
{
    PageSetup a4 = setupWith(50);
    a4.paperKind = 9;
    EXPECT_EQ(GridPrinter::printableWidth(a4), 2100 - 100);
    EXPECT_EQ(GridPrinter::printableHeight(a4), 2970 - 100);
    a4.orientation = 1;
    EXPECT_EQ(GridPrinter::printableWidth(a4), 2970 - 100);
    EXPECT_EQ(GridPrinter::printableHeight(a4), 2100 - 100);

    PageSetup uneven = setupWith(0);
    uneven.paperKind = 8; // A3
    uneven.leftMargin = 150;
    uneven.topMargin = 170;
    uneven.bottomMargin = 180;
    EXPECT_EQ(GridPrinter::printableWidth(uneven), 2970 - 150);
    EXPECT_EQ(GridPrinter::printableHeight(uneven), 4200 - 170 - 180);

    // Margins outside the paper: none below 0, and at least 1 cm left between.
    PageSetup odd = setupWith(-30);
    EXPECT_EQ(GridPrinter::printableWidth(odd), 2100);
    odd.leftMargin = odd.rightMargin = 1500;
    EXPECT_EQ(GridPrinter::printableWidth(odd), 100);
    const QMarginsF shrunk = GridPrinter::pageLayout(odd).margins(QPageLayout::Millimeter);
    EXPECT_NEAR(shrunk.left() + shrunk.right(), 200.0, 0.01);
}

TEST(GridPrinterPaper, PaperCodesNameTheirPaper)
{
    PageSetup setup = setupWith(50);
    setup.paperKind = 1; // Letter, 215.9 mm wide
    EXPECT_EQ(GridPrinter::printableWidth(setup), 2159 - 100);
    setup.paperKind = 11; // A5
    EXPECT_EQ(GridPrinter::printableHeight(setup), 2100 - 100);

    // 0 keeps the device's paper, A4 when there is none.
    setup.paperKind = 0;
    EXPECT_EQ(GridPrinter::printableWidth(setup), 2100 - 100);
    EXPECT_EQ(GridPrinter::printableWidth(setup, QPageSize(QPageSize::Letter)), 2159 - 100);
    // The printable table's mode 2 and unknown codes print on A4, whatever the device.
    for (int kind : {2, 9999, -4}) {
        setup.paperKind = kind;
        EXPECT_EQ(GridPrinter::printableWidth(setup, QPageSize(QPageSize::Letter)), 2100 - 100)
            << kind;
    }

    EXPECT_EQ(GridPrinter::paperKind(QPageSize(QPageSize::A5)), 11);
    EXPECT_EQ(GridPrinter::paperKind(QPageSize(QPageSize::A3)), 8);
    EXPECT_EQ(GridPrinter::paperKind(QPageSize()), 0);
}

TEST(GridPrinterPaper, PrintersStartFromThePageSetupAndGiveBackTheUsersChoices)
{
    DataSource t;
    fillList(t, 197, 5);
    PageSetup setup = setupWith(0, PageSetup::BottomCentre);
    setup.paperKind = 8; // A3
    setup.orientation = 1;
    setup.leftMargin = 120;
    setup.topMargin = 130;
    setup.rightMargin = 140;
    setup.bottomMargin = 150;
    setup.copies = 3;
    setup.printRange = 1;
    setup.firstPage = 2;
    setup.lastPage = 0; // to the end
    const GridPrinter printer(t, setup);

    QPrinter device(QPrinter::HighResolution);
    device.setOutputFormat(QPrinter::PdfFormat);
    printer.applyTo(device);
    const QPageLayout layout = device.pageLayout();
    EXPECT_EQ(layout.pageSize().id(), QPageSize::A3);
    EXPECT_EQ(layout.orientation(), QPageLayout::Landscape);
    const QMarginsF margins = layout.margins(QPageLayout::Millimeter);
    EXPECT_NEAR(margins.left(), 12.0, 0.01);
    EXPECT_NEAR(margins.top(), 13.0, 0.01);
    EXPECT_NEAR(margins.right(), 14.0, 0.01);
    EXPECT_NEAR(margins.bottom(), 15.0, 0.01);
    EXPECT_EQ(device.copyCount(), 3);
    const int count = printer.pageCount(&device);
    ASSERT_GE(count, 2);
    EXPECT_EQ(device.printRange(), QPrinter::PageRange);
    EXPECT_EQ(device.fromPage(), 2);
    EXPECT_EQ(device.toPage(), count);

    // Untouched, the printer gives the same setup back (the open end now closed).
    PageSetup back = GridPrinter::pageSetupFrom(device, setup);
    PageSetup expected = setup;
    expected.lastPage = count;
    EXPECT_EQ(back, expected);

    // The user picks A5 portrait and all pages in a dialog.
    device.setPageSize(QPageSize(QPageSize::A5));
    device.setPageOrientation(QPageLayout::Portrait);
    device.setPrintRange(QPrinter::AllPages);
    device.setCopyCount(2);
    back = GridPrinter::pageSetupFrom(device, setup);
    EXPECT_EQ(back.paperKind, 11);
    EXPECT_EQ(back.orientation, 0);
    EXPECT_EQ(back.printRange, 0);
    EXPECT_EQ(back.copies, 2);
    EXPECT_EQ(back.pageNumberPosition, PageSetup::BottomCentre) << "fields printers lack stay";

    // Codes that stand for the printer's paper survive a dialog that kept it.
    for (int kind : {0, 2}) {
        PageSetup keep = setupWith(100);
        keep.paperKind = kind;
        QPrinter a4(QPrinter::HighResolution);
        a4.setOutputFormat(QPrinter::PdfFormat);
        a4.setPageSize(QPageSize(QPageSize::A4));
        GridPrinter(t, keep).applyTo(a4);
        EXPECT_EQ(GridPrinter::pageSetupFrom(a4, keep).paperKind, kind);
    }
}

// Where 宋体 is missing, font matching alone picks a Latin font and takes the
// Chinese characters from whichever CJK font comes first, often a Japanese one
// with its own forms of shared characters. The font matched for a Chinese
// name must itself be a Chinese font.
TEST(GridPrinterFonts, ChineseFontNamesMatchAChineseFont)
{
    GridPrinter::installFontSubstitutes();
    for (const char *name : {"宋体", "黑体", "仿宋_GB2312", "楷体_GB2312", "隶书"}) {
        const QString family = QFontInfo(QFont(QString::fromUtf8(name))).family();
        EXPECT_TRUE(
            QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese))
            << name << " matched " << family.toStdString();
    }
}

// --- Pages of a long table ---------------------------------------------------------
