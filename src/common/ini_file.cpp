#include "common/ini_file.h"

#include "common/file_system.h"
#include "common/gbk.h"

#include <QDir>
#include <QFileInfo>
#include <QList>

#include <optional>

namespace {

const QByteArray utf8Mark = QByteArrayLiteral("\xEF\xBB\xBF");

// The file is kept as raw lines so that a write changes only the line it
// touches: every other line goes back byte for byte, whatever its encoding.
// Splitting at '\n' is safe in GB18030 and UTF-8 alike, as neither uses that
// byte inside a character; nor '=' (GBK trail bytes start at 0x40).
struct Line
{
    QByteArray text; // without the line ending
    QByteArray ending; // "\r\n", "\n", or empty for a last line without one
};

struct Document
{
    bool utf8 = false;
    QList<Line> lines;

    QString decode(const QByteArray &bytes) const
    {
        return utf8 ? QString::fromUtf8(bytes) : Gbk::decode(bytes);
    }
    QByteArray encode(const QString &text) const
    {
        return utf8 ? text.toUtf8() : Gbk::encode(text);
    }
    // New lines follow the file's first line ending; CR LF, as Windows writes
    // them, for a new file.
    QByteArray newline() const
    {
        for (const Line &line : lines) {
            if (!line.ending.isEmpty())
                return line.ending;
        }
        return QByteArrayLiteral("\r\n");
    }
};

Document parseDocument(QByteArray bytes)
{
    Document document;
    if (bytes.startsWith(utf8Mark)) {
        document.utf8 = true;
        bytes.remove(0, utf8Mark.size());
    }
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        if (newline < 0) {
            document.lines.append({bytes.mid(start), {}});
            break;
        }
        const bool crlf = newline > start && bytes[newline - 1] == '\r';
        const qsizetype end = crlf ? newline - 1 : newline;
        document.lines.append({bytes.mid(start, end - start),
            crlf ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n")});
        start = newline + 1;
    }
    return document;
}

QByteArray serialize(const Document &document)
{
    QByteArray bytes = document.utf8 ? utf8Mark : QByteArray();
    for (const Line &line : document.lines)
        bytes += line.text + line.ending;
    return bytes;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r';
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

// A value as reading gives it back: blanks trimmed, then one pair of quotes.
QString readValue(QStringView raw)
{
    QStringView value = trimmed(raw);
    if (value.size() >= 2 && value.front() == value.back()
        && (value.front() == u'"' || value.front() == u'\'')) {
        value = value.sliced(1, value.size() - 2);
    }
    return value.toString();
}

// What to write after '=' so that reading gives the value back unchanged: a
// value with outer blanks or outer quotes gets a pair of quotes of its own.
QString storedValue(const QString &value)
{
    if (readValue(value) == value)
        return value;
    return u'"' + value + u'"';
}

// Settings names are compared like Windows does for its profile files, but
// folding ASCII letters only: the result never depends on the system locale.
bool sameName(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x >= u'A' && x <= u'Z')
            x += u'a' - u'A';
        if (y >= u'A' && y <= u'Z')
            y += u'a' - u'A';
        if (x != y)
            return false;
    }
    return true;
}

// The section name of a "[name]" line.
std::optional<QString> sectionName(QStringView line)
{
    const QStringView text = trimmed(line);
    if (!text.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = text.lastIndexOf(u']');
    if (close < 0)
        return std::nullopt;
    return trimmed(text.sliced(1, close - 1)).toString();
}

struct Entry
{
    QString key;
    QString rawValue;
};

// The key and value of a "key=value" line; comments and other lines have none.
std::optional<Entry> entry(QStringView line)
{
    const QStringView text = trimmed(line);
    if (text.startsWith(u';'))
        return std::nullopt;
    const qsizetype equals = text.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return Entry {trimmed(text.first(equals)).toString(), text.sliced(equals + 1).toString()};
}

struct Location
{
    qsizetype keyLine = -1; // the line holding the key
    qsizetype sectionEnd = -1; // last non-blank line of the first matching section
};

// Finds a key. Like the profile functions, a section that occurs twice is
// searched in both places; a new key goes to the first one.
Location locate(const Document &document, const QString &section, const QString &key)
{
    Location location;
    bool inSection = false, inFirstSection = false;
    for (qsizetype i = 0; i < document.lines.size(); ++i) {
        const QString line = document.decode(document.lines[i].text);
        if (const auto name = sectionName(line)) {
            inSection = sameName(*name, section);
            inFirstSection = inSection && location.sectionEnd < 0;
            if (inFirstSection)
                location.sectionEnd = i;
            continue;
        }
        if (!inSection)
            continue;
        if (const auto found = entry(line); found && sameName(found->key, key)) {
            location.keyLine = i;
            return location;
        }
        if (inFirstSection && !trimmed(line).isEmpty())
            location.sectionEnd = i;
    }
    return location;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool isValidName(const QString &name)
{
    return !name.isEmpty() && !hasLineBreak(name) && trimmed(name).size() == name.size();
}

Status checkStorable(const IniFile::Setting &setting, const QString &where)
{
    const QString &section = setting.section, &key = setting.key;
    if (!isValidName(section) || section.contains(u']'))
        return Status::failure(QStringLiteral("“%1”不能作为 %2 的节名").arg(section, where));
    if (!isValidName(key) || key.contains(u'=') || key.startsWith(u';') || key.startsWith(u'['))
        return Status::failure(QStringLiteral("“%1”不能作为 %2 的键名").arg(key, where));
    if (hasLineBreak(setting.value))
        return Status::failure(QStringLiteral("%2 中 %1 的值含有换行").arg(key, where));
    return Status::success();
}

// The file's bytes; a missing file is an empty one.
Status readBytes(const QString &path, QByteArray *bytes)
{
    bytes->clear();
    if (!QFileInfo::exists(path))
        return Status::success();
    return FileSystem::readRegularFile(path, IniFile::maxBytes, bytes);
}

void put(Document &document, const IniFile::Setting &setting)
{
    const QByteArray newline = document.newline();
    const Location location = locate(document, setting.section, setting.key);
    const QString stored = storedValue(setting.value);

    if (location.keyLine >= 0) {
        // Keep everything up to '=' (the key as spelled, its indentation).
        Line &line = document.lines[location.keyLine];
        line.text = line.text.left(line.text.indexOf('=') + 1) + document.encode(stored);
        return;
    }
    QList<Line> added;
    if (location.sectionEnd < 0)
        added.append({document.encode(u'[' + setting.section + u']'), newline});
    added.append({document.encode(setting.key + u'=' + stored), newline});
    const qsizetype after
        = location.sectionEnd >= 0 ? location.sectionEnd : document.lines.size() - 1;
    if (after >= 0 && document.lines[after].ending.isEmpty())
        document.lines[after].ending = newline;
    for (qsizetype i = 0; i < added.size(); ++i)
        document.lines.insert(after + 1 + i, added[i]);
}

} // namespace

QString IniFile::Contents::read(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    for (const Setting &setting : settings_)
        if (sameName(setting.section, section) && sameName(setting.key, key))
            return setting.value;
    return defaultValue;
}

IniFile::IniFile(QString path)
    : path_(std::move(path))
{ }

IniFile::Contents IniFile::load() const
{
    QByteArray bytes;
    if (!readBytes(path_, &bytes))
        return {};
    return parse(bytes);
}

IniFile::Contents IniFile::parse(const QByteArray &bytes)
{
    Contents contents;
    const Document document = parseDocument(bytes);
    std::optional<QString> section; // none before the first section line
    for (const Line &line : document.lines) {
        const QString text = document.decode(line.text);
        if (auto name = sectionName(text)) {
            section = std::move(name);
            continue;
        }
        if (!section)
            continue;
        if (const auto found = entry(text))
            contents.settings_.append({*section, found->key, readValue(found->rawValue)});
    }
    return contents;
}

QByteArray IniFile::withSettings(const QByteArray &bytes, const QList<Setting> &settings)
{
    Document document = parseDocument(bytes);
    for (const Setting &setting : settings)
        put(document, setting);
    return serialize(document);
}

QString IniFile::read(const QString &section, const QString &key, const QString &defaultValue) const
{
    return load().read(section, key, defaultValue);
}

Status IniFile::write(const QString &section, const QString &key, const QString &value)
{
    return write(QList<Setting> {{section, key, value}});
}

Status IniFile::write(const QList<Setting> &settings)
{
    const QString where = QDir::toNativeSeparators(path_);
    for (const Setting &setting : settings) {
        Status s = checkStorable(setting, where);
        if (!s)
            return s;
    }
    // A file that cannot be read is not replaced by one holding only these values.
    QByteArray bytes;
    Status s = readBytes(path_, &bytes);
    if (!s)
        return s;
    return FileSystem::writeFileAtomically(path_, withSettings(bytes, settings));
}
