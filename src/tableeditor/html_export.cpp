#include "tableeditor/html_export.h"

#include "common/file_system.h"
#include "common/gbk.h"
#include "common/value_text.h"
#include "data/record_store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

namespace HtmlExport {
namespace {

const QString queryAlias = QStringLiteral("qd");
const char lineEnd[] = "\r\n";

// Pending events run after this many cells. Once per cell (hundreds of
// thousands of times in a large export) the event loop would cost more than
// the writing; a few hundred cells take well under a millisecond, so the
// window still repaints smoothly.
constexpr int cellsBetweenEvents = 256;

// Repaints and timers, but no user input: a click must not start a second
// export or close the window while this one is being written.
void runPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

const QString rowHeightStyle = QStringLiteral(" style='height:15.75pt'");

QString cellPrefix(FieldKind kind, bool firstField)
{
    const bool numeric = kind == FieldKind::Number;
    if (firstField) {
        return numeric
            ? QStringLiteral("  <td height=21 class=xl24 align=right") + rowHeightStyle
                + QStringLiteral(" x:num>")
            : QStringLiteral("  <td height=21 class=xl24") + rowHeightStyle + QStringLiteral(">");
    }
    return numeric ? QStringLiteral("  <td class=xl24 align=right x:num>")
                   : QStringLiteral("  <td class=xl24>");
}

void appendLine(QByteArray &out, const QString &line)
{
    out += Gbk::encode(line);
    out += lineEnd;
}

// A value or field name as it goes into a cell. Most values are digits or
// Chinese without markup: they go over in one conversion.
template<typename Bytes>
void appendValue(Bytes &out, QStringView text)
{
    const bool markup = std::any_of(
        text.cbegin(), text.cend(), [](QChar c) { return c == u'&' || c == u'<' || c == u'>'; });
    if (!markup && Gbk::appendGbk(text, out))
        return;
    const QByteArray bytes = Gbk::encode(escaped(text.toString()));
    out.append(bytes.constData(), size_t(bytes.size()));
}

// Everything before the column count: 149 lines, then the open <col tag.
// clang-format off
const char head[] =
    "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\"\r\n"
    "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"\r\n"
    "xmlns=\"http://www.w3.org/TR/REC-html40\">\r\n"
    "\r\n"
    "<head>\r\n"
    "<meta http-equiv=Content-Type content=\"text/html; charset=GB2312\">\r\n"
    "<meta name=ProgId content=Excel.Sheet>\r\n"
    "<meta name=Generator content=\"Microsoft Excel 9\">\r\n"
    "<link rel=File-List href=\"./123.files/filelist.xml\">\r\n"
    "<link rel=Edit-Time-Data href=\"./123.files/editdata.mso\">\r\n"
    "<link rel=OLE-Object-Data href=\"./123.files/oledata.mso\">\r\n"
    "<!--[if gte mso 9]><xml>\r\n"
    " <o:DocumentProperties>\r\n"
    "  <o:Author>仓库管理</o:Author>\r\n"
    "  <o:LastAuthor>仓库管理</o:LastAuthor>\r\n"
    "  <o:Created>2004-08-19T08:50:18Z</o:Created>\r\n"
    "  <o:LastSaved>2004-08-18T12:36:19Z</o:LastSaved>\r\n"
    "  <o:Company>澄州禾岭供电有限责任公司</o:Company>\r\n"
    "  <o:Version>9.2812</o:Version>\r\n"
    " </o:DocumentProperties>\r\n"
    " <o:OfficeDocumentSettings>\r\n"
    "  <o:DownloadComponents/>\r\n"
    "  <o:LocationOfComponents HRef=\"file:///C:/msowc.cab\"/>\r\n"
    " </o:OfficeDocumentSettings>\r\n"
    "</xml><![endif]-->\r\n"
    "<style>\r\n"
    "<!--table\r\n"
    "\t{mso-displayed-decimal-separator:\"\\.\";\r\n"
    "\tmso-displayed-thousand-separator:\"\\,\";}\r\n"
    "@page\r\n"
    "\t{margin:1.0in .75in 1.0in .75in;\r\n"
    "\tmso-header-margin:.5in;\r\n"
    "\tmso-footer-margin:.5in;}\r\n"
    "tr\r\n"
    "\t{mso-height-source:auto;\r\n"
    "\tmso-ruby-visibility:none;}\r\n"
    "col\r\n"
    "\t{mso-width-source:auto;\r\n"
    "\tmso-ruby-visibility:none;}\r\n"
    "br\r\n"
    "\t{mso-data-placement:same-cell;\r\n"
    "\t}\r\n"
    ".style0\r\n"
    "\t{mso-number-format:General;\r\n"
    "\ttext-align:general;\r\n"
    "\tvertical-align:bottom;\r\n"
    "\twhite-space:nowrap;\r\n"
    "\tmso-rotate:0;\r\n"
    "\tmso-background-source:auto;\r\n"
    "\tmso-pattern:auto;\r\n"
    "\tcolor:windowtext;\r\n"
    "\tfont-size:12.0pt;\r\n"
    "\tfont-weight:400;\r\n"
    "\tfont-style:normal;\r\n"
    "\ttext-decoration:none;\r\n"
    "\tfont-family:宋体;\r\n"
    "\tmso-generic-font-family:auto;\r\n"
    "\tmso-font-charset:134;\r\n"
    "\tborder:none;\r\n"
    "\tmso-protection:locked visible;\r\n"
    "\tmso-style-name:常规;\r\n"
    "\tmso-style-id:0;}\r\n"
    "td\r\n"
    "\t{mso-style-parent:style0;\r\n"
    "\tpadding-top:1px;\r\n"
    "\tpadding-right:1px;\r\n"
    "\tpadding-left:1px;\r\n"
    "\tmso-ignore:padding;\r\n"
    "\tcolor:windowtext;\r\n"
    "\tfont-size:12.0pt;\r\n"
    "\tfont-weight:400;\r\n"
    "\tfont-style:normal;\r\n"
    "\ttext-decoration:none;\r\n"
    "\tfont-family:宋体;\r\n"
    "\tmso-generic-font-family:auto;\r\n"
    "\tmso-font-charset:134;\r\n"
    "\tmso-number-format:General;\r\n"
    "\ttext-align:general;\r\n"
    "\tvertical-align:bottom;\r\n"
    "\tborder:none;\r\n"
    "\tmso-background-source:auto;\r\n"
    "\tmso-pattern:auto;\r\n"
    "\tmso-protection:locked visible;\r\n"
    "\twhite-space:nowrap;\r\n"
    "\tmso-rotate:0;}\r\n"
    ".xl24\r\n"
    "\t{mso-style-parent:style0;\r\n"
    "\tfont-family:\"Times New Roman\", serif;\r\n"
    "\tmso-font-charset:0;}\r\n"
    "ruby\r\n"
    "\t{ruby-align:left;}\r\n"
    "rt\r\n"
    "\t{color:windowtext;\r\n"
    "\tfont-size:9.0pt;\r\n"
    "\tfont-weight:400;\r\n"
    "\tfont-style:normal;\r\n"
    "\ttext-decoration:none;\r\n"
    "\tfont-family:宋体;\r\n"
    "\tmso-font-charset:134;\r\n"
    "\tmso-char-type:none;\r\n"
    "\tdisplay:none;}\r\n"
    "-->\r\n"
    "</style>\r\n"
    "<!--[if gte mso 9]><xml>\r\n"
    " <x:ExcelWorkbook>\r\n"
    "  <x:ExcelWorksheets>\r\n"
    "   <x:ExcelWorksheet>\r\n"
    "    <x:Name>Sheet1</x:Name>\r\n"
    "    <x:WorksheetOptions>\r\n"
    "     <x:DefaultRowHeight>285</x:DefaultRowHeight>\r\n"
    "     <x:Selected/>\r\n"
    "     <x:ProtectContents>False</x:ProtectContents>\r\n"
    "     <x:ProtectObjects>False</x:ProtectObjects>\r\n"
    "     <x:ProtectScenarios>False</x:ProtectScenarios>\r\n"
    "    </x:WorksheetOptions>\r\n"
    "   </x:ExcelWorksheet>\r\n"
    "   <x:ExcelWorksheet>\r\n"
    "    <x:Name>Sheet2</x:Name>\r\n"
    "    <x:WorksheetOptions>\r\n"
    "     <x:DefaultRowHeight>285</x:DefaultRowHeight>\r\n"
    "     <x:ProtectContents>False</x:ProtectContents>\r\n"
    "     <x:ProtectObjects>False</x:ProtectObjects>\r\n"
    "     <x:ProtectScenarios>False</x:ProtectScenarios>\r\n"
    "    </x:WorksheetOptions>\r\n"
    "   </x:ExcelWorksheet>\r\n"
    "   <x:ExcelWorksheet>\r\n"
    "    <x:Name>Sheet3</x:Name>\r\n"
    "    <x:WorksheetOptions>\r\n"
    "     <x:DefaultRowHeight>285</x:DefaultRowHeight>\r\n"
    "     <x:ProtectContents>False</x:ProtectContents>\r\n"
    "     <x:ProtectObjects>False</x:ProtectObjects>\r\n"
    "     <x:ProtectScenarios>False</x:ProtectScenarios>\r\n"
    "    </x:WorksheetOptions>\r\n"
    "   </x:ExcelWorksheet>\r\n"
    "  </x:ExcelWorksheets>\r\n"
    "  <x:WindowHeight>6750</x:WindowHeight>\r\n"
    "  <x:WindowWidth>11700</x:WindowWidth>\r\n"
    "  <x:WindowTopX>120</x:WindowTopX>\r\n"
    "  <x:WindowTopY>90</x:WindowTopY>\r\n"
    "  <x:ProtectStructure>False</x:ProtectStructure>\r\n"
    "  <x:ProtectWindows>False</x:ProtectWindows>\r\n"
    " </x:ExcelWorkbook>\r\n"
    "</xml><![endif]-->\r\n"
    "</head>\r\n"
    "\r\n"
    "<body link=blue vlink=purple>\r\n"
    "\r\n"
    "<table x:str border=0 cellpadding=0 cellspacing=0 width=288 style='border-collapse:\r\n"
    " collapse;table-layout:fixed;width:216pt'>\r\n"
    " <col width=72 span=";
// clang-format on

// The head, the column line and the header row of field names.
void writeHead(QByteArray &out, const RecordFile &query)
{
    const int fields = query.fieldCount();
    out += Gbk::encode(QString::fromUtf8(head));
    out += QByteArray::number(fields);
    out += " style='width:54pt'>";
    out += lineEnd;
    out += lineEnd;
    appendLine(
        out, QStringLiteral(" <tr height=21 style='mso-height-source:userset;height:15.75pt'>"));
    for (int field = 1; field <= fields; ++field) {
        out += field == 1 ? "  <td height=21 width=72 style='height:15.75pt;width:54pt'>"
                          : "  <td width=72 style='width:54pt'>";
        appendValue(out, query.fieldName(field));
        out += "</td>";
        out += lineEnd;
    }
    appendLine(out, QStringLiteral(" </tr>"));
}

// The total row: its texts, each in a numeric cell when it reads whole as
// a number, else in a text cell.
void appendTotalRow(QByteArray &out, const QStringList &texts)
{
    appendLine(out, QStringLiteral(" <tr height=21") + rowHeightStyle + u'>');
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString &text = texts[i];
        const bool numeric = !text.trimmed().isEmpty() && wholeNumber(text).has_value();
        out += Gbk::encode(cellPrefix(numeric ? FieldKind::Number : FieldKind::Text, i == 0));
        appendValue(out, text);
        out += "</td>";
        out += lineEnd;
    }
    appendLine(out, QStringLiteral(" </tr>"));
}

} // namespace

