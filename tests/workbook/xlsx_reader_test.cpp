#include "workbook/xlsx_reader.h"

#include "common/value_text.h"
#include "support/cell_texts.h"
#include "workbook/workbook_file.h"
#include "workbook/workbook_fixtures.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stock list fixture, with shared strings and with strings in the cells.
class XlsxReaderTest : public testing::TestWithParam<bool>
{
};

TEST_P(XlsxReaderTest, ShowsCellsAsASpreadsheetDoes)
{
    const QByteArray bytes
        = readAll(xlsxFixture(GetParam() ? "stock-inline.xlsx" : "stock-shared.xlsx"));
    ASSERT_FALSE(bytes.isEmpty());
    ASSERT_EQ(detectWorkbookFormat(bytes), WorkbookFormat::Xlsx);
    const WorkbookResult result = XlsxReader().read(bytes);
    ASSERT_TRUE(result.status) << result.status.message().toStdString();
    ASSERT_EQ(result.workbook.sheets.size(), 1);
    const WorkbookSheet &sheet = result.workbook.sheets[0];
    EXPECT_EQ(sheet.name(), QStringLiteral("库存"));

    EXPECT_TRUE(hasCellTexts(sheet,
        {{3, 2, u"螺栓"}, {3, 3, u"M12×80"}, {3, 5, u"12.5"}, {3, 6, u"0.3333333333333"},
            {3, 7, u"100"}, {3, 8, u"1e+20"}, {4, 3, u"螺栓"}, {5, 2, dateText(QDate(2011, 3, 7))},
            {5, 3, dateText(QDate(2011, 3, 7))},
            {5, 4, dateTimeText(QDateTime(QDate(2011, 3, 7), QTime(9, 5)))},
            {6, 2, valueText(QVariant(true))}, {6, 3, u"0"}, {6, 4, u"25"}, {10, 27, u"AA10"}}));
    EXPECT_EQ(sheet.cell(4, 2), WorkbookCell());
    EXPECT_EQ(sheet.cell(6, 4).formula, QStringLiteral("=E3*2"));
    EXPECT_EQ(sheet.usedRows(), 10);
    EXPECT_EQ(sheet.usedColumns(), 27);
}

INSTANTIATE_TEST_SUITE_P(SharedAndInlineStrings, XlsxReaderTest, testing::Bool());

TEST(XlsxReaderPartsTest, SheetsInOrderWithTheSavedActiveTab)
{
    const WorkbookResult result = XlsxReader().read(readAll(xlsxFixture("two-sheets.xlsx")));
    ASSERT_TRUE(result.status);
    ASSERT_EQ(result.workbook.sheets.size(), 2);
    EXPECT_EQ(result.workbook.sheets[0].name(), QStringLiteral("一"));
    EXPECT_EQ(result.workbook.sheets[0].value(3, 2), QStringLiteral("first sheet"));
    EXPECT_EQ(result.workbook.sheets[1].value(3, 2), QStringLiteral("螺栓"));
    EXPECT_EQ(result.workbook.activeSheet, 1);
}

TEST(XlsxReaderPartsTest, StringsAndCellsAsOtherWritersLayThemOut)
{
    // Rich text with a phonetic reading, an escaped line break, cells and rows
    // without positions, errors, ISO dates, formula strings, a blank cell.
    const QByteArray strings = "<si><t>plain</t></si>"
                               "<si><r><t>螺</t></r><r><rPr><b/></rPr><t>栓</t></r>"
                               "<rPh sb=\"0\" eb=\"1\"><t>luo</t></rPh></si>"
                               "<si><t>line_x000D__x000A_break</t></si>";
    const QByteArray data
        = "<row r=\"2\"><c r=\"B2\" t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c>"
          "<c t=\"s\"><v>2</v></c></row>"
          "<row><c><v>7</v></c><c t=\"e\"><v>#DIV/0!</v></c><c t=\"str\"><f>A1&amp;\"x\"</f>"
          "<v>ax</v></c><c t=\"d\"><v>2011-03-07T00:00:00</v></c><c t=\"s\"><v>99</v></c>"
          "<c t=\"inlineStr\"><is><t>inline</t></is></c><c r=\"H3\" s=\"0\"/></row>";
    const WorkbookResult result = XlsxReader().read(makeXlsxPackage({data}, strings));
    ASSERT_TRUE(result.status) << result.status.message().toStdString();
    const WorkbookSheet &sheet = result.workbook.sheets[0];
    EXPECT_TRUE(hasCellTexts(sheet,
        {{2, 2, u"plain"}, {2, 3, u"螺栓"}, {2, 4, u"line\r\nbreak"}, {3, 1, u"7"},
            {3, 2, u"#DIV/0!"}, {3, 3, u"ax"}, {3, 4, dateText(QDate(2011, 3, 7))}}));
    EXPECT_EQ(sheet.cell(3, 3).formula, QStringLiteral("=A1&\"x\""));
    EXPECT_EQ(sheet.value(3, 5), QString()); // a string index past the table
    EXPECT_EQ(sheet.value(3, 6), QStringLiteral("inline"));
    EXPECT_EQ(sheet.cellCount(), 8);
}

