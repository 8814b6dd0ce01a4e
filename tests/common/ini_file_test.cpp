#include "common/ini_file.h"

#include "common/gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

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

// Files as old installations and editors left them: each read gives the
// value, or the default "d" where there is none.
TEST_F(IniFileTest, ReadsFilesAsTheyWereLeft)
{
    struct Read
    {
        QString section, key, expected;
    };
    const struct
    {
        QByteArray file;
        std::vector<Read> reads;
    } cases[] = {
        // GBK, and UTF-8 with a byte order mark.
        {"[ck1z]\r\nck1z=120\r\n[" + warehouseGbk + "]\r\n" + warehouseGbk + "=" + backupGbk
                + "\r\n",
            {{"ck1z", "ck1z", "120"}, {"仓库名称", "仓库名称", "进库备份"}}},
        {"\xEF\xBB\xBF[" + QStringLiteral("仓库名称").toUtf8()
                + "]\nkey=" + QStringLiteral("进库备份").toUtf8() + "\n",
            {{"仓库名称", "key", "进库备份"}}},
        // No such section, key, an empty section, a key of another section;
        // a present but empty value is no default.
        {"; window\r\n[ck1z]\r\nck1z=120\r\n[dysb]\r\n[a]\r\nk=\r\nq=\"\"\r\n",
            {{"ck1y", "ck1y", "d"}, {"ck1z", "ck1y", "d"}, {"dysb", "dysb", "d"},
                {"dysb", "ck1z", "d"}, {"a", "k", ""}, {"a", "q", ""}}},
        // Names match without regard to ASCII case; a full-width Ｄ (A3 C4) is
        // not ｄ.
        {"[CK1Z]\r\nCk1Z=120\r\n[\xA3\xC4ysb]\r\nDYsb=5\r\n",
            {{"ck1z", "ck1z", "120"}, {"Ck1z", "CK1Z", "120"}, {"Ｄysb", "dysb", "5"},
                {"ｄysb", "dysb", "d"}}},
        // Blanks and one pair of quotes are trimmed.
        {"[a]\r\n  plain  =  12 \t\r\ndouble=\"  spaced  \"\r\nsingle=' x '\r\n"
         "nested=\"\"inner\"\"\r\nmixed=\"x'\r\ninner=a  b\r\nlone=\"\r\nequals=a=b\r\n",
            {{"a", "plain", "12"}, {"a", "double", "  spaced  "}, {"a", "single", " x "},
                {"a", "nested", "\"inner\""}, {"a", "mixed", "\"x'"}, {"a", "inner", "a  b"},
                {"a", "lone", "\""}, {"a", "equals", "a=b"}}},
        // A duplicated section is one.
        {"[a]\r\nx=1\r\n[b]\r\n[a]\r\ny=2\r\n", {{"a", "x", "1"}, {"a", "y", "2"}}},
        // Comments and foreign lines; keys above every section belong to none.
        {"top=0\r\n[a]\r\n;k=commented\r\n  ; k=also\r\nno equals sign\r\nk=1\r\n",
            {{"a", "k", "1"}, {"a", ";k", "d"}, {"", "top", "d"}}},
    };
    for (const auto &c : cases) {
        put(c.file);
        const IniFile ini(path());
        for (const Read &r : c.reads)
            EXPECT_EQ(ini.read(r.section, r.key, "d"), r.expected)
                << c.file.toStdString() << " [" << r.section.toStdString() << "] "
                << r.key.toStdString();
    }

    IniFile missingFile(path("nothing.ini"));
    EXPECT_EQ(missingFile.read("ck1z", "ck1z", "7"), u"7");
    EXPECT_EQ(missingFile.read("ck1z", "ck1z"), u"");
    EXPECT_FALSE(QFile::exists(path("nothing.ini"))); // reading creates nothing
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

// Writes into files as they were left (none: no file yet): every other line
// stays byte for byte, new keys go to the end of their section, new lines
// take the file's own line ending, and every value reads back.
TEST_F(IniFileTest, WritesKeepTheRestOfTheFile)
{
    struct Write
    {
        QString section, key, value;
    };
    // Odd spacing, a comment, a GBK line and a byte that is not valid GB18030.
    const QByteArray oldFile
        = "; settings\r\n[ck1z]\r\n  ck1z = 120 \r\nother=\xFF\xFE junk\r\n\r\n[" + warehouseGbk
        + "]\r\nname=" + backupGbk + "\r\n";
    const struct
    {
        QByteArray before;
        std::vector<Write> writes;
        QByteArray after;
    } cases[] = {
        {{}, {{"ck1z", "ck1z", "120"}}, "[ck1z]\r\nck1z=120\r\n"},
        // GB18030, so that GBK files stay GBK.
        {{}, {{"仓库名称", "仓库名称", "进库备份"}, {"emoji", "emoji", "😀"}},
            "[" + warehouseGbk + "]\r\n" + warehouseGbk + "=" + backupGbk
                + "\r\n[emoji]\r\nemoji=\x94\x39\xFC\x36\r\n"},
        {oldFile, {{"CK1Z", "ck1z", "130"}},
            QByteArray(oldFile).replace("  ck1z = 120 \r\n", "  ck1z =130\r\n")},
        {"[CK1Z]\r\nCk1Z=120\r\n[\xA3\xC4ysb]\r\nDYsb=5\r\n", {{"ck1Z", "CK1z", "130"}},
            "[CK1Z]\r\nCk1Z=130\r\n[\xA3\xC4ysb]\r\nDYsb=5\r\n"},
        {"[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", {{"A", "z", "3"}, {"c", "c", "4"}},
            "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n[c]\r\nc=4\r\n"},
        // A last line without its ending is completed.
        {"[a]\nx=1", {{"a", "y", "2"}}, "[a]\nx=1\ny=2\n"},
        {"[a]\r\nx=1", {{"b", "y", "2"}}, "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
        // A duplicated section: the key is where a read finds it.
        {"[a]\r\nx=1\r\n[b]\r\n[a]\r\ny=2\r\n", {{"a", "y", "3"}, {"a", "z", "4"}},
            "[a]\r\nx=1\r\nz=4\r\n[b]\r\n[a]\r\ny=3\r\n"},
        // UTF-8 files stay UTF-8.
        {"\xEF\xBB\xBF[s]\r\nk=" + QStringLiteral("旧").toUtf8() + "\r\n",
            {{"s", "k", "新😀"}, {"节", "k", "值"}},
            "\xEF\xBB\xBF[s]\r\nk=" + QStringLiteral("新😀").toUtf8() + "\r\n["
                + QStringLiteral("节").toUtf8() + "]\r\nk=" + QStringLiteral("值").toUtf8()
                + "\r\n"},
    };
    for (const auto &c : cases) {
        QFile::remove(path());
        if (!c.before.isNull())
            put(c.before);
        IniFile ini(path());
        for (const Write &w : c.writes)
            ASSERT_TRUE(ini.write(w.section, w.key, w.value)) << c.before.toStdString();
        EXPECT_EQ(contents(), c.after) << c.before.toStdString();
        for (const Write &w : c.writes)
            EXPECT_EQ(ini.read(w.section, w.key), w.value) << c.before.toStdString();
        // No temporary file is left beside it.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList {"config.ini"});
    }
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