QString doneMessage(const QString &target)
{
    const QFileInfo file(target);
    return QStringLiteral("已转换电子表格 %1\n保存在文件夹：%2")
        .arg(file.fileName(), QDir::toNativeSeparators(file.absolutePath()));
}

QString escaped(const QString &text)
{
    bool plain = true;
    for (const QChar c : text) {
        if (c == u'&' || c == u'<' || c == u'>') {
            plain = false;
            break;
        }
    }
    if (plain && Gbk::canEncode(text))
        return text;

    QString result;
    result.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text.at(i);
        const bool pair
            = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype units = pair ? 2 : 1;
        const QStringView character = QStringView(text).mid(i, units);
        i += units;
        if (c == u'&')
            result += QStringLiteral("&amp;");
        else if (c == u'<')
            result += QStringLiteral("&lt;");
        else if (c == u'>')
            result += QStringLiteral("&gt;");
        else if (!Gbk::canEncode(character)) {
            const char32_t code = pair ? QChar::surrogateToUcs4(c, text.at(i - 1)) : c.unicode();
            result += QStringLiteral("&#%1;").arg(quint32(code));
        } else
            result += character;
    }
    return result;
}

bool writeSpreadsheetHtml(RecordStore &store, const QString &recordFile, const QString &target,
    const QStringList &totalRow)
{
    // Read on a handle of its own; the store's, if it has one, closes as it
    // did after an export.
    store.closePath(recordFile);
    RecordFile query;
    if (!query.open(recordFile, queryAlias)) {
        // An earlier export of that name must not pass for this one.
        (void)FileSystem::removeIfExists(target);
        return false;
    }
    // The rows go to the file as they are made: a large table never sits in
    // memory whole, and the old file stays until the new one is complete.
    FileSystem::AtomicFileWriter out(target);
    if (!out.open())
        return false;
    writeHead(out.block(), query);
    runPendingEvents();

    // A row is its values with the fixed markup between them: the row's
    // opening and the first cell's, then from each cell's end to the next
    // cell's start, then the row's end. It is made in a string of its own and
    // goes to the block in one append, a small append each costing more than
    // the bytes it copies.
    const int fields = query.fieldCount();
    std::vector<std::string> glue;
    glue.push_back((Gbk::encode(QStringLiteral(" <tr height=21") + rowHeightStyle + u'>') + lineEnd)
                       .toStdString());
    for (int field = 1; field <= fields; ++field) {
        glue.back() += Gbk::encode(cellPrefix(query.fieldKind(field), field == 1)).toStdString();
        glue.emplace_back("</td>\r\n");
    }
    glue.back() += " </tr>\r\n";

    // One scan in record order, blank records included; values are read into
    // buffers reused from row to row.
    int cells = 0;
    std::vector<std::u16string> buffers(static_cast<size_t>(fields));
    std::string row;
    const Status read = query.forEachRecord([&](const RecordFile &record) {
        row = glue[0];
        for (int field = 1; field <= fields; ++field) {
            appendValue(row, record.readTextInto(field, buffers[size_t(field - 1)]));
            row += glue[size_t(field)];
        }
        out.block().append(row.data(), qsizetype(row.size()));
        out.flushBlock();
        cells += fields;
        if (cells >= cellsBetweenEvents) {
            cells = 0;
            runPendingEvents();
        }
    });
    if (!read)
        return false; // the writer lets the half-written file go
    if (!totalRow.isEmpty())
        appendTotalRow(out.block(), totalRow);
    out.block() += "</table>\r\n</body>\r\n</html>\r\n";
    const Status written = out.commit();
    runPendingEvents();
    return written.ok();
}

QString freeSpreadsheetName(const QString &folder, const QString &name)
{
    const QDir dir(folder);
    for (int i = 1; i <= 1000; ++i) {
        const QString candidate = dir.filePath(name + QString::number(i) + QStringLiteral(".xls"));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    return dir.filePath(name);
}

} // namespace HtmlExport