TEST(XlsxReaderPartsTest, StylesAnd1904DatesDecideDateTexts)
{
    const QByteArray styles
        = "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
          "<numFmts><numFmt numFmtId=\"164\" "
          "formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
          "<numFmt numFmtId=\"165\" formatCode=\"0.0&quot;d&quot;\"/></numFmts>"
          "<cellStyleXfs><xf numFmtId=\"14\"/></cellStyleXfs>"
          "<cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
          "<xf numFmtId=\"31\"/><xf numFmtId=\"20\"/></cellXfs></styleSheet>";
    const QByteArray data = "<row r=\"1\"><c s=\"0\"><v>40609</v></c><c s=\"1\"><v>40609</v></c>"
                            "<c s=\"2\"><v>1.5</v></c><c s=\"3\"><v>0</v></c>"
                            "<c s=\"4\"><v>0.75</v></c><c s=\"99\"><v>2</v></c></row>";
    const WorkbookResult result = XlsxReader().read(makeXlsxPackage(
        {data}, {}, "<workbookPr date1904=\"1\"/>", {{QStringLiteral("xl/styles.xml"), styles}}));
    ASSERT_TRUE(result.status) << result.status.message().toStdString();
    const WorkbookSheet &sheet = result.workbook.sheets[0];
    EXPECT_EQ(sheet.value(1, 1), QStringLiteral("40609"));
    EXPECT_EQ(sheet.value(1, 2), dateText(QDate(1904, 1, 1).addDays(40609)));
    EXPECT_EQ(sheet.value(1, 3), QStringLiteral("1.5")); // quoted "d" is no day
    EXPECT_EQ(sheet.value(1, 4), dateText(QDate(1904, 1, 1)));
    EXPECT_EQ(sheet.value(1, 5), QStringLiteral("18:00:00"));
    EXPECT_EQ(sheet.value(1, 6), QStringLiteral("2")); // a style that does not exist
}

TEST(XlsxReaderPartsTest, SerialDaysBecomeDatesOfThe1900System)
{
    using Kind = XlsxReader::DateKind;
    EXPECT_EQ(XlsxReader::serialText(40609, Kind::Date, false), dateText(QDate(2011, 3, 7)));
    EXPECT_EQ(XlsxReader::serialText(1, Kind::Date, false), dateText(QDate(1900, 1, 1)));
    EXPECT_EQ(XlsxReader::serialText(59, Kind::Date, false), dateText(QDate(1900, 2, 28)));
    EXPECT_EQ(XlsxReader::serialText(61, Kind::Date, false), dateText(QDate(1900, 3, 1)));
    EXPECT_EQ(XlsxReader::serialText(40609.5, Kind::DateTime, false),
        dateTimeText(QDateTime(QDate(2011, 3, 7), QTime(12, 0))));
    // A fraction that rounds to the next midnight is the next day.
    EXPECT_EQ(
        XlsxReader::serialText(40609.9999999, Kind::DateTime, false), dateText(QDate(2011, 3, 8)));
    EXPECT_EQ(XlsxReader::serialText(0.25, Kind::Time, false), QStringLiteral("06:00:00"));
    EXPECT_EQ(XlsxReader::serialText(-1, Kind::Date, false), QStringLiteral("-1"));
    EXPECT_EQ(XlsxReader::serialText(3e6, Kind::Date, false), QStringLiteral("3000000"));
    EXPECT_EQ(XlsxReader::serialText(40609.5, Kind::None, false), QStringLiteral("40609.5"));
}

TEST(XlsxReaderPartsTest, FormatCodesAndBuiltInsTellDatesFromNumbers)
{
    using Kind = XlsxReader::DateKind;
    const std::pair<const char *, Kind> codes[]
        = {{"yyyy/m/d", Kind::Date}, {"m\"月\"d\"日\"", Kind::Date}, {"mmm", Kind::Date},
            {"h:mm", Kind::Time}, {"[h]:mm:ss", Kind::Time}, {"yyyy-mm-dd hh:mm", Kind::DateTime},
            {"[$-804]yyyy\"年\"m\"月\"", Kind::Date}, {"General", Kind::None}, {"0.00", Kind::None},
            {"#,##0 \"天\"", Kind::None}, {"0\\d", Kind::None}, {"[Red]0.00", Kind::None},
            {"0.00;[Red]-0.00", Kind::None}, {"_-* #,##0_-", Kind::None}, {"0;\"d\"", Kind::None},
            {"@", Kind::None}};
    for (const auto &[code, kind] : codes)
        EXPECT_EQ(XlsxReader::formatCodeKind(QString::fromUtf8(code)), kind) << code;
    EXPECT_EQ(XlsxReader::builtInKind(14), Kind::Date);
    EXPECT_EQ(XlsxReader::builtInKind(22), Kind::DateTime);
    EXPECT_EQ(XlsxReader::builtInKind(20), Kind::Time);
    EXPECT_EQ(XlsxReader::builtInKind(31), Kind::Date); // the Chinese 年月日
    EXPECT_EQ(XlsxReader::builtInKind(0), Kind::None);
    EXPECT_EQ(XlsxReader::builtInKind(2), Kind::None);
    EXPECT_EQ(XlsxReader::builtInKind(49), Kind::None);
}

