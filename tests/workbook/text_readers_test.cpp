#include "workbook/csv_reader.h"
#include "workbook/html_table_reader.h"
#include "workbook/spreadsheet_xml_reader.h"
#include "workbook/workbook_file.h"

#include "common/gbk.h"
#include "common/value_text.h"
#include "support/cell_texts.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

WorkbookSheet onlySheet(const WorkbookResult &result)
{
    EXPECT_TRUE(result.status) << result.status.message().toStdString();
    EXPECT_EQ(result.workbook.sheets.size(), 1);
    return result.workbook.sheets.value(0);
}

TEST(CsvReaderTest, DecodesUtf8WithOrWithoutBomAndElseGbk)
{
    const QString text = QStringLiteral("品名,规格\r\n螺栓,M12\r\n");
    const QByteArray encodings[]
        = {text.toUtf8(), "\xEF\xBB\xBF" + text.toUtf8(), Gbk::encode(text)};
    for (const QByteArray &bytes : encodings) {
        const WorkbookSheet sheet = onlySheet(readCsv(bytes));
        EXPECT_EQ(sheet.value(1, 1), QStringLiteral("品名"));
        EXPECT_EQ(sheet.value(2, 2), QStringLiteral("M12"));
        EXPECT_EQ(sheet.usedRows(), 2); // the last line end adds no row
    }
}

TEST(CsvReaderTest, QuotedFieldsHoldSeparatorsLineBreaksAndQuotes)
{
    const QByteArray csv = "a,\"b,c\",\"say \"\"hi\"\"\"\n"
                           "\"two\r\nlines\",,x\r\n"
                           "\n"
                           ",\"\",last\n"
                           "unquoted \"inside\",\"open at end";
    const WorkbookSheet sheet = onlySheet(readCsv(csv));
    EXPECT_TRUE(hasCellTexts(sheet,
        {{1, 1, u"a"}, {1, 2, u"b,c"}, {1, 3, u"say \"hi\""}, {2, 1, u"two\r\nlines"},
            {2, 3, u"x"}}));
    EXPECT_EQ(sheet.cell(2, 2), WorkbookCell());
    // CR LF after "x" ends row 2; the blank line is row 3 and stays empty.
    EXPECT_TRUE(hasCellTexts(
        sheet, {{4, 3, u"last"}, {5, 1, u"unquoted \"inside\""}, {5, 2, u"open at end"}}));
    EXPECT_EQ(sheet.cellCount(), 8);
}

TEST(CsvReaderTest, TabSeparatedTextIsRecognised)
{
    const WorkbookSheet sheet = onlySheet(readCsv("名\t规格\n螺栓, 大\tM12\n"));
    EXPECT_EQ(sheet.value(2, 1), QStringLiteral("螺栓, 大"));
    EXPECT_EQ(sheet.value(2, 2), QStringLiteral("M12"));
}

// A file as our spreadsheet export writes it: GBK, a head full of comments and
// styles, one row per line, "<" written unescaped by older versions.
QByteArray exportedHtml()
{
    const QString html = QStringLiteral(
        "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"\r\n"
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
        "xmlns=\"http://www.w3.org/TR/REC-html40\">\r\n\r\n<head>\r\n"
        "<meta http-equiv=Content-Type content=\"text/html; charset=GB2312\">\r\n"
        "<!--[if gte mso 9]><xml>\r\n <o:DocumentProperties><o:Author>x</o:Author>\r\n"
        "</o:DocumentProperties></xml><![endif]-->\r\n"
        "<style>\r\n<!--table\r\n\t{mso-displayed-decimal-separator:\"\\.\";}\r\n"
        "td\r\n\t{mso-style-parent:style0;}\r\n.xl24\r\n\t{font-family:\"Times New Roman\", "
        "serif;}\r\n"
        "-->\r\n</style>\r\n</head>\r\n\r\n<body link=blue vlink=purple>\r\n\r\n"
        "<table x:str border=0 cellpadding=0 cellspacing=0 width=288 style='border-collapse:\r\n"
        " collapse;table-layout:fixed;width:216pt'>\r\n <col width=72 span=3 "
        "style='width:54pt'>\r\n\r\n"
        " <tr height=21 style='mso-height-source:userset;height:15.75pt'>\r\n"
        "  <td height=21 width=72 style='height:15.75pt;width:54pt'>品名</td>\r\n"
        "  <td width=72 style='width:54pt'>数量</td>\r\n"
        "  <td width=72 style='width:54pt'>备注</td>\r\n </tr>\r\n"
        " <tr height=21 style='height:15.75pt'>\r\n"
        "  <td height=21 class=xl24 style='height:15.75pt'>螺栓 &amp; 螺母</td>\r\n"
        "  <td class=xl24 align=right x:num>12.5</td>\r\n"
        "  <td class=xl24>x<y & 5>3</td>\r\n </tr>\r\n"
        "</table>\r\n</body>\r\n</html>\r\n");
    return Gbk::encode(html);
}

