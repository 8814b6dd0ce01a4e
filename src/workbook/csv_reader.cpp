#include "workbook/csv_reader.h"

#include "common/delimited_text.h"
#include "workbook/text_decoding.h"

namespace {

QChar separatorOf(const QString &text)
{
    const qsizetype lineEnd = text.indexOf(u'\n');
    const QStringView firstLine = QStringView(text).left(lineEnd < 0 ? text.size() : lineEnd);
    return firstLine.contains(u'\t') && !firstLine.contains(u',') ? u'\t' : u',';
}

} // namespace

WorkbookResult readCsv(const QByteArray &bytes, int rowLimit, bool wholeFile)
{
    const QString text = decodeExternalText(bytes);
    WorkbookSheet sheet(QStringLiteral("Sheet1"));
    int cells = 0;
    bool pastLimit = false;
    // Empty fields leave their cells empty; the limits stop a huge file early.
    const bool read
        = splitDelimited(text, separatorOf(text), [&](int row, int column, const QString &field) {
              if (row > rowLimit) {
                  pastLimit = true;
                  return false;
              }
              if (field.isEmpty())
                  return true;
              if (!WorkbookSheet::isInside(row, column) || ++cells > Workbook::maxCells)
                  return false;
              sheet.setValue(row, column, field);
              return true;
          });
    if (!read && !pastLimit)
        return WorkbookResult::failure(QStringLiteral("文件中的行、列或单元格过多"));
    if (!wholeFile && !pastLimit)
        return WorkbookResult::failure(
            QStringLiteral("文件过大（超过 %1 MB）").arg(Workbook::maxFileBytes / (1024 * 1024)));
    WorkbookResult result;
    result.workbook.sheets.append(std::move(sheet));
    return result;
}