TEST(XlsxReaderLimitsTest, DamagedArchivesFailWithAReason)
{
    const QByteArray good = makeXlsxPackage({"<row r=\"1\"><c><v>1</v></c></row>"});
    ASSERT_TRUE(XlsxReader().read(good).status);

    QList<QByteArray> damaged
        = {good.left(good.size() / 2), QByteArray("PK\x03\x04garbage"), QByteArray()};
    QByteArray flipped = good; // a deflated part with its bytes spoilt: CRC or inflate fails
    for (qsizetype i = 40; i < 200; ++i)
        flipped[i] = char(flipped[i] ^ 0x5A);
    damaged.append(flipped);
    for (const QByteArray &bytes : damaged) {
        const WorkbookResult result = XlsxReader().read(bytes);
        EXPECT_FALSE(result.status);
        EXPECT_FALSE(result.status.message().isEmpty());
    }

    const WorkbookResult noWorkbook
        = XlsxReader().read(makeZip({{QStringLiteral("word/document.xml"), "<w/>"}}));
    EXPECT_FALSE(noWorkbook.status);
    EXPECT_TRUE(noWorkbook.status.message().contains(QStringLiteral("xl/workbook.xml")));

    const WorkbookResult badXml = XlsxReader().read(makeXlsxPackage({"<row><c><v>1</row>"}));
    EXPECT_FALSE(badXml.status);

    // Entity declarations have no place in a workbook and are refused.
    const QByteArray withDtd = makeZip({{QStringLiteral("xl/workbook.xml"),
        "<!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\">]><workbook><sheets/></workbook>"}});
    EXPECT_FALSE(XlsxReader().read(withDtd).status);
}

TEST(XlsxReaderLimitsTest, EntryCountAndInflatedSizeAreCapped)
{
    ZipEntries entries;
    for (int i = 0; i < 6; ++i)
        entries.append({QStringLiteral("junk/%1").arg(i), "x"});
    const QByteArray manyEntries = makeXlsxPackage({"<row/>"}, {}, {}, entries);
    EXPECT_TRUE(XlsxReader().read(manyEntries).status);
    const WorkbookResult refused = XlsxReader({64 * 1024 * 1024, 8}).read(manyEntries);
    EXPECT_FALSE(refused.status);
    EXPECT_TRUE(refused.status.message().contains(QStringLiteral("条目过多")));

    // 200 KiB of cells deflate to little; the budget counts what they inflate to.
    QByteArray rows;
    for (int i = 1; i <= 4000; ++i)
        rows += "<row r=\"" + QByteArray::number(i) + "\"><c><v>1234567890</v></c></row>";
    const QByteArray big = makeXlsxPackage({rows});
    ASSERT_LT(big.size(), 64 * 1024);
    EXPECT_TRUE(XlsxReader().read(big).status);
    const WorkbookResult tooBig = XlsxReader({100 * 1024, 1000}).read(big);
    EXPECT_FALSE(tooBig.status);
    EXPECT_TRUE(tooBig.status.message().contains(QStringLiteral("过大")));
}

TEST(XlsxReaderLimitsTest, ClaimedSizesAreCheckedAndNotTrusted)
{
    const QByteArray sheet = "<row r=\"1\"><c><v>1</v></c></row>";
    const QString sheetPart = QStringLiteral("xl/worksheets/sheet1.xml");

    // An entry claiming to inflate to nearly 4 GiB is refused before reading.
    QByteArray huge = makeXlsxPackage({sheet});
    claimUncompressedSize(huge, sheetPart, 0xFFFFFFF0u);
    const WorkbookResult refused = XlsxReader().read(huge);
    EXPECT_FALSE(refused.status);
    EXPECT_TRUE(refused.status.message().contains(QStringLiteral("过大")));

    // One claiming less than it holds is not read past its claim: the part
    // comes out cut short and fails its checksum.
    QByteArray understated = makeXlsxPackage({sheet});
    claimUncompressedSize(understated, sheetPart, 10);
    EXPECT_FALSE(XlsxReader().read(understated).status);
}

} // namespace
