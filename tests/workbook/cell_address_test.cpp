#include "workbook/cell_address.h"

#include <gtest/gtest.h>

TEST(CellAddressTest, ColumnLettersAndNumbersRoundTrip)
{
    const std::pair<const char *, int> known[] = {{"A", 1}, {"Z", 26}, {"AA", 27}, {"AZ", 52},
        {"BA", 53}, {"ZZ", 702}, {"AAA", 703}, {"XFD", 16384}};
    for (const auto &[letters, number] : known) {
        EXPECT_EQ(A1::columnNumber(QString::fromLatin1(letters)), number) << letters;
        EXPECT_EQ(A1::columnLetters(number), QString::fromLatin1(letters)) << number;
    }
    EXPECT_EQ(A1::columnNumber(u"aa"), 27);
    // Past the last column, and what is no column at all.
    EXPECT_EQ(A1::columnNumber(u"XFE"), 0);
    EXPECT_EQ(A1::columnNumber(u"AAAA"), 0);
    EXPECT_EQ(A1::columnNumber(u""), 0);
    EXPECT_EQ(A1::columnNumber(u"A1"), 0);
    EXPECT_EQ(A1::columnNumber(u"Ä"), 0);
    EXPECT_TRUE(A1::columnLetters(0).isEmpty());
    EXPECT_TRUE(A1::columnLetters(16385).isEmpty());
    for (int column = 1; column <= 16384; column += 37)
        ASSERT_EQ(A1::columnNumber(A1::columnLetters(column)), column);
}

TEST(CellAddressTest, CellsParseWithAbsoluteMarksAndAnyCase)
{
    EXPECT_EQ(A1::parseCell(u"B3"), (CellAddress {3, 2}));
    EXPECT_EQ(A1::parseCell(u"AA10"), (CellAddress {10, 27}));
    EXPECT_EQ(A1::parseCell(u"h502"), (CellAddress {502, 8}));
    EXPECT_EQ(A1::parseCell(u"$C$7"), (CellAddress {7, 3}));
    EXPECT_EQ(A1::parseCell(u" XFD1048576 "), (CellAddress {1048576, 16384}));
    for (const char16_t *bad : {u"", u"B", u"3", u"3B", u"B0", u"B-1", u"B3x", u"B 3", u"B1048577",
             u"XFE1", u"B99999999999", u"$$B3"})
        EXPECT_FALSE(A1::parseCell(bad)) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(A1::cellText({10, 27}), QStringLiteral("AA10"));
}

TEST(CellAddressTest, RangesAreOrderedAndMayBeWholeRowsOrColumns)
{
    const auto range = A1::parseRange(u"C4:A2");
    ASSERT_TRUE(range);
    EXPECT_EQ(range->first, (CellAddress {2, 1}));
    EXPECT_EQ(range->last, (CellAddress {4, 3}));
    EXPECT_EQ(range->rows(), 3);
    EXPECT_EQ(range->columns(), 3);

    EXPECT_EQ(A1::parseRange(u"B3")->last, (CellAddress {3, 2}));

    const auto columns = A1::parseRange(u"$C:B");
    ASSERT_TRUE(columns);
    EXPECT_EQ(columns->first, (CellAddress {1, 2}));
    EXPECT_EQ(columns->last, (CellAddress {1048576, 3}));

    const auto rows = A1::parseRange(u"5:3");
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->first, (CellAddress {3, 1}));
    EXPECT_EQ(rows->last, (CellAddress {5, 16384}));

    for (const char16_t *bad : {u"A1:", u":B2", u"A1:B", u"0:3", u"A:3", u"A1:B2:C3"})
        EXPECT_FALSE(A1::parseRange(bad)) << QString::fromUtf16(bad).toStdString();
}
