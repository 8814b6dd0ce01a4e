#include "workbook/workbook_reader.h"

#include "workbook/misbehaving_child.h"
#include "workbook/workbook_fixtures.h"
#include "workbook/workbook_stream.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {

WorkbookResult sampleResult()
{
    WorkbookResult result;
    WorkbookSheet first(QStringLiteral("库存"));
    first.setValue(3, 2, QStringLiteral("螺栓"));
    first.setCell(1048576, 16384, {QStringLiteral("25"), QStringLiteral("=A1*2")});
    first.setValue(1, 1, QString(5000, u'长'));
    result.workbook.sheets = {first, WorkbookSheet(QStringLiteral("空"))};
    result.workbook.activeSheet = 1;
    return result;
}

TEST(WorkbookStreamTest, CarriesWorkbooksAndFailuresWhole)
{
    const WorkbookResult sample = sampleResult();
    const WorkbookResult decoded = WorkbookStream::decode(WorkbookStream::encode(sample));
    ASSERT_TRUE(decoded.status) << decoded.status.message().toStdString();
    EXPECT_EQ(decoded.workbook, sample.workbook);

    const WorkbookResult failure = WorkbookStream::decode(
        WorkbookStream::encode(WorkbookResult::failure(QStringLiteral("工作簿受密码保护"))));
    EXPECT_FALSE(failure.status);
    EXPECT_EQ(failure.status.message(), QStringLiteral("工作簿受密码保护"));
}

TEST(WorkbookStreamTest, RefusesEveryTruncationAndStrayBytes)
{
    const QByteArray whole = WorkbookStream::encode(sampleResult());
    const QString invalid = WorkbookStream::decode(QByteArray()).status.message();
    ASSERT_FALSE(invalid.isEmpty());
    // Every cut, including those inside a length or a text, is noticed.
    for (qsizetype size = 0; size < whole.size(); size += size < 200 ? 1 : 97) {
        const WorkbookResult cut = WorkbookStream::decode(whole.left(size));
        ASSERT_FALSE(cut.status) << size;
        ASSERT_EQ(cut.status.message(), invalid);
    }
    EXPECT_FALSE(WorkbookStream::decode(whole + '\0').status);
}

// A stream written field by field, to break one rule at a time.
QByteArray stream(quint32 sheets, quint32 active, quint32 cells, quint32 row, quint32 column,
    quint32 textLength, quint8 flags = 0)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(0x57424B33) << quint32(1) << sheets << active;
    out << quint32(4) << quint32('S') << cells << row << column << flags;
    // The value: a new text of textLength bytes; the formula: empty.
    out << quint32(0xFFFFFFFF) << textLength;
    out.writeRawData(QByteArray(qsizetype(std::min(textLength, 65536u)), 'a').constData(),
        int(std::min(textLength, 65536u)));
    out << quint32(0);
    out << quint32(0x454E4431);
    return bytes;
}

TEST(WorkbookStreamTest, RefusesCountsAndPositionsOutsideTheLimits)
{
    // The reference stream is well formed: one sheet, one cell "aaaa".
    EXPECT_TRUE(WorkbookStream::decode(stream(1, 0, 1, 3, 2, 4)).status);
    const WorkbookResult cut = WorkbookStream::decode(stream(1, 0, 1, 3, 2, 32767, 1));
    ASSERT_TRUE(cut.status);
    EXPECT_TRUE(cut.workbook.sheets[0].cell(3, 2).cut);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 3, 2, 4, 2)).status); // unknown mark
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 3, 2, 32768)).status); // over a cell
    EXPECT_FALSE(WorkbookStream::decode(stream(0, 0, 1, 3, 2, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 1, 1, 3, 2, 4)).status); // no sheet 2
    EXPECT_FALSE(WorkbookStream::decode(stream(100000, 0, 1, 3, 2, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 0xFFFFFFFF, 3, 2, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 0, 2, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 3, 0, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 1048577, 2, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 3, 16385, 4)).status);
    EXPECT_FALSE(WorkbookStream::decode(stream(1, 0, 1, 3, 2, 0xFFFFFFF0)).status);
}

