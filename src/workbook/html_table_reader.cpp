#include "workbook/html_table_reader.h"

#include "workbook/text_decoding.h"

#include <algorithm>
#include <optional>

namespace {

struct Tag
{
    QString name; // lower case, without "/"
    bool closing = false;
    int colspan = 1;
    qsizetype end = 0; // index after the ">"
};

bool isNameStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Tags a table document uses. Anything else after a "<" is text: exports that
// did not escape "<" hold values such as "x<y".
bool isKnownTag(const QString &name)
{
    static const QStringList known = {QStringLiteral("a"), QStringLiteral("b"),
        QStringLiteral("body"), QStringLiteral("br"), QStringLiteral("caption"),
        QStringLiteral("center"), QStringLiteral("col"), QStringLiteral("colgroup"),
        QStringLiteral("div"), QStringLiteral("em"), QStringLiteral("font"), QStringLiteral("head"),
        QStringLiteral("html"), QStringLiteral("i"), QStringLiteral("img"), QStringLiteral("link"),
        QStringLiteral("meta"), QStringLiteral("nobr"), QStringLiteral("p"), QStringLiteral("s"),
        QStringLiteral("script"), QStringLiteral("span"), QStringLiteral("strong"),
        QStringLiteral("style"), QStringLiteral("sub"), QStringLiteral("sup"),
        QStringLiteral("table"), QStringLiteral("tbody"), QStringLiteral("td"),
        QStringLiteral("tfoot"), QStringLiteral("th"), QStringLiteral("thead"),
        QStringLiteral("title"), QStringLiteral("tr"), QStringLiteral("u"), QStringLiteral("xml")};
    // Namespaced tags (o:p, x:ExcelWorkbook) come from spreadsheet programs.
    return name.contains(u':') || known.contains(name);
}

// The tag starting at text[at] == '<', or nothing when no tag starts there.
std::optional<Tag> readTag(const QString &text, qsizetype at)
{
    qsizetype i = at + 1;
    Tag tag;
    if (i < text.size() && text[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    if (i >= text.size() || !isNameStart(text[i]))
        return std::nullopt;
    const qsizetype nameStart = i;
    while (i < text.size() && (text[i].isLetterOrNumber() || text[i] == u':'))
        ++i;
    tag.name = text.mid(nameStart, i - nameStart).toLower();
    if (!isKnownTag(tag.name))
        return std::nullopt;
    // Attributes up to the closing ">", which may not appear inside a quoted
    // value; a quote opens a value only right after "=".
    const qsizetype attributesStart = i;
    QChar quote;
    QChar previous;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if ((c == u'"' || c == u'\'') && previous == u'=') {
            quote = c;
        } else if (c == u'>') {
            break;
        }
        if (!c.isSpace())
            previous = c;
    }
    tag.end = std::min(i + 1, text.size());
    const QString attributes = text.mid(attributesStart, i - attributesStart).toLower();
    const qsizetype span = attributes.indexOf(QLatin1String("colspan"));
    if (span >= 0) {
        qsizetype j = span + 7;
        while (j < attributes.size() && !attributes[j].isDigit() && attributes[j] != u' ')
            ++j;
        qsizetype digitsEnd = j;
        while (digitsEnd < attributes.size() && attributes[digitsEnd].isDigit())
            ++digitsEnd;
        const int value = QStringView(attributes).mid(j, digitsEnd - j).toInt();
        tag.colspan = std::clamp(value, 1, WorkbookSheet::maxColumns);
    }
    return tag;
}

QString collapsed(QStringView raw)
{
    QString text;
    text.reserve(raw.size());
    bool space = false;
    for (QChar c : raw) {
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f') {
            space = true;
        } else {
            if (space)
                text += u' ';
            space = false;
            text += c;
        }
    }
    if (space)
        text += u' ';
    return text;
}

QString trimmedLines(const QString &text)
{
    QStringList lines = text.split(u'\n');
    for (QString &line : lines)
        line = line.trimmed();
    return lines.join(u'\n');
}

} // namespace