TEST(HtmlTableReaderTest, ReadsOurExportedSpreadsheetFiles)
{
    const QByteArray bytes = exportedHtml();
    ASSERT_EQ(detectWorkbookFormat(bytes), WorkbookFormat::Html);
    const WorkbookSheet sheet = onlySheet(readHtmlTable(bytes));
    EXPECT_TRUE(hasCellTexts(sheet,
        {{1, 1, u"品名"}, {1, 3, u"备注"}, {2, 1, u"螺栓 & 螺母"}, {2, 2, u"12.5"},
            {2, 3, u"x<y & 5>3"}}));
    EXPECT_EQ(sheet.cellCount(), 6);
}

TEST(HtmlTableReaderTest, SpansBreaksEntitiesAndUnclosedCells)
{
    const QByteArray html = "\xEF\xBB\xBF<table><tr><th colspan=\"2\">A  <b>bold</b>\n text</th>"
                            "<td>after span</td></tr>"
                            "<tr><td>one<br>two &lt;&#65;&#x4E2D;&nbsp;&bogus; &#0;</td>"
                            "<td>no end<tr><td><!-- <td>hidden</td> -->shown</td></tr>"
                            "<script>var s = '<td>x</td>';</script></table>";
    const WorkbookSheet sheet = onlySheet(readHtmlTable(html));
    EXPECT_TRUE(hasCellTexts(sheet,
        {{1, 1, u"A bold text"}, {1, 2, u""}, {1, 3, u"after span"},
            {2, 1, QStringLiteral("one\ntwo <A中 &bogus; ") + QChar(0xFFFD)}, {2, 2, u"no end"},
            {3, 1, u"shown"}}));
    EXPECT_EQ(sheet.cellCount(), 5);
    // Characters beyond the BMP; code points that are none become U+FFFD.
    EXPECT_EQ(decodeHtmlEntities(u"&#x1F600;&#xD800;&#1114112;&#12345678901;"),
        QString::fromUtf8("\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD&#12345678901;"));
}

TEST(SpreadsheetXmlReaderTest, ReadsRowsAndCellsWithIndexesAndMerges)
{
    const QByteArray xml
        = "<?xml version=\"1.0\"?>\n<?mso-application progid=\"Excel.Sheet\"?>\n"
          "<Workbook xmlns=\"urn:schemas-microsoft-com:office:spreadsheet\" "
          "xmlns:ss=\"urn:schemas-microsoft-com:office:spreadsheet\">"
          "<Worksheet ss:Name=\"库存\"><Table>"
          "<Row ss:Index=\"3\"><Cell ss:Index=\"2\"><Data ss:Type=\"String\">螺栓</Data></Cell>"
          "<Cell ss:MergeAcross=\"1\"><Data ss:Type=\"Number\">12.50</Data></Cell>"
          "<Cell><Data ss:Type=\"Boolean\">1</Data></Cell></Row>"
          "<Row><Cell ss:Formula=\"=R3C3*2\"><Data ss:Type=\"Number\">25</Data></Cell>"
          "<Cell><Data ss:Type=\"DateTime\">2011-03-07T00:00:00.000</Data></Cell></Row>"
          "</Table></Worksheet><Worksheet ss:Name=\"二\"/></Workbook>";
    ASSERT_EQ(detectWorkbookFormat(xml), WorkbookFormat::SpreadsheetXml);
    const WorkbookResult result = readSpreadsheetXml(xml);
    ASSERT_TRUE(result.status) << result.status.message().toStdString();
    ASSERT_EQ(result.workbook.sheets.size(), 2);
    const WorkbookSheet &sheet = result.workbook.sheets[0];
    EXPECT_EQ(sheet.name(), QStringLiteral("库存"));
    EXPECT_EQ(sheet.value(3, 2), QStringLiteral("螺栓"));
    EXPECT_EQ(sheet.value(3, 3), QStringLiteral("12.5"));
    EXPECT_EQ(sheet.value(3, 5), valueText(QVariant(true))); // after the merge over D
    EXPECT_EQ(sheet.cell(4, 1), (WorkbookCell {QStringLiteral("25"), QStringLiteral("=R3C3*2")}));
    EXPECT_EQ(sheet.value(4, 2), dateText(QDate(2011, 3, 7)));
    EXPECT_EQ(result.workbook.sheets[1].name(), QStringLiteral("二"));
}