// A text in many cells travels once and comes back shared, however often
// the cells refer to it; a reference to a text not sent is refused.
TEST(WorkbookStreamTest, CarriesATextOnceHoweverManyCellsHoldIt)
{
    WorkbookResult result;
    WorkbookSheet sheet(QStringLiteral("S"));
    const QString big(Workbook::maxTextLength, u'长');
    for (int row = 1; row <= 200; ++row)
        sheet.setValue(row, 2, big);
    result.workbook.sheets = {sheet};
    const QByteArray bytes = WorkbookStream::encode(result);
    EXPECT_LT(bytes.size(), 2 * big.size() * 3) << "one copy, not 200";
    const WorkbookResult decoded = WorkbookStream::decode(bytes);
    ASSERT_TRUE(decoded.status);
    const WorkbookSheet &back = decoded.workbook.sheets[0];
    EXPECT_EQ(back.value(1, 2), big);
    EXPECT_EQ(back.cell(200, 2).value.constData(), back.cell(1, 2).value.constData())
        << "the program holds it once too";

    QByteArray forward = stream(1, 0, 1, 3, 2, 4);
    forward.replace(QByteArray::fromHex("FFFFFFFF00000004"), QByteArray::fromHex("00000001"));
    forward.remove(forward.size() - 12, 4); // the four bytes of the text that is not there
    EXPECT_FALSE(WorkbookStream::decode(forward).status);
}

class WorkbookReaderTest : public testing::Test
{
protected:
    void TearDown() override { qunsetenv(misbehaviourVariable); }

    // The reader over this test program, whose main() runs the child.
    static WorkbookReader reader(int timeoutMs = WorkbookReader::defaultTimeoutMs,
        qint64 maxOutput = WorkbookStream::maxBytes)
    {
        return WorkbookReader(QCoreApplication::applicationFilePath(), timeoutMs, maxOutput);
    }

    QString workbookFile(const QString &name)
    {
        return copyXlsxFixture("import.xlsx", dir.filePath(name));
    }

    void expectFailure(const WorkbookResult &result, const QString &path, const QString &reason)
    {
        EXPECT_FALSE(result.status);
        const QString message = result.status.message();
        EXPECT_TRUE(message.startsWith(
            QStringLiteral("无法读取电子表格文件：") + QDir::toNativeSeparators(path) + u'\n'))
            << message.toStdString();
        EXPECT_TRUE(message.contains(reason)) << message.toStdString();
    }

    QTemporaryDir dir;
};

TEST_F(WorkbookReaderTest, ReadsInAChildProcessWhateverThePathHolds)
{
    const QString path = workbookFile(QStringLiteral("库存 表 ☃ (1).xlsx"));
    const WorkbookResult result = reader().read(path);
    ASSERT_TRUE(result.status) << result.status.message().toStdString();
    ASSERT_EQ(result.workbook.sheets.size(), 1);
    EXPECT_EQ(result.workbook.sheets[0].value(3, 2), QStringLiteral("螺栓"));
    EXPECT_EQ(result.workbook.sheets[0].value(3, 5), QStringLiteral("30"));
}

TEST_F(WorkbookReaderTest, FilesTheReadersRefuseGiveTheirReason)
{
    const QString missing = dir.filePath(QStringLiteral("missing.xlsx"));
    expectFailure(reader().read(missing), missing, QStringLiteral("文件不存在"));

    const QString corrupt = dir.filePath(QStringLiteral("corrupt.xlsx"));
    ASSERT_TRUE(writeFile(corrupt, QByteArray("PK\x03\x04 this is no zip")));
    expectFailure(reader().read(corrupt), corrupt, QStringLiteral("zip"));

    QByteArray random(10000, Qt::Uninitialized);
    QRandomGenerator generator(7);
    for (char &c : random)
        c = char(generator.bounded(256));
    random[0] = '#';
    const QString noise = dir.filePath(QStringLiteral("noise.xls"));
    ASSERT_TRUE(writeFile(noise, random));
    expectFailure(reader().read(noise), noise, QStringLiteral("不是可以读取的电子表格文件"));
}

