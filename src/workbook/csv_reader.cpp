#include "workbook/csv_reader.h"

#include "workbook/text_decoding.h"

namespace {

QChar separatorOf(const QString &text)
{
    const qsizetype lineEnd = text.indexOf(u'\n');
    const QStringView firstLine = QStringView(text).left(lineEnd < 0 ? text.size() : lineEnd);
    return firstLine.contains(u'\t') && !firstLine.contains(u',') ? u'\t' : u',';
}

} // namespace

WorkbookResult readCsv(const QByteArray &bytes)
{
    const QString text = decodeExternalText(bytes);
    const QChar separator = separatorOf(text);
    WorkbookResult result;
    WorkbookSheet sheet(QStringLiteral("Sheet1"));
    int row = 1;
    int column = 1;
    int cells = 0;
    QString field;
    bool quoted = false; // inside a quoted field
    bool lineHasContent = false;
    const auto endField = [&]() -> bool {
        if (!field.isEmpty()) {
            if (!WorkbookSheet::isInside(row, column) || ++cells > Workbook::maxCells)
                return false;
            sheet.setValue(row, column, field);
        }
        field.clear();
        ++column;
        return true;
    };
    const auto tooLarge = [] {
        return WorkbookResult::failure(QStringLiteral("文件中的行、列或单元格过多"));
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != u'"') {
                field += c;
            } else if (i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == u'"' && field.isEmpty()) {
            quoted = true;
            lineHasContent = true;
        } else if (c == separator) {
            lineHasContent = true;
            if (!endField())
                return tooLarge();
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            if (!endField())
                return tooLarge();
            ++row;
            column = 1;
            lineHasContent = false;
        } else {
            field += c;
            lineHasContent = true;
        }
    }
    if (lineHasContent && !endField())
        return tooLarge();
    result.workbook.sheets.append(std::move(sheet));
    return result;
}
