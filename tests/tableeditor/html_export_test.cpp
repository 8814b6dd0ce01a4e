#include "tableeditor/html_export.h"

#include "common/gbk.h"
#include "data/record_store.h"
#include "support/qt_print.h"
#include "support/record_files.h"
#include "tableeditor/export_sample.h"
#include "tableeditor/query_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int headLines = 149;

class HtmlExportTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void makeRecordFile(const Layout &layout, const QList<QVariantList> &records)
    {
        writeRecordFile(source, layout, records);
    }

    // Statistics records 物资0, 物资1...
    void makeManyRecords(int count)
    {
        QList<QVariantList> records;
        for (int i = 0; i < count; ++i)
            records.append({QStringLiteral("物资%1").arg(i), QStringLiteral("型号"),
                QStringLiteral("个"), 1.0, double(i), double(i), QDateTime()});
        makeRecordFile(statisticsLayout(), records);
    }

    QByteArray exportBytes()
    {
        EXPECT_TRUE(HtmlExport::writeSpreadsheetHtml(store, source, target));
        QFile file(target);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    // The file's lines, read as GBK; the last element is what follows the
    // final line end (empty for a complete file).
    QStringList exportLines() { return Gbk::decode(exportBytes()).split(QStringLiteral("\r\n")); }

    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("qd.zrb"));
    QString target = dir.filePath(QStringLiteral("电子表格1.xls"));
    RecordStore store;
};

TEST_F(HtmlExportTest, SevenFieldsWithoutRecordsGiveHeadHeaderRowAndClosingLines)
{
    makeRecordFile(statisticsLayout(), {});
    const QByteArray bytes = exportBytes();
    EXPECT_EQ(bytes.count("\r\n"), bytes.count('\n')) << "every line ends with CR LF";
    EXPECT_TRUE(bytes.endsWith("</html>\r\n"));

    const QStringList lines = Gbk::decode(bytes).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), headLines + 2 + 9 + 3 + 1);
    EXPECT_EQ(
        lines[0], QStringLiteral("<html xmlns:o=\"urn:schemas-microsoft-com:office:office\""));
    EXPECT_EQ(lines[1], QStringLiteral("xmlns:x=\"urn:schemas-microsoft-com:office:excel\""));
    EXPECT_EQ(lines[2], QStringLiteral("xmlns=\"http://www.w3.org/TR/REC-html40\">"));
    EXPECT_TRUE(lines.contains(
        QStringLiteral("<meta http-equiv=Content-Type content=\"text/html; charset=GB2312\">")));
    EXPECT_TRUE(lines.contains(QStringLiteral("\tfont-family:\"Times New Roman\", serif;")));
    EXPECT_EQ(lines[headLines - 1], QStringLiteral(" collapse;table-layout:fixed;width:216pt'>"));
    // The 150th line completes the open <col of the head.
    EXPECT_EQ(lines[headLines], QStringLiteral(" <col width=72 span=7 style='width:54pt'>"));
    EXPECT_EQ(lines[headLines + 1], QString());

    const QStringList header = lines.mid(headLines + 2, 9);
    EXPECT_EQ(header[0],
        QStringLiteral(" <tr height=21 style='mso-height-source:userset;height:15.75pt'>"));
    EXPECT_EQ(header[1],
        QStringLiteral("  <td height=21 width=72 style='height:15.75pt;width:54pt'>品名</td>"));
    EXPECT_EQ(header[2], QStringLiteral("  <td width=72 style='width:54pt'>规格型号</td>"));
    EXPECT_EQ(header[7], QStringLiteral("  <td width=72 style='width:54pt'>出库日期</td>"));
    EXPECT_EQ(header[8], QStringLiteral(" </tr>"));
    EXPECT_EQ(
        lines.mid(headLines + 11), (QStringList {"</table>", "</body>", "</html>", QString()}));
}