TEST_F(WorkbookReaderTest, ChildrenThatMisbehaveEndOnlyThemselves)
{
    const QString path = workbookFile(QStringLiteral("ok.xlsx"));
    const std::pair<const char *, QString> cases[] = {
        {"crash", QStringLiteral("意外终止")},
        {"garbage", QStringLiteral("数据无效")},
        {"truncated", QStringLiteral("数据无效")},
        {"exit", QStringLiteral("代码 7")},
    };
    for (const auto &[behaviour, reason] : cases) {
        qputenv(misbehaviourVariable, behaviour);
        SCOPED_TRACE(behaviour);
        expectFailure(reader().read(path), path, reason);
    }
}

TEST_F(WorkbookReaderTest, AChildOverItsTimeOrOutputIsStopped)
{
    const QString path = workbookFile(QStringLiteral("ok.xlsx"));
    qputenv(misbehaviourVariable, "hang");
    QElapsedTimer clock;
    clock.start();
    expectFailure(reader(700).read(path), path, QStringLiteral("仍未完成"));
    EXPECT_LT(clock.elapsed(), 10'000); // killed, not waited for

    qputenv(misbehaviourVariable, "flood");
    expectFailure(reader(20'000, 1024 * 1024).read(path), path, QStringLiteral("过多"));
}

// Files a few kilobytes long that cost a reader without care gigabytes or
// minutes: one long shared string in every cell, one long number format used
// by every cell format. Read within the program's bounds, and whole.
TEST_F(WorkbookReaderTest, SmallFilesThatExplodeAreReadWithinBounds)
{
    const QString big(1024 * 1024, u'x');
    QByteArray cells;
    for (int row = 1; row <= 300; ++row)
        cells += "<row r=\"" + QByteArray::number(row) + "\"><c r=\"B" + QByteArray::number(row)
            + "\" t=\"s\"><v>0</v></c></row>";
    const QString shared = dir.filePath(QStringLiteral("shared.xlsx"));
    ASSERT_TRUE(
        writeFile(shared, makeXlsxPackage({cells}, "<si><t>" + big.toLatin1() + "</t></si>")));
    const WorkbookResult read = reader().read(shared);
    ASSERT_TRUE(read.status) << read.status.message().toStdString();
    // Each cell holds what a cell can of it, and says it was cut.
    EXPECT_EQ(read.workbook.sheets[0].value(300, 2), big.left(Workbook::maxTextLength));
    EXPECT_TRUE(read.workbook.sheets[0].cell(300, 2).cut);

    QByteArray styles = "<styleSheet><numFmts><numFmt numFmtId=\"200\" formatCode=\""
        + QByteArray(2 * 1024 * 1024, '0') + "\"/></numFmts><cellXfs>";
    for (int i = 0; i < 20000; ++i)
        styles += "<xf numFmtId=\"200\"/>";
    styles += "</cellXfs></styleSheet>";
    const QString formats = dir.filePath(QStringLiteral("formats.xlsx"));
    ASSERT_TRUE(writeFile(formats,
        makeXlsxPackage({"<row r=\"1\"><c r=\"A1\" s=\"19999\"><v>42</v></c></row>"}, {}, {},
            {{QStringLiteral("xl/styles.xml"), styles}})));
    const WorkbookResult formatted = reader(15'000).read(formats);
    ASSERT_TRUE(formatted.status) << formatted.status.message().toStdString();
    EXPECT_EQ(formatted.workbook.sheets[0].value(1, 1), QStringLiteral("42"));
}

// The child gets no more memory than its limit: one that asks for more is
// refused it, whatever a file might drive a reader to.
TEST_F(WorkbookReaderTest, TheChildsMemoryIsLimited)
{
    const QString path = workbookFile(QStringLiteral("ok.xlsx"));
    qputenv(misbehaviourVariable, "hog");
    expectFailure(reader().read(path), path, QStringLiteral("意外终止"));
}

TEST(WorkbookReaderChildTest, RunsOnlyWithItsOption)
{
    char program[] = "warehouse";
    char dirOption[] = "--dir";
    char dir[] = "/tmp";
    char *plain[] = {program, dirOption, dir};
    EXPECT_EQ(runWorkbookReaderChild(3, plain), -1);
    EXPECT_EQ(runWorkbookReaderChild(1, plain), -1);
    char option[] = "--read-workbook";
    char *withoutPath[] = {program, option};
    EXPECT_EQ(runWorkbookReaderChild(2, withoutPath), 2);
}

} // namespace