QString decodeHtmlEntities(QStringView text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype semicolon = text[i] == u'&' ? text.indexOf(u';', i + 1) : -1;
        if (semicolon < 0 || semicolon - i > 10) {
            result += text[i];
            continue;
        }
        const QStringView name = text.mid(i + 1, semicolon - i - 1);
        char32_t code = 0;
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
            code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = ok ? 0xFFFD : 0;
        } else if (name == QLatin1String("amp")) {
            code = u'&';
        } else if (name == QLatin1String("lt")) {
            code = u'<';
        } else if (name == QLatin1String("gt")) {
            code = u'>';
        } else if (name == QLatin1String("quot")) {
            code = u'"';
        } else if (name == QLatin1String("apos")) {
            code = u'\'';
        } else if (name == QLatin1String("nbsp")) {
            code = u' ';
        }
        if (code == 0) {
            result += text[i];
            continue;
        }
        result += QString::fromUcs4(&code, 1);
        i = semicolon;
    }
    return result;
}

WorkbookResult readHtmlTable(const QByteArray &bytes, int rowLimit)
{
    const QString text = decodeExternalText(bytes);
    WorkbookSheet sheet(QStringLiteral("Sheet1"));
    int row = 0;
    int column = 0;
    int span = 1;
    int cells = 0;
    bool inCell = false;
    QString cell;
    const auto closeCell = [&]() -> bool {
        if (!inCell)
            return true;
        inCell = false;
        const QString value = trimmedLines(decodeHtmlEntities(cell));
        cell.clear();
        if (!value.isEmpty() && row <= rowLimit) {
            if (!WorkbookSheet::isInside(row, column) || ++cells > Workbook::maxCells)
                return false;
            sheet.setValue(row, column, value);
        }
        return true;
    };
    const auto skipPast = [&](qsizetype from, QLatin1StringView end) {
        const qsizetype found = text.indexOf(end, from, Qt::CaseInsensitive);
        return found < 0 ? text.size() : found + end.size();
    };

    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype lt = text.indexOf(u'<', i);
        const qsizetype textEnd = lt < 0 ? text.size() : lt;
        if (inCell)
            cell += collapsed(QStringView(text).mid(i, textEnd - i));
        if (lt < 0)
            break;
        if (QStringView(text).mid(lt).startsWith(QLatin1String("<!--"))) {
            i = skipPast(lt + 4, QLatin1String("-->"));
            continue;
        }
        if (lt + 1 < text.size() && (text[lt + 1] == u'!' || text[lt + 1] == u'?')) {
            i = skipPast(lt, QLatin1String(">"));
            continue;
        }
        const auto tag = readTag(text, lt);
        if (!tag) {
            if (inCell)
                cell += u'<';
            i = lt + 1;
            continue;
        }
        i = tag->end;
        if (!tag->closing
            && (tag->name == QLatin1String("style") || tag->name == QLatin1String("script"))) {
            i = skipPast(i,
                tag->name == QLatin1String("style") ? QLatin1String("</style")
                                                    : QLatin1String("</script"));
            continue;
        }
        const bool cellTag = tag->name == QLatin1String("td") || tag->name == QLatin1String("th");
        if (tag->name == QLatin1String("tr") || tag->name == QLatin1String("table") || cellTag) {
            if (!closeCell())
                return WorkbookResult::failure(QStringLiteral("表格中的行、列或单元格过多"));
        }
        if (tag->name == QLatin1String("tr") && !tag->closing) {
            if (row == rowLimit)
                break;
            ++row;
            column = 0;
            span = 1;
        } else if (cellTag && !tag->closing) {
            if (row == 0) // a cell before any row starts one
                row = 1;
            column = std::min(column + span, WorkbookSheet::maxColumns + 1);
            span = tag->colspan;
            inCell = true;
        } else if (tag->name == QLatin1String("br") && inCell) {
            cell += u'\n';
        }
    }
    if (!closeCell())
        return WorkbookResult::failure(QStringLiteral("表格中的行、列或单元格过多"));
    WorkbookResult result;
    result.workbook.sheets.append(std::move(sheet));
    return result;
}