TEST_F(HtmlExportTest, CellsArePrefixedByKindAndTheFirstColumnCarriesTheRowHeight)
{
    makeRecordFile(statisticsLayout(),
        {{QStringLiteral("电力电缆"), QStringLiteral("YJV22"), QStringLiteral("米"), 12.5, 3.0,
            37.5, QDateTime(QDate(2011, 12, 4), {})}});
    const QStringList lines = exportLines();
    const QStringList row = lines.mid(headLines + 11, 9);
    EXPECT_EQ(row[0], QStringLiteral(" <tr height=21 style='height:15.75pt'>"));
    EXPECT_EQ(
        row[1], QStringLiteral("  <td height=21 class=xl24 style='height:15.75pt'>电力电缆</td>"));
    EXPECT_EQ(row[2], QStringLiteral("  <td class=xl24>YJV22</td>"));
    EXPECT_EQ(row[4], QStringLiteral("  <td class=xl24 align=right x:num>12.5</td>"));
    EXPECT_EQ(row[6], QStringLiteral("  <td class=xl24 align=right x:num>37.5</td>"));
    EXPECT_EQ(row[7], QStringLiteral("  <td class=xl24>2011年12月4日</td>"));
    EXPECT_EQ(row[8], QStringLiteral(" </tr>"));
    EXPECT_EQ(lines[headLines + 20], QStringLiteral("</table>"));
}

TEST_F(HtmlExportTest, NumberFirstFieldAndTheOtherKindsAsText)
{
    makeRecordFile(
        {{QStringLiteral("数量"), FieldKind::Number}, {QStringLiteral("已审"), FieldKind::Logical},
            {QStringLiteral("备注"), FieldKind::Memo},
            {QStringLiteral("时间"), FieldKind::DateTime}},
        {{-0.5, true, QStringLiteral("第一行"), QDateTime(QDate(2011, 3, 7), QTime(9, 5))}, {}});
    const QStringList lines = exportLines();
    EXPECT_EQ(lines[headLines], QStringLiteral(" <col width=72 span=4 style='width:54pt'>"));
    const QStringList first = lines.mid(headLines + 8, 6);
    EXPECT_EQ(first[1],
        QStringLiteral(
            "  <td height=21 class=xl24 align=right style='height:15.75pt' x:num>-0.5</td>"));
    EXPECT_EQ(first[2], QStringLiteral("  <td class=xl24>真</td>"));
    EXPECT_EQ(first[3], QStringLiteral("  <td class=xl24>第一行</td>"));
    EXPECT_EQ(first[4], QStringLiteral("  <td class=xl24>2011年3月7日9时5分</td>"));
    // A blank record is exported like any other.
    const QStringList blank = lines.mid(headLines + 14, 6);
    EXPECT_EQ(blank[1],
        QStringLiteral(
            "  <td height=21 class=xl24 align=right style='height:15.75pt' x:num>0</td>"));
    EXPECT_EQ(blank[3], QStringLiteral("  <td class=xl24></td>"));
    EXPECT_EQ(blank[4], QStringLiteral("  <td class=xl24></td>"));
}

TEST_F(HtmlExportTest, MarkupAndCharactersOutsideGbkArriveWhole)
{
    makeRecordFile(
        {{QStringLiteral("名称<1>"), FieldKind::Text}, {QStringLiteral("说明"), FieldKind::Text}},
        {{QStringLiteral("a<b & c>d"), QStringLiteral("笑😀€")}});
    const QByteArray bytes = exportBytes();
    const QStringList lines = Gbk::decode(bytes).split(QStringLiteral("\r\n"));
    EXPECT_EQ(lines[headLines + 3],
        QStringLiteral(
            "  <td height=21 width=72 style='height:15.75pt;width:54pt'>名称&lt;1&gt;</td>"));
    EXPECT_EQ(lines[headLines + 7],
        QStringLiteral(
            "  <td height=21 class=xl24 style='height:15.75pt'>a&lt;b &amp; c&gt;d</td>"));
    const QString second = lines[headLines + 8];
    EXPECT_TRUE(second.startsWith(QStringLiteral("  <td class=xl24>笑&#128512;")))
        << second.toStdString();

    // GBK text: Chinese in two bytes each, nothing left in UTF-8 or in four-
    // byte GB18030 forms.
    EXPECT_TRUE(bytes.contains(Gbk::encode(QStringLiteral("font-family:宋体;"))));
    EXPECT_TRUE(bytes.contains(QByteArray("\xD0\xA6&#128512;")));
    EXPECT_FALSE(bytes.contains(QStringLiteral("宋体").toUtf8()));
    EXPECT_TRUE(Gbk::canEncode(Gbk::decode(bytes)));
}

