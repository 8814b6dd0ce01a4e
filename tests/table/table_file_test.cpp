#include "table/data_source.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

// A table using every property a table file must keep.
void fillRich(DataSource &t)
{
    CellFormat standard;
    standard.fontSize = 40;
    t.setDefaultFormat(standard);
    t.setSize(20, 6);
    t.setHeaderRows(3);
    t.setHeaderColumns(1);
    for (int r = 1; r <= 20; ++r)
        for (int c = 1; c <= 6; ++c)
            t.setText(r, c, QStringLiteral("格%1-%2 😀").arg(r).arg(c));
    t.setText(5, 5, QString());
    t.merge({1, 1, 1, 6});
    t.merge({2, 1, 1, 3});
    t.setRowHeights(1, 1, 160);
    t.setRowHeights(2, 1, 80);
    t.setColumnWidths(1, 2, 500);
    t.setColumnWidths(6, 1, 350);
    t.setFontName({1, 1, 1, 1}, QStringLiteral("黑体"));
    t.setFontSize({1, 1, 1, 1}, 85);
    t.setStyle({1, 1, 3, 6}, CellFormat::Bold | CellFormat::Underline);
    t.setAlignment({3, 1, 1, 6}, CellFormat::Centre);
    t.setTextColor({4, 1, 1, 6}, rgbColor(128, 0, 128));
    t.setBackground({5, 2, 2, 2}, rgbColor(255, 255, 0));
    t.setBorders({3, 1, 18, 6}, BorderAll);
    t.goToRow(7);
    PageSetup page;
    page.orientation = 1;
    page.leftMargin = 150;
    page.pageNumberPosition = PageSetup::BottomCentre;
    page.text = QStringLiteral("页");
    t.setPageSetup(page);
}

void expectSame(const DataSource &a, const DataSource &b)
{
    ASSERT_EQ(a.rowCount(), b.rowCount());
    ASSERT_EQ(a.columnCount(), b.columnCount());
    EXPECT_EQ(a.headerRows(), b.headerRows());
    EXPECT_EQ(a.headerColumns(), b.headerColumns());
    EXPECT_EQ(a.currentRow(), b.currentRow());
    EXPECT_EQ(a.merges(), b.merges());
    EXPECT_EQ(a.pageSetup(), b.pageSetup());
    EXPECT_EQ(a.defaultFormat(), b.defaultFormat());
    for (int c = 1; c <= a.columnCount(); ++c)
        EXPECT_EQ(a.columnWidth(c), b.columnWidth(c));
    for (int r = 1; r <= a.rowCount(); ++r) {
        EXPECT_EQ(a.rowHeight(r), b.rowHeight(r));
        for (int c = 1; c <= a.columnCount(); ++c) {
            EXPECT_EQ(a.text(r, c), b.text(r, c));
            EXPECT_EQ(a.format(r, c), b.format(r, c)) << r << "," << c;
            EXPECT_EQ(a.edges(r, c), b.edges(r, c));
        }
    }
}