TEST(WorkbookFileTest, ContentsNotNamesChooseTheReader)
{
    EXPECT_EQ(detectWorkbookFormat("PK\x03\x04"), WorkbookFormat::Xlsx);
    EXPECT_EQ(detectWorkbookFormat("PK001,螺栓\n"), WorkbookFormat::Csv);
    EXPECT_EQ(detectWorkbookFormat("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1rest"), WorkbookFormat::Xls);
    EXPECT_EQ(detectWorkbookFormat("\xD0\xCF\x11\xE0"), WorkbookFormat::Csv);
    EXPECT_EQ(detectWorkbookFormat("\xEF\xBB\xBF \r\n<html>"), WorkbookFormat::Html);
    EXPECT_EQ(detectWorkbookFormat("<?xml version=\"1.0\"?><html><table>"), WorkbookFormat::Html);
    EXPECT_EQ(detectWorkbookFormat("a,<b>"), WorkbookFormat::Csv);
}

TEST(WorkbookFileTest, BinaryFilesAreNotReadAsText)
{
    QByteArray random(4096, Qt::Uninitialized);
    QRandomGenerator generator(20110307);
    for (char &c : random)
        c = char(generator.bounded(256));
    random[0] = 'x'; // no magic number of any format
    const WorkbookResult result = readWorkbookData(random);
    EXPECT_FALSE(result.status);
    EXPECT_FALSE(result.status.message().isEmpty());
    EXPECT_FALSE(readWorkbookData(QByteArray("<html>\0<table>", 14)).status);
    // UTF-16 text is full of NULs and still text.
    const QString text = QStringLiteral("品名\t数量\r\n螺栓\t3\r\n");
    QByteArray utf16("\xFF\xFE");
    utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    const WorkbookSheet sheet = onlySheet(readWorkbookData(utf16));
    EXPECT_EQ(sheet.value(2, 1), QStringLiteral("螺栓"));
    EXPECT_EQ(sheet.value(2, 2), QStringLiteral("3"));
}

TEST(WorkbookFileTest, Utf16FilesAreReadAsUtf16)
{
    // As spreadsheet programs save "Unicode text", in either byte order, and
    // a table of our HTML export converted by an editor.
    const auto utf16 = [](const QString &text, bool bigEndian) {
        QByteArray bytes = bigEndian ? QByteArray("\xFE\xFF") : QByteArray("\xFF\xFE");
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
            bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
        }
        return bytes;
    };
    QTemporaryDir dir;
    for (const bool bigEndian : {false, true}) {
        for (const QString &text : {QStringLiteral("品名,数量\r\n\"螺栓, M12\",3\r\n"),
                 QStringLiteral("<table><tr><td>品名</td><td>数量</td></tr>"
                                "<tr><td>螺栓, M12</td><td>3</td></tr></table>")}) {
            const QString path = dir.filePath(QStringLiteral("导出.csv"));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(utf16(text, bigEndian));
            file.close();
            const WorkbookSheet sheet = onlySheet(readWorkbookFile(path));
            EXPECT_EQ(sheet.value(1, 1), QStringLiteral("品名")) << text.toStdString();
            EXPECT_EQ(sheet.value(2, 1), QStringLiteral("螺栓, M12")) << text.toStdString();
            EXPECT_EQ(sheet.value(2, 2), QStringLiteral("3"));
        }
    }
}

} // namespace
