#include "workbook/spreadsheet_xml_reader.h"

#include "common/value_text.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace {

QString attribute(const QXmlStreamReader &xml, QLatin1StringView name)
{
    for (const QXmlStreamAttribute &a : xml.attributes()) {
        if (a.name() == name)
            return a.value().toString();
    }
    return {};
}

QString dataText(const QString &type, const QString &raw)
{
    if (type == QLatin1String("Number")) {
        bool ok = false;
        const double value = raw.toDouble(&ok);
        return ok && std::isfinite(value) ? numberText(value) : raw;
    }
    if (type == QLatin1String("DateTime")) {
        const QDateTime moment = QDateTime::fromString(raw, Qt::ISODateWithMs);
        if (!moment.isValid())
            return raw;
        return moment.time() == QTime(0, 0) ? dateText(moment.date()) : dateTimeText(moment);
    }
    if (type == QLatin1String("Boolean"))
        return valueText(QVariant(raw.trimmed() != u'0'));
    return raw;
}

} // namespace

WorkbookResult readSpreadsheetXml(const QByteArray &bytes, int rowLimit)
{
    QXmlStreamReader xml(bytes);
    WorkbookResult result;
    QList<WorkbookSheet> &sheets = result.workbook.sheets;
    int row = 0;
    int column = 0; // the last column taken, merges included
    int cellColumn = 0; // the column of the cell opened last
    int cells = 0;
    WorkbookCell cell;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD) {
            xml.raiseError(QStringLiteral("DTD"));
            break;
        }
        if (!xml.isStartElement())
            continue;
        const auto name = xml.name();
        if (name == QLatin1String("Worksheet")) {
            if (sheets.size() == Workbook::maxSheets)
                return WorkbookResult::failure(QStringLiteral("工作簿已损坏：工作表过多"));
            sheets.append(WorkbookSheet(attribute(xml, QLatin1String("Name"))));
            row = 0;
        } else if (name == QLatin1String("Row") && !sheets.isEmpty()) {
            const int index = attribute(xml, QLatin1String("Index")).toInt();
            row = index > 0 ? index : row + 1;
            column = 0;
        } else if (name == QLatin1String("Cell") && !sheets.isEmpty() && row > 0
            && row <= rowLimit) {
            const int index = attribute(xml, QLatin1String("Index")).toInt();
            cellColumn = index > 0 ? index : column + 1;
            // The cells a merge covers are skipped by the next cell's number.
            column = std::min(cellColumn
                    + std::clamp(attribute(xml, QLatin1String("MergeAcross")).toInt(), 0,
                        WorkbookSheet::maxColumns),
                WorkbookSheet::maxColumns + 1);
            cell = {{}, attribute(xml, QLatin1String("Formula"))};
            if (!cell.formula.isEmpty())
                sheets.last().setCell(row, cellColumn, cell);
        } else if (name == QLatin1String("Data") && !sheets.isEmpty() && row > 0 && row <= rowLimit
            && cellColumn > 0) {
            const QString type = attribute(xml, QLatin1String("Type"));
            cell.value
                = dataText(type, xml.readElementText(QXmlStreamReader::IncludeChildElements));
            if (cell.isEmpty())
                continue;
            if (++cells > Workbook::maxCells)
                return WorkbookResult::failure(
                    QStringLiteral("工作簿中的单元格过多（超过 %1 个）").arg(Workbook::maxCells));
            sheets.last().setCell(row, cellColumn, cell);
        }
    }
    if (xml.hasError() || sheets.isEmpty())
        return WorkbookResult::failure(QStringLiteral("不是有效的 XML 电子表格或已损坏"));
    return result;
}
