#include "common/ini_file.h"

#include "common/gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// 仓库名称 and 进库备份 in GBK, written byte by byte as an old installation has them.
const QByteArray warehouseGbk = QByteArrayLiteral("\xB2\xD6\xBF\xE2\xC3\xFB\xB3\xC6");
const QByteArray backupGbk = QByteArrayLiteral("\xBD\xF8\xBF\xE2\xB1\xB8\xB7\xDD");

class IniFileTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString &name = QStringLiteral("config.ini")) const
    {
        return dir.filePath(name);
    }
    void put(const QByteArray &bytes, const QString &name = QStringLiteral("config.ini"))
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray contents(const QString &name = QStringLiteral("config.ini")) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
};

TEST_F(IniFileTest, ReadsGbkFiles)
{
    put("[ck1z]\r\nck1z=120\r\n[" + warehouseGbk + "]\r\n" + warehouseGbk + "=" + backupGbk
        + "\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("ck1z", "ck1z"), u"120");
    EXPECT_EQ(ini.read(QStringLiteral("仓库名称"), QStringLiteral("仓库名称")), u"进库备份");
}

TEST_F(IniFileTest, ReadsUtf8FilesWithByteOrderMark)
{
    put("\xEF\xBB\xBF[" + QStringLiteral("仓库名称").toUtf8()
        + "]\nkey=" + QStringLiteral("进库备份").toUtf8() + "\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read(QStringLiteral("仓库名称"), "key"), u"进库备份");
}

TEST_F(IniFileTest, GivesTheDefaultForWhatIsMissing)
{
    IniFile missingFile(path("nothing.ini"));
    EXPECT_EQ(missingFile.read("ck1z", "ck1z", "7"), u"7");
    EXPECT_EQ(missingFile.read("ck1z", "ck1z"), u"");
    EXPECT_FALSE(QFile::exists(path("nothing.ini"))); // reading creates nothing

    put("; window\r\n[ck1z]\r\nck1z=120\r\n[dysb]\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("ck1y", "ck1y", "d"), u"d"); // no such section
    EXPECT_EQ(ini.read("ck1z", "ck1y", "d"), u"d"); // no such key
    EXPECT_EQ(ini.read("dysb", "dysb", "d"), u"d"); // empty section
    // Keys of one section are not found under another.
    EXPECT_EQ(ini.read("dysb", "ck1z", "d"), u"d");
}

TEST_F(IniFileTest, PresentButEmptyValueIsNotTheDefault)
{
    put("[a]\r\nk=\r\nq=\"\"\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("a", "k", "d"), u"");
    EXPECT_EQ(ini.read("a", "q", "d"), u"");
}

TEST_F(IniFileTest, MatchesNamesWithoutRegardToAsciiCase)
{
    // Ｄ (full-width D) is A3 C4 in GBK.
    put("[CK1Z]\r\nCk1Z=120\r\n[\xA3\xC4ysb]\r\nDYsb=5\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("ck1z", "ck1z"), u"120");
    EXPECT_EQ(ini.read("Ck1z", "CK1Z"), u"120");
    EXPECT_EQ(ini.read(QStringLiteral("Ｄysb"), "dysb"), u"5");
    // Only ASCII letters fold: a full-width Ｄ is not ｄ.
    EXPECT_EQ(ini.read(QStringLiteral("ｄysb"), "dysb", "d"), u"d");

    ASSERT_TRUE(ini.write("ck1Z", "CK1z", "130"));
    EXPECT_EQ(contents(), QByteArray("[CK1Z]\r\nCk1Z=130\r\n[\xA3\xC4ysb]\r\nDYsb=5\r\n"));
}

TEST_F(IniFileTest, TrimsBlanksAndOnePairOfQuotes)
{
    put("[a]\r\n"
        "  plain  =  12 \t\r\n"
        "double=\"  spaced  \"\r\n"
        "single=' x '\r\n"
        "nested=\"\"inner\"\"\r\n"
        "mixed=\"x'\r\n"
        "inner=a  b\r\n"
        "lone=\"\r\n"
        "equals=a=b\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("a", "plain"), u"12");
    EXPECT_EQ(ini.read("a", "double"), u"  spaced  ");
    EXPECT_EQ(ini.read("a", "single"), u" x ");
    EXPECT_EQ(ini.read("a", "nested"), u"\"inner\"");
    EXPECT_EQ(ini.read("a", "mixed"), u"\"x'");
    EXPECT_EQ(ini.read("a", "inner"), u"a  b");
    EXPECT_EQ(ini.read("a", "lone"), u"\"");
    EXPECT_EQ(ini.read("a", "equals"), u"a=b");
}

TEST_F(IniFileTest, SkipsCommentsAndForeignLines)
{
    put("top=0\r\n[a]\r\n;k=commented\r\n  ; k=also\r\nno equals sign\r\nk=1\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("a", "k"), u"1");
    EXPECT_EQ(ini.read("a", ";k", "d"), u"d");
    EXPECT_EQ(ini.read("", "top", "d"), u"d"); // keys above every section belong to none
}

TEST_F(IniFileTest, ValuesRoundTrip)
{
    IniFile ini(path());
    const QString values[] = {
        QStringLiteral("a  b"),
        QStringLiteral("  leading"),
        QStringLiteral("trailing\t"),
        QStringLiteral("\"quoted\""),
        QStringLiteral("'q'"),
        QStringLiteral("宋体"),
        QStringLiteral("😀"),
        QStringLiteral("𠀀 x"),
        QStringLiteral(""),
        QStringLiteral("a=b;c"),
        QStringLiteral("[x]"),
    };
    int n = 0;
    for (const QString &value : values) {
        const QString key = QStringLiteral("k%1").arg(++n);
        ASSERT_TRUE(ini.write("s", key, value)) << value.toStdString();
    }
    n = 0;
    for (const QString &value : values)
        EXPECT_EQ(ini.read("s", QStringLiteral("k%1").arg(++n), "d"), value);
}

TEST_F(IniFileTest, WritesGb18030SoGbkFilesStayGbk)
{
    IniFile ini(path());
    ASSERT_TRUE(ini.write(
        QStringLiteral("仓库名称"), QStringLiteral("仓库名称"), QStringLiteral("进库备份")));
    ASSERT_TRUE(ini.write("emoji", "emoji", QStringLiteral("😀")));
    EXPECT_EQ(contents(),
        "[" + warehouseGbk + "]\r\n" + warehouseGbk + "=" + backupGbk
            + "\r\n[emoji]\r\nemoji=\x94\x39\xFC\x36\r\n");
}

TEST_F(IniFileTest, WritingKeepsEveryOtherLineByteForByte)
{
    // Odd spacing, a comment, a GBK line, a byte that is not valid GB18030 and
    // a key with spaces around '=' must all come back exactly.
    const QByteArray before = "; settings\r\n"
                              "[ck1z]\r\n"
                              "  ck1z = 120 \r\n"
                              "other=\xFF\xFE junk\r\n"
                              "\r\n"
                              "["
        + warehouseGbk
        + "]\r\n"
          "name="
        + backupGbk + "\r\n";
    put(before);
    IniFile ini(path());
    ASSERT_TRUE(ini.write("CK1Z", "ck1z", "130"));
    QByteArray expected = before;
    expected.replace("  ck1z = 120 \r\n", "  ck1z =130\r\n");
    EXPECT_EQ(contents(), expected);
    EXPECT_EQ(ini.read("ck1z", "ck1z"), u"130");
}

TEST_F(IniFileTest, AddsKeysAtTheEndOfTheirSection)
{
    put("[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.write("A", "z", "3"));
    EXPECT_EQ(contents(), QByteArray("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n"));
    ASSERT_TRUE(ini.write("c", "c", "4"));
    EXPECT_EQ(contents(), QByteArray("[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nc=4\r\n"));
    EXPECT_EQ(ini.read("a", "z"), u"3");
    EXPECT_EQ(ini.read("c", "c"), u"4");
}

TEST_F(IniFileTest, CompletesALastLineWithoutEnding)
{
    put("[a]\nx=1");
    IniFile ini(path());
    ASSERT_TRUE(ini.write("a", "y", "2"));
    // New lines follow the file's own line endings.
    EXPECT_EQ(contents(), QByteArray("[a]\nx=1\ny=2\n"));

    put("[a]\r\nx=1", "other.ini");
    IniFile other(path("other.ini"));
    ASSERT_TRUE(other.write("b", "y", "2"));
    EXPECT_EQ(contents("other.ini"), QByteArray("[a]\r\nx=1\r\n[b]\r\ny=2\r\n"));
}

TEST_F(IniFileTest, ADuplicatedSectionIsReadAndWrittenAlike)
{
    put("[a]\r\nx=1\r\n[b]\r\n[a]\r\ny=2\r\n");
    IniFile ini(path());
    EXPECT_EQ(ini.read("a", "y"), u"2");
    ASSERT_TRUE(ini.write("a", "y", "3"));
    ASSERT_TRUE(ini.write("a", "z", "4"));
    EXPECT_EQ(contents(), QByteArray("[a]\r\nx=1\r\nz=4\r\n[b]\r\n[a]\r\ny=3\r\n"));
}

TEST_F(IniFileTest, KeepsUtf8FilesUtf8)
{
    put("\xEF\xBB\xBF[s]\r\nk=" + QStringLiteral("旧").toUtf8() + "\r\n");
    IniFile ini(path());
    ASSERT_TRUE(ini.write("s", "k", QStringLiteral("新😀")));
    ASSERT_TRUE(ini.write(QStringLiteral("节"), "k", QStringLiteral("值")));
    EXPECT_EQ(contents(),
        "\xEF\xBB\xBF[s]\r\nk=" + QStringLiteral("新😀").toUtf8() + "\r\n["
            + QStringLiteral("节").toUtf8() + "]\r\nk=" + QStringLiteral("值").toUtf8() + "\r\n");
    EXPECT_EQ(ini.read("s", "k"), u"新😀");
}

TEST_F(IniFileTest, CreatesTheFile)
{
    IniFile ini(path("new.ini"));
    ASSERT_TRUE(ini.write("ck1z", "ck1z", "120"));
    EXPECT_EQ(contents("new.ini"), QByteArray("[ck1z]\r\nck1z=120\r\n"));
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"new.ini"});
}

TEST_F(IniFileTest, RefusesWhatCannotBeStored)
{
    IniFile ini(path());
    EXPECT_FALSE(ini.write("", "k", "v"));
    EXPECT_FALSE(ini.write("a]b", "k", "v"));
    EXPECT_FALSE(ini.write("s", "", "v"));
    EXPECT_FALSE(ini.write("s", "a=b", "v"));
    EXPECT_FALSE(ini.write("s", " k", "v"));
    EXPECT_FALSE(ini.write("s", ";k", "v"));
    const Status status = ini.write("s", "k", "two\r\nlines");
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().contains(QDir::toNativeSeparators(path())));
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(IniFileTest, ReportsAFolderThatCannotBeWritten)
{
    IniFile ini(dir.filePath("missing/config.ini"));
    const Status status = ini.write("s", "k", "v");
    EXPECT_FALSE(status);
    EXPECT_FALSE(status.message().isEmpty());
}

TEST_F(IniFileTest, FilesThatAreNoSmallRegularFilesAreNeitherReadNorReplaced)
{
    // A settings file grown past any real one: defaults, and no rewrite that
    // would throw its lines away.
    QByteArray large = "[ck1z]\r\nck1z=120\r\n";
    large += QByteArray(IniFile::maxBytes, ';');
    put(large);
    IniFile ini(path());
    EXPECT_EQ(ini.read("ck1z", "ck1z", "dflt"), "dflt");
    const Status status = ini.write("ck1d", "ck1d", "5");
    EXPECT_FALSE(status);
    EXPECT_TRUE(status.message().contains(u"过大")) << status.message().toStdString();
    EXPECT_EQ(contents(), large);

#ifdef Q_OS_UNIX
    // An endless device behind a link is not read to the end of the memory.
    ASSERT_TRUE(QFile::link("/dev/zero", path("peizi.ini")));
    IniFile device(path("peizi.ini"));
    EXPECT_EQ(device.read("dyzb", "dyzb", "50"), "50");
    EXPECT_FALSE(device.write("dyzb", "dyzb", "60"));
    EXPECT_TRUE(QFileInfo(path("peizi.ini")).isSymLink());
#endif
}

} // namespace