class TableFileTest : public testing::Test
{
protected:
    QString path(const char *name) { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

TEST_F(TableFileTest, EverythingSurvivesTheRoundTrip)
{
    DataSource saved;
    fillRich(saved);
    ASSERT_TRUE(saved.save(path("表.grd")));
    DataSource loaded;
    loaded.setSize(2, 2);
    ASSERT_TRUE(loaded.load(path("表.grd")));
    expectSame(saved, loaded);

    // The loaded table keeps working: new rows take the saved default format.
    loaded.appendRows(1);
    EXPECT_EQ(loaded.fontSize(21, 1), 40);

    DataSource empty;
    ASSERT_TRUE(empty.save(path("empty.grd")));
    ASSERT_TRUE(loaded.load(path("empty.grd")));
    EXPECT_EQ(loaded.rowCount(), 0);
}

TEST_F(TableFileTest, BadFilesAreRefusedAndTheTableStaysAsItWas)
{
    DataSource good;
    fillRich(good);
    ASSERT_TRUE(good.save(path("good.grd")));
    QFile file(path("good.grd"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    file.close();

    const auto write = [&](const char *name, const QByteArray &content) {
        QFile out(path(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        return path(name);
    };
    QByteArray flipped = bytes;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x40);
    QByteArray newer = bytes;
    newer[11] = char(9); // version field
    const QStringList bad = {
        write("flipped.grd", flipped),
        write("cut.grd", bytes.left(bytes.size() - 7)),
        write("header.grd", bytes.left(20)),
        write("empty.grd", {}),
        write("text.grd", "这不是表格文件\r\n"),
        write("newer.grd", newer),
        path("missing.grd"),
    };
    for (const QString &name : bad) {
        DataSource t;
        t.setSize(2, 2);
        t.setText(1, 1, QStringLiteral("keep"));
        t.setHeaderRows(1);
        const Status s = t.load(name);
        EXPECT_FALSE(s) << name.toStdString();
        EXPECT_FALSE(s.message().isEmpty());
        EXPECT_EQ(t.rowCount(), 2);
        EXPECT_EQ(t.text(1, 1), QStringLiteral("keep"));
        EXPECT_EQ(t.headerRows(), 1);
    }
}

TEST_F(TableFileTest, SavingReplacesTheFileAndFailsLoudly)
{
    DataSource t;
    t.setSize(1, 1);
    t.setText(1, 1, QStringLiteral("one"));
    ASSERT_TRUE(t.save(path("t.grd")));
    t.setText(1, 1, QStringLiteral("two"));
    ASSERT_TRUE(t.save(path("t.grd")));
    DataSource back;
    ASSERT_TRUE(back.load(path("t.grd")));
    EXPECT_EQ(back.text(1, 1), QStringLiteral("two"));
    EXPECT_FALSE(t.save(path("no such folder/t.grd")));
}

// A table file of no rows and `columns` columns, written by hand so that it
// can declare what the program would never write.
QByteArray emptyTableFile(qint32 columns)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << qint32(0) << columns << qint32(0) << qint32(0) << qint32(1); // sizes, current row
        out << qint32(1) << qint32(1) << quint32(0) << quint32(0xFFFFFF) << QStringLiteral("宋体")
            << qint32(32) << qint32(0); // one format
        out << quint32(0); // the default format
        out << qint32(1) << columns << qint32(100); // one run of widths
        out << qint32(0) << qint32(0); // no heights, no merges
        for (int i = 0; i < 10; ++i)
            out << qint32(0);
        out << QString();
        for (int i = 0; i < 8; ++i)
            out << qint32(0);
    }
    QByteArray file;
    QDataStream out(&file, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out.writeRawData("WHGRD\r\n\x1a", 8);
    out << quint32(1) << quint64(payload.size());
    const QByteArray digest = QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
    out.writeRawData(digest.constData(), int(digest.size()));
    return file + payload;
}

TEST_F(TableFileTest, DeclaredSizesAndFileKindsAreCheckedBeforeAnythingIsAllocated)
{
    const auto write = [&](const char *name, const QByteArray &content) {
        QFile out(path(name));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(content);
        return path(name);
    };
    DataSource table;
    ASSERT_TRUE(table.load(write("wide.grd", emptyTableFile(16384))));
    EXPECT_EQ(table.columnCount(), 16384);

    QStringList hostile = {write("max.grd", emptyTableFile(0x7FFFFFFF)),
        write("huge.grd", emptyTableFile(50'000'000))};
#ifdef Q_OS_UNIX
    ASSERT_TRUE(QFile::link("/dev/zero", path("zero.grd")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.grd")).constData(), 0600), 0);
    hostile << path("zero.grd") << path("fifo.grd");
#endif
    for (const QString &name : hostile) {
        const Status s = table.load(name);
        EXPECT_FALSE(s) << name.toStdString();
        EXPECT_EQ(table.columnCount(), 16384);
        if (name.endsWith(u"o.grd")) {
            EXPECT_TRUE(s.message().contains(u"不是普通文件")) << s.message().toStdString();
        }
    }
}

} // namespace
