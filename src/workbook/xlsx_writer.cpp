#include "workbook/xlsx_writer.h"

#include "common/file_system.h"
#include "workbook/cell_address.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QXmlStreamWriter>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <algorithm>
#include <cmath>
#include <tuple>

bool isDecimalNumber(const QString &text, double *value)
{
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!decimal.match(text).hasMatch())
        return false;
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    if (value)
        *value = number;
    return true;
}

namespace {

constexpr auto mainNamespace = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr auto relationshipNamespace
    = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr auto packageRelationshipNamespace
    = "http://schemas.openxmlformats.org/package/2006/relationships";

// XML cannot hold most control characters, and its readers turn CR LF into
// LF; OOXML strings carry them as _xHHHH_, and so a literal "_x" that reads
// like such an escape is escaped too.
QString escapeXString(const QString &text)
{
    static const QRegularExpression looksEscaped(QStringLiteral("^_x[0-9A-Fa-f]{4}_"));
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool control = c.unicode() < 0x20 && c != u'\t' && c != u'\n';
        const bool invalid = c.unicode() == 0xFFFE || c.unicode() == 0xFFFF;
        if (control || invalid
            || (c == u'_' && looksEscaped.match(QStringView(text).mid(i)).hasMatch()))
            result += QStringLiteral("_x")
                + QString::number(c.unicode(), 16).rightJustified(4, u'0').toUpper() + u'_';
        else
            result += c;
    }
    return result;
}

QString numberValue(double value)
{
    return QString::number(value, 'g', 17);
}

QList<QString> sheetNames(const Workbook &workbook)
{
    static const QRegularExpression refused(QStringLiteral("[\\[\\]:*?/\\\\]"));
    QList<QString> names;
    for (qsizetype i = 0; i < workbook.sheets.size(); ++i) {
        QString name = workbook.sheets[i].name();
        name.replace(refused, QStringLiteral("_"));
        name = name.left(31);
        const auto taken = [&names](const QString &candidate) {
            return std::any_of(names.cbegin(), names.cend(),
                [&](const QString &n) { return n.compare(candidate, Qt::CaseInsensitive) == 0; });
        };
        if (name.trimmed().isEmpty() || name.startsWith(u'\'') || name.endsWith(u'\'')
            || taken(name)) {
            for (int n = int(i) + 1;; ++n) {
                name = QStringLiteral("Sheet%1").arg(n);
                if (!taken(name))
                    break;
            }
        }
        names.append(name);
    }
    return names;
}

QByteArray worksheetXml(const WorkbookSheet &sheet)
{
    // Rows in order and cells in order within them, as the format wants.
    QList<std::tuple<int, int, WorkbookCell>> cells;
    cells.reserve(sheet.cellCount());
    sheet.forEachCell([&cells](int row, int column, const WorkbookCell &cell) {
        cells.append({row, column, cell});
    });
    std::sort(cells.begin(), cells.end(), [](const auto &a, const auto &b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });

    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeDefaultNamespace(QString::fromLatin1(mainNamespace));
    xml.writeStartElement(QStringLiteral("worksheet"));
    xml.writeStartElement(QStringLiteral("sheetData"));
    int openRow = 0;
    for (const auto &[row, column, cell] : cells) {
        if (row != openRow) {
            if (openRow != 0)
                xml.writeEndElement();
            xml.writeStartElement(QStringLiteral("row"));
            xml.writeAttribute(QStringLiteral("r"), QString::number(row));
            openRow = row;
        }
        xml.writeStartElement(QStringLiteral("c"));
        xml.writeAttribute(QStringLiteral("r"), A1::cellText({row, column}));
        double number = 0;
        const bool numeric = isDecimalNumber(cell.value, &number);
        if (!cell.formula.isEmpty()) {
            if (!numeric && !cell.value.isEmpty())
                xml.writeAttribute(QStringLiteral("t"), QStringLiteral("str"));
            // Formulas are not escaped like strings; a control character has
            // no meaning in one and is dropped.
            QString formula = cell.formula.startsWith(u'=') ? cell.formula.mid(1) : cell.formula;
            formula.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\t'; });
            xml.writeTextElement(QStringLiteral("f"), formula);
            if (!cell.value.isEmpty())
                xml.writeTextElement(
                    QStringLiteral("v"), numeric ? numberValue(number) : escapeXString(cell.value));
        } else if (numeric) {
            xml.writeTextElement(QStringLiteral("v"), numberValue(number));
        } else {
            xml.writeAttribute(QStringLiteral("t"), QStringLiteral("inlineStr"));
            xml.writeStartElement(QStringLiteral("is"));
            xml.writeStartElement(QStringLiteral("t"));
            xml.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
            xml.writeCharacters(escapeXString(cell.value));
            xml.writeEndElement();
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return bytes;
}

QByteArray workbookXml(const Workbook &workbook, const QList<QString> &names)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeDefaultNamespace(QString::fromLatin1(mainNamespace));
    xml.writeNamespace(QString::fromLatin1(relationshipNamespace), QStringLiteral("r"));
    xml.writeStartElement(QStringLiteral("workbook"));
    xml.writeStartElement(QStringLiteral("bookViews"));
    xml.writeEmptyElement(QStringLiteral("workbookView"));
    xml.writeAttribute(QStringLiteral("activeTab"),
        QString::number(std::clamp(workbook.activeSheet, 0, int(names.size()) - 1)));
    xml.writeEndElement();
    xml.writeStartElement(QStringLiteral("sheets"));
    for (qsizetype i = 0; i < names.size(); ++i) {
        xml.writeEmptyElement(QStringLiteral("sheet"));
        xml.writeAttribute(QStringLiteral("name"), names[i]);
        xml.writeAttribute(QStringLiteral("sheetId"), QString::number(i + 1));
        xml.writeAttribute(QString::fromLatin1(relationshipNamespace), QStringLiteral("id"),
            QStringLiteral("rId%1").arg(i + 1));
    }
    xml.writeEndDocument();
    return bytes;
}

QByteArray relationshipsXml(const QList<std::pair<QString, QString>> &typesAndTargets)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeDefaultNamespace(QString::fromLatin1(packageRelationshipNamespace));
    xml.writeStartElement(QStringLiteral("Relationships"));
    for (qsizetype i = 0; i < typesAndTargets.size(); ++i) {
        xml.writeEmptyElement(QStringLiteral("Relationship"));
        xml.writeAttribute(QStringLiteral("Id"), QStringLiteral("rId%1").arg(i + 1));
        xml.writeAttribute(QStringLiteral("Type"),
            QString::fromLatin1(relationshipNamespace) + u'/' + typesAndTargets[i].first);
        xml.writeAttribute(QStringLiteral("Target"), typesAndTargets[i].second);
    }
    xml.writeEndDocument();
    return bytes;
}

