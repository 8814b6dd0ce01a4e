#include "grid/grid_clipboard.h"
#include "table/data_source.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include <gtest/gtest.h>

#include <memory>

namespace {

GridBlock textBlock(int rows, int columns, const QList<QString> &texts)
{
    GridBlock block;
    block.rows = rows;
    block.columns = columns;
    block.texts = texts;
    return block;
}

TEST(GridClipboard, BlockFormatRoundTripsTextsAndFormats)
{
    DataSource table;
    table.setSize(3, 3);
    table.setText(1, 1, QStringLiteral("材料"));
    table.setText(2, 3, QStringLiteral("tab\there\nand a \"quote\""));
    CellFormat format;
    format.alignment = CellFormat::MiddleRight;
    format.textColor = rgbColor(255, 255, 0);
    format.background = rgbColor(0, 116, 174);
    format.fontName = QStringLiteral("黑体");
    format.fontSize = 85;
    format.style = CellFormat::Bold | CellFormat::Underline;
    table.setFormat({2, 2, 1, 2}, format);

    const GridBlock block = GridClipboard::readBlock(table, {1, 1, 2, 3});
    ASSERT_EQ(block.rows, 2);
    ASSERT_EQ(block.columns, 3);
    const auto decoded = GridClipboard::decode(GridClipboard::encode(block));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, block);
    EXPECT_EQ(decoded->format(1, 2), format);
    EXPECT_EQ(decoded->text(1, 2), table.text(2, 3));

    // Text-only blocks travel as such.
    const GridBlock plain = textBlock(1, 2, {QStringLiteral("a"), QString()});
    const auto decodedPlain = GridClipboard::decode(GridClipboard::encode(plain));
    ASSERT_TRUE(decodedPlain.has_value());
    EXPECT_EQ(*decodedPlain, plain);
    EXPECT_FALSE(decodedPlain->hasFormats());
}

TEST(GridClipboard, ReadingARangeClipsItToTheTable)
{
    DataSource table;
    table.setSize(2, 2);
    table.setText(2, 2, QStringLiteral("x"));
    const GridBlock block = GridClipboard::readBlock(table, {2, 2, 5, 5});
    EXPECT_EQ(block.rows, 1);
    EXPECT_EQ(block.columns, 1);
    EXPECT_EQ(block.text(0, 0), QStringLiteral("x"));
    EXPECT_TRUE(GridClipboard::readBlock(table, {3, 1, 1, 1}).isEmpty());
}

TEST(GridClipboard, DecodingRefusesForeignDamagedAndNewerData)
{
    const GridBlock block = textBlock(2, 2, {"a", "b", "c", "d"});
    const QByteArray good = GridClipboard::encode(block);
    ASSERT_TRUE(GridClipboard::decode(good).has_value());

    EXPECT_FALSE(GridClipboard::decode(QByteArray()).has_value());
    EXPECT_FALSE(GridClipboard::decode(QByteArray("plain text, not a block")).has_value());
    // Cut short.
    EXPECT_FALSE(GridClipboard::decode(good.left(good.size() - 3)).has_value());

    // A version we do not know yet.
    QByteArray newer = good;
    newer[5] = char(GridClipboard::formatVersion + 1);
    EXPECT_FALSE(GridClipboard::decode(newer).has_value());

    // A size that only damaged data has: no allocation of billions of cells.
    QByteArray huge;
    QDataStream out(&huge, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint32(0x57475242) << GridClipboard::formatVersion << qint32(100000) << qint32(100000)
        << quint8(0);
    EXPECT_FALSE(GridClipboard::decode(huge).has_value());
}

TEST(GridClipboard, TabSeparatedTextFollowsSpreadsheetQuoting)
{
    const GridBlock block
        = textBlock(2, 3, {"a", "b c", "", "line\nbreak", "say \"hi\"", "tab\tinside"});
    const QString text = GridClipboard::toTabSeparated(block);
    EXPECT_EQ(
        text, QStringLiteral("a\tb c\t\n\"line\nbreak\"\t\"say \"\"hi\"\"\"\t\"tab\tinside\""));
    EXPECT_EQ(GridClipboard::fromTabSeparated(text), block);

    // What spreadsheets put on the clipboard: CRLF and a final line break.
    const GridBlock fromSheet = GridClipboard::fromTabSeparated(QStringLiteral("1\t2\r\n3\r\n"));
    EXPECT_EQ(fromSheet, textBlock(2, 2, {"1", "2", "3", ""}));

    EXPECT_EQ(GridClipboard::fromTabSeparated(QStringLiteral("only")), textBlock(1, 1, {"only"}));
    EXPECT_TRUE(GridClipboard::fromTabSeparated(QString()).isEmpty());
}

TEST(GridClipboard, MimeDataCarriesBothFormsAndPrefersOurs)
{
    GridBlock block = textBlock(1, 2, {"x", "y"});
    block.formats = {CellFormat(), CellFormat()};
    block.formats[1].textColor = rgbColor(128, 0, 128);
    std::unique_ptr<QMimeData> mime(GridClipboard::toMimeData(block));
    EXPECT_TRUE(mime->hasFormat(QString::fromLatin1(GridClipboard::mimeType)));
    EXPECT_EQ(mime->text(), QStringLiteral("x\ty"));
    EXPECT_EQ(GridClipboard::fromMimeData(mime.get()), block);

    // Plain text from elsewhere gives texts only.
    QMimeData other;
    other.setText(QStringLiteral("p\tq"));
    const auto pasted = GridClipboard::fromMimeData(&other);
    ASSERT_TRUE(pasted.has_value());
    EXPECT_EQ(*pasted, textBlock(1, 2, {"p", "q"}));

    QMimeData empty;
    EXPECT_FALSE(GridClipboard::fromMimeData(&empty).has_value());
    EXPECT_FALSE(GridClipboard::fromMimeData(nullptr).has_value());
}

TEST(GridClipboard, WritingDropsWhatFallsBeyondTheTable)
{
    DataSource table;
    table.setSize(3, 3);
    table.setText(3, 3, QStringLiteral("old"));
    GridBlock block = textBlock(2, 2, {"a", "b", "c", "d"});
    block.formats = QList<CellFormat>(4);
    block.formats[3].style = CellFormat::Italic;

    const CellRange written = GridClipboard::writeBlock(table, 2, 3, block);
    EXPECT_EQ(written, (CellRange {2, 3, 2, 1}));
    EXPECT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.columnCount(), 3);
    EXPECT_EQ(table.text(2, 3), QStringLiteral("a"));
    EXPECT_EQ(table.text(3, 3), QStringLiteral("c"));
    EXPECT_EQ(table.format(3, 3).style, 0); // (3, 3) got the format of "c"

    // A plain-text block leaves formats alone.
    table.setStyle({1, 1, 1, 1}, CellFormat::Bold);
    GridClipboard::writeBlock(table, 1, 1, textBlock(1, 1, {"t"}));
    EXPECT_EQ(table.text(1, 1), QStringLiteral("t"));
    EXPECT_EQ(table.format(1, 1).style, CellFormat::Bold);

    EXPECT_EQ(GridClipboard::writeBlock(table, 4, 1, block).rows, 0);
}

} // namespace
