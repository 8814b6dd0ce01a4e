#include "workbook/workbook_file.h"

#include "workbook/csv_reader.h"
#include "workbook/html_table_reader.h"
#include "workbook/spreadsheet_xml_reader.h"
#include "workbook/text_decoding.h"
#include "workbook/xls_reader.h"
#include "workbook/xlsx_reader.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>

namespace {

constexpr char oleMagic[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

QByteArrayView withoutBomAndBlanks(QByteArrayView head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.sliced(3);
    while (!head.isEmpty()
        && (head[0] == ' ' || head[0] == '\t' || head[0] == '\r' || head[0] == '\n'))
        head = head.sliced(1);
    return head;
}

// Text formats get no magic number; binary files (or a damaged workbook that
// lost its own) must still not be shown as cells of garbage. Text has no NUL
// byte and hardly any other control character.
bool looksLikeText(QByteArrayView bytes)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return true; // UTF-16, full of NULs
    const QByteArrayView head = bytes.first(std::min<qsizetype>(bytes.size(), 64 * 1024));
    qsizetype controls = 0;
    for (char c : head) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0)
            return false;
        if (byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n' && byte != '\f')
            ++controls;
    }
    return controls * 100 <= head.size();
}

WorkbookResult readFromFile(const QString &path, const QByteArray &bytes, int rowLimit)
{
    switch (detectWorkbookFormat(bytes)) {
    case WorkbookFormat::Xlsx: {
        XlsxReader::Limits limits;
        limits.maxRows = rowLimit;
        return XlsxReader(limits).read(bytes);
    }
    case WorkbookFormat::Xls:
        return readXlsFile(path, rowLimit);
    case WorkbookFormat::SpreadsheetXml:
        return readSpreadsheetXml(bytes, rowLimit);
    case WorkbookFormat::Html:
    case WorkbookFormat::Csv:
        break;
    }
    if (!looksLikeText(bytes))
        return WorkbookResult::failure(QStringLiteral("不是可以读取的电子表格文件"));
    if (detectWorkbookFormat(bytes) == WorkbookFormat::Html)
        return readHtmlTable(bytes, rowLimit);
    return readCsv(bytes, rowLimit);
}

QString tooLarge()
{
    return QStringLiteral("文件过大（超过 %1 MB）").arg(Workbook::maxFileBytes / (1024 * 1024));
}

// A text file too large to read whole may still hold the first rows a reader
// asks for: its start is read up to the last line end inside the bound (so
// that no character is cut in two), and must reach past those rows.
WorkbookResult readStartOfText(QFile &file, int rowLimit)
{
    QByteArray start = file.read(Workbook::maxFileBytes);
    const bool utf16 = start.startsWith("\xFF\xFE") || start.startsWith("\xFE\xFF");
    if (rowLimit >= WorkbookSheet::maxRows || utf16
        || detectWorkbookFormat(start) != WorkbookFormat::Csv || !looksLikeText(start))
        return WorkbookResult::failure(tooLarge());
    start.truncate(start.lastIndexOf('\n') + 1);
    return readCsv(start, rowLimit, false);
}

} // namespace

WorkbookFormat detectWorkbookFormat(QByteArrayView head)
{
    // A zip's first local header, or the end record of an empty zip; "PK"
    // alone also starts texts such as item codes.
    if (head.startsWith("PK\x03\x04") || head.startsWith("PK\x05\x06"))
        return WorkbookFormat::Xlsx;
    if (head.startsWith(QByteArrayView(oleMagic, 8)))
        return WorkbookFormat::Xls;
    // Text saved as UTF-16 ("Unicode" in Windows editors) is told by the text
    // it holds: an HTML table or XML workbook read as CSV would be one cell of
    // markup.
    QByteArray utf8;
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        utf8 = decodeExternalText(head.first(std::min<qsizetype>(head.size(), 8192) & ~1)).toUtf8();
        head = utf8;
    }
    const QByteArrayView text = withoutBomAndBlanks(head);
    if (!text.startsWith('<'))
        return WorkbookFormat::Csv;
    const QByteArrayView start = text.first(std::min<qsizetype>(text.size(), 4096));
    if (text.startsWith("<?xml") && start.contains("urn:schemas-microsoft-com:office:spreadsheet")
        && !start.contains("<html"))
        return WorkbookFormat::SpreadsheetXml;
    return WorkbookFormat::Html;
}

WorkbookResult readWorkbookFile(const QString &path, int rowLimit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WorkbookResult::failure(QStringLiteral("文件不存在或无法打开"));
    if (file.size() > Workbook::maxFileBytes)
        return readStartOfText(file, rowLimit);
    const QByteArray bytes = file.read(Workbook::maxFileBytes + 1);
    if (bytes.size() > Workbook::maxFileBytes)
        return WorkbookResult::failure(tooLarge());
    if (bytes.isEmpty())
        return WorkbookResult::failure(QStringLiteral("文件是空的"));
    return readFromFile(path, bytes, rowLimit);
}

WorkbookResult readWorkbookData(const QByteArray &bytes, int rowLimit)
{
    if (detectWorkbookFormat(bytes) != WorkbookFormat::Xls)
        return readFromFile(QString(), bytes, rowLimit);
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/workbook-XXXXXX.xls"));
    if (!file.open() || file.write(bytes) != bytes.size() || !file.flush())
        return WorkbookResult::failure(QStringLiteral("无法写入临时文件"));
    file.close();
    return readXlsFile(file.fileName(), rowLimit);
}