QByteArray contentTypesXml(int sheets)
{
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.writeStartDocument(QStringLiteral("1.0"), true);
    xml.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    xml.writeStartElement(QStringLiteral("Types"));
    const auto defaultType = [&xml](const char *extension, const char *type) {
        xml.writeEmptyElement(QStringLiteral("Default"));
        xml.writeAttribute(QStringLiteral("Extension"), QString::fromLatin1(extension));
        xml.writeAttribute(QStringLiteral("ContentType"), QString::fromLatin1(type));
    };
    const auto partType = [&xml](const QString &part, const char *type) {
        xml.writeEmptyElement(QStringLiteral("Override"));
        xml.writeAttribute(QStringLiteral("PartName"), part);
        xml.writeAttribute(QStringLiteral("ContentType"),
            QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.")
                + QString::fromLatin1(type));
    };
    defaultType("rels", "application/vnd.openxmlformats-package.relationships+xml");
    defaultType("xml", "application/xml");
    partType(QStringLiteral("/xl/workbook.xml"), "sheet.main+xml");
    for (int i = 1; i <= sheets; ++i)
        partType(QStringLiteral("/xl/worksheets/sheet%1.xml").arg(i), "worksheet+xml");
    xml.writeEndDocument();
    return bytes;
}

} // namespace

QByteArray xlsxBytes(const Workbook &workbook)
{
    const QList<QString> names = sheetNames(workbook);
    QList<std::pair<QString, QByteArray>> parts;
    parts.append({QStringLiteral("[Content_Types].xml"), contentTypesXml(int(names.size()))});
    parts.append({QStringLiteral("_rels/.rels"),
        relationshipsXml({{QStringLiteral("officeDocument"), QStringLiteral("xl/workbook.xml")}})});
    parts.append({QStringLiteral("xl/workbook.xml"), workbookXml(workbook, names)});
    QList<std::pair<QString, QString>> sheetRelationships;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString target = QStringLiteral("worksheets/sheet%1.xml").arg(i + 1);
        sheetRelationships.append({QStringLiteral("worksheet"), target});
        parts.append({QStringLiteral("xl/") + target, worksheetXml(workbook.sheets[i])});
    }
    parts.append(
        {QStringLiteral("xl/_rels/workbook.xml.rels"), relationshipsXml(sheetRelationships)});

    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdCreate))
        return {};
    for (const auto &[name, contents] : parts) {
        QuaZipFile file(&zip);
        if (!file.open(QIODevice::WriteOnly, QuaZipNewInfo(name))
            || file.write(contents) != contents.size())
            return {};
        file.close();
        if (file.getZipError() != ZIP_OK)
            return {};
    }
    zip.close();
    if (zip.getZipError() != ZIP_OK)
        return {};
    return buffer.data();
}

Status writeXlsx(const Workbook &workbook, const QString &path)
{
    if (workbook.sheets.isEmpty())
        return Status::failure(QStringLiteral("无法保存工作簿：没有工作表"));
    const QByteArray bytes = xlsxBytes(workbook);
    if (bytes.isEmpty())
        return Status::failure(QStringLiteral("无法保存工作簿：无法生成文件内容"));
    if (Status written = FileSystem::writeFileAtomically(path, bytes); !written)
        return Status::failure(QStringLiteral("无法保存工作簿：%1").arg(written.message()));
    return Status::success();
}