TEST_F(HtmlExportTest, AFileThatCannotBeReadWritesNothingAndRemovesTheTarget)
{
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    EXPECT_FALSE(HtmlExport::writeSpreadsheetHtml(store, source, target));
    EXPECT_FALSE(QFile::exists(target));
}

TEST_F(HtmlExportTest, AFileDamagedAmongItsRecordsFailsAndLeavesTheEarlierExport)
{
    makeManyRecords(3000);
    // The pages past the first few hold records only: the file still opens,
    // and the scan meets the damage half-way.
    QFile damaged(source);
    ASSERT_TRUE(damaged.open(QIODevice::ReadWrite));
    ASSERT_GT(damaged.size(), 16 * 4096);
    ASSERT_TRUE(damaged.seek(damaged.size() / 2 / 4096 * 4096));
    ASSERT_EQ(damaged.write(QByteArray(3 * 4096, '\x7f')), 3 * 4096);
    damaged.close();
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    ASSERT_EQ(old.write("earlier export"), 14);
    old.close();

    EXPECT_FALSE(HtmlExport::writeSpreadsheetHtml(store, source, target))
        << "a partly blank table is not reported as done";
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("earlier export")) << "never replaced by half a file";
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.xls*")}, QDir::Files),
        QStringList({QFileInfo(target).fileName()}))
        << "no temporary left";
    EXPECT_FALSE(store.isOpen(QStringLiteral("qd")));
}

TEST_F(HtmlExportTest, ManyRecordsAllArriveAndTheCurrentFileStaysCurrent)
{
    makeManyRecords(2000); // enough rows for several blocks of the streamed file
    const QString stock = dir.filePath(QStringLiteral("data.zrb"));
    ASSERT_TRUE(RecordStore::create(stock, statisticsLayout()));
    ASSERT_TRUE(store.open(stock, QStringLiteral("other")));

    const QStringList lines = exportLines();
    EXPECT_EQ(lines.size(), headLines + 2 + 9 + 2000 * 9 + 3 + 1);
    EXPECT_EQ(lines[lines.size() - 4 - 8],
        QStringLiteral("  <td height=21 class=xl24 style='height:15.75pt'>物资1999</td>"));
    EXPECT_EQ(store.currentAlias(), QStringLiteral("other"));
    EXPECT_FALSE(store.isOpen(QStringLiteral("qd")));
}

// The rows now stream to the file as they are read, and values become text
// without a QDateTime; the file stays the one the program always wrote: the
// sample was exported once by the writer that built the whole file in memory.
TEST_F(HtmlExportTest, TheFileIsByteForByteTheOneWrittenBefore)
{
    writeExportSample(source);
    QFile golden(QString::fromUtf8(TABLEEDITOR_FIXTURE_DIR "/export_sample.xls"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(exportBytes(), golden.readAll());
}

TEST(FreeSpreadsheetName, TakesTheFirstNumberNotInUse)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const auto touch = [&](const QString &name) {
        QFile file(folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    };
    EXPECT_EQ(HtmlExport::freeSpreadsheetName(dir.path(), QStringLiteral("电子表格")),
        folder.filePath(QStringLiteral("电子表格1.xls")));
    touch(QStringLiteral("电子表格1.xls"));
    touch(QStringLiteral("电子表格2.xls"));
    touch(QStringLiteral("电子表格4.xls"));
    EXPECT_EQ(HtmlExport::freeSpreadsheetName(dir.path(), QStringLiteral("电子表格")),
        folder.filePath(QStringLiteral("电子表格3.xls")));
    EXPECT_EQ(HtmlExport::freeSpreadsheetName(dir.path(), QStringLiteral("月报")),
        folder.filePath(QStringLiteral("月报1.xls")));

    for (int i = 1; i <= 1000; ++i)
        touch(QStringLiteral("满%1.xls").arg(i));
    EXPECT_EQ(HtmlExport::freeSpreadsheetName(dir.path(), QStringLiteral("满")),
        folder.filePath(QStringLiteral("满")));
}

} // namespace
