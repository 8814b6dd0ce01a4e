#include "workbook/xlsx_reader.h"

#include "common/value_text.h"
#include "workbook/cell_address.h"

#include <QBuffer>
#include <QHash>
#include <QXmlStreamReader>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipfileinfo.h>

#include <cmath>
#include <optional>

namespace {

QString damaged(const QString &why)
{
    return QStringLiteral("工作簿已损坏：%1").arg(why);
}

// The parts of the archive, read on demand within the byte budget.
class PartReader
{
public:
    PartReader(QuaZip &zip, qint64 budget)
        : zip_(zip)
        , budget_(budget)
    {
        for (const QuaZipFileInfo64 &info : zip.getFileInfoList64())
            names_.insert(info.name.toLower(), info.name);
    }

    bool contains(const QString &name) const { return names_.contains(name.toLower()); }

    // The inflated part, or nothing (with error() set) when it is missing,
    // damaged or over the budget.
    std::optional<QByteArray> read(const QString &name)
    {
        const QString stored = names_.value(name.toLower());
        if (stored.isEmpty() || !zip_.setCurrentFile(stored, QuaZip::csSensitive)) {
            error_ = damaged(QStringLiteral("缺少 %1").arg(name));
            return std::nullopt;
        }
        QuaZipFileInfo64 info;
        if (!zip_.getCurrentFileInfo(&info)) {
            error_ = damaged(QStringLiteral("无法读取 %1").arg(name));
            return std::nullopt;
        }
        if (info.uncompressedSize > quint64(budget_)) {
            error_ = tooLarge();
            return std::nullopt;
        }
        QuaZipFile file(&zip_);
        if (!file.open(QIODevice::ReadOnly)) {
            error_ = damaged(QStringLiteral("无法解压 %1").arg(name));
            return std::nullopt;
        }
        QByteArray bytes;
        char chunk[64 * 1024];
        for (;;) {
            const qint64 n = file.read(chunk, sizeof chunk);
            if (n < 0) {
                error_ = damaged(QStringLiteral("无法解压 %1").arg(name));
                return std::nullopt;
            }
            if (n == 0)
                break;
            // The claim above may lie; what inflates is what counts.
            if (n > budget_ - bytes.size()) {
                error_ = tooLarge();
                return std::nullopt;
            }
            bytes.append(chunk, n);
        }
        file.close();
        if (file.getZipError() != UNZ_OK) {
            error_ = damaged(QStringLiteral("%1 的校验和不符").arg(name));
            return std::nullopt;
        }
        budget_ -= bytes.size();
        return bytes;
    }

    const QString &error() const { return error_; }

private:
    static QString tooLarge() { return QStringLiteral("工作簿解压后过大，拒绝读取"); }

    QuaZip &zip_;
    qint64 budget_;
    QHash<QString, QString> names_; // lower-case name -> stored name
    QString error_;
};

// A part name relative to the folder of `base` ("xl/workbook.xml"), with "."
// and ".." resolved inside the archive; "/x" names the archive root.
QString resolvePart(const QString &base, const QString &target)
{
    QStringList parts;
    if (!target.startsWith(u'/')) {
        parts = base.split(u'/');
        parts.removeLast();
    }
    for (const QString &segment : target.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (segment != QLatin1String("."))
            parts.append(segment);
    }
    return parts.join(u'/');
}

// The relationships part of a part: xl/workbook.xml -> xl/_rels/workbook.xml.rels.
QString relationshipsOf(const QString &part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return part.left(slash + 1) + QStringLiteral("_rels/") + part.mid(slash + 1)
        + QStringLiteral(".rels");
}

// Text in OOXML strings may carry escaped characters as _xHHHH_.
QString unescapeXString(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = QStringView(text).mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                result.append(QChar(code));
                i += 6;
                continue;
            }
        }
        result.append(text[i]);
    }
    return result;
}

// A document parser shares the reader and its failure handling; DTDs are
// refused outright (no workbook part has one, and entities are a way in).
class XmlPart
{
public:
    explicit XmlPart(const QByteArray &bytes)
        : xml(bytes)
    { }

    bool next()
    {
        if (xml.atEnd())
            return false;
        xml.readNext();
        if (xml.tokenType() == QXmlStreamReader::DTD) {
            xml.raiseError(QStringLiteral("DTD"));
            return false;
        }
        return !xml.hasError();
    }
    bool isStart(QLatin1StringView name) const
    {
        return xml.isStartElement() && xml.name() == name;
    }
    bool isEnd(QLatin1StringView name) const { return xml.isEndElement() && xml.name() == name; }
    QString attribute(QLatin1StringView name) const
    {
        return xml.attributes().value(name).toString();
    }
    // The relationship id of an element (r:id in whatever namespace prefix).
    QString relationshipId() const
    {
        for (const QXmlStreamAttribute &a : xml.attributes()) {
            if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
                return a.value().toString();
        }
        return {};
    }
    // The text of a rich or plain string element (si, is): its <t> parts,
    // without the phonetic runs (rPh) that carry a reading of the text.
    QString stringText(QLatin1StringView element)
    {
        QString text;
        int phonetic = 0;
        while (next()) {
            if (isEnd(element))
                break;
            if (isStart(QLatin1String("rPh")))
                ++phonetic;
            else if (isEnd(QLatin1String("rPh")))
                --phonetic;
            else if (isStart(QLatin1String("t")) && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        }
        return unescapeXString(text);
    }
    bool failed() const { return xml.hasError(); }

    QXmlStreamReader xml;
};

struct Relationship
{
    QString type;
    QString target;
};

QHash<QString, Relationship> parseRelationships(const QByteArray &bytes)
{
    QHash<QString, Relationship> relationships;
    XmlPart part(bytes);
    while (part.next()) {
        if (part.isStart(QLatin1String("Relationship"))
            && part.attribute(QLatin1String("TargetMode")) != QLatin1String("External"))
            relationships.insert(part.attribute(QLatin1String("Id")),
                {part.attribute(QLatin1String("Type")), part.attribute(QLatin1String("Target"))});
    }
    return relationships;
}

struct SheetEntry
{
    QString name;
    QString relationshipId;
};

struct WorkbookPart
{
    QList<SheetEntry> sheets;
    bool date1904 = false;
    int activeTab = 0;
    bool failed = false;
};

WorkbookPart parseWorkbookPart(const QByteArray &bytes)
{
    WorkbookPart workbook;
    XmlPart part(bytes);
    while (part.next()) {
        if (part.isStart(QLatin1String("workbookPr"))) {
            const QString value = part.attribute(QLatin1String("date1904"));
            workbook.date1904 = value == QLatin1String("1") || value == QLatin1String("true");
        } else if (part.isStart(QLatin1String("workbookView"))) {
            workbook.activeTab = part.attribute(QLatin1String("activeTab")).toInt();
        } else if (part.isStart(QLatin1String("sheet"))) {
            workbook.sheets.append({part.attribute(QLatin1String("name")), part.relationshipId()});
        }
    }
    workbook.failed = part.failed();
    return workbook;
}

// The shared strings, each cut to a cell's length here, once: the cells that
// show one share the cut text.
struct SharedStrings
{
    QStringList texts;
    QList<bool> cut;
};

SharedStrings parseSharedStrings(const QByteArray &bytes, bool &failed)
{
    SharedStrings strings;
    XmlPart part(bytes);
    while (part.next()) {
        if (part.isStart(QLatin1String("si"))) {
            QString text = part.stringText(QLatin1String("si"));
            strings.cut.append(Workbook::cutToCellLength(text));
            strings.texts.append(std::move(text));
        }
    }
    failed = part.failed();
    return strings;
}

// The date kind of every cell format (the s attribute of a cell indexes it).
QList<XlsxReader::DateKind> parseStyles(const QByteArray &bytes)
{
    QHash<int, QString> customFormats;
    QList<int> formatIds;
    XmlPart part(bytes);
    bool inCellFormats = false;
    while (part.next()) {
        if (part.isStart(QLatin1String("numFmt"))) {
            customFormats.insert(part.attribute(QLatin1String("numFmtId")).toInt(),
                part.attribute(QLatin1String("formatCode")));
        } else if (part.isStart(QLatin1String("cellXfs"))) {
            inCellFormats = true;
        } else if (part.isEnd(QLatin1String("cellXfs"))) {
            inCellFormats = false;
        } else if (inCellFormats && part.isStart(QLatin1String("xf"))) {
            formatIds.append(part.attribute(QLatin1String("numFmtId")).toInt());
        }
    }
    // A damaged style part costs the date texts, not the workbook. Each
    // format is looked at once, however many cell formats use it: a long
    // format code shared by many of them costs its length, not that times
    // their number.
    QHash<int, XlsxReader::DateKind> kindOfFormat;
    QList<XlsxReader::DateKind> kinds;
    kinds.reserve(formatIds.size());
    for (int id : formatIds) {
        auto known = kindOfFormat.constFind(id);
        if (known == kindOfFormat.cend()) {
            const auto custom = customFormats.constFind(id);
            known = kindOfFormat.insert(id,
                custom != customFormats.cend() ? XlsxReader::formatCodeKind(*custom)
                                               : XlsxReader::builtInKind(id));
        }
        kinds.append(*known);
    }
    return kinds;
}

class SheetParser
{
public:
    SheetParser(const SharedStrings &strings, const QList<XlsxReader::DateKind> &styles,
        bool date1904, int cellBudget, int rowLimit)
        : strings_(strings)
        , styles_(styles)
        , date1904_(date1904)
        , cellBudget_(cellBudget)
        , rowLimit_(rowLimit)
    { }

    // Fills the sheet; false with the reason in error() on a damaged part or too
    // many cells.
    bool parse(const QByteArray &bytes, WorkbookSheet &sheet)
    {
        XmlPart part(bytes);
        int row = 0;
        int column = 0;
        while (part.next()) {
            if (part.isStart(QLatin1String("row"))) {
                const int r = part.attribute(QLatin1String("r")).toInt();
                row = r > 0 ? r : row + 1;
                column = 0;
            } else if (part.isStart(QLatin1String("c"))) {
                const auto address = A1::parseCell(part.attribute(QLatin1String("r")));
                if (address) {
                    row = address->row;
                    column = address->column;
                } else {
                    ++column;
                }
                const WorkbookCell cell = readCell(part);
                if (cell.isEmpty() || !WorkbookSheet::isInside(row, column) || row > rowLimit_)
                    continue;
                if (--cellBudget_ < 0) {
                    error_ = QStringLiteral("工作簿中的单元格过多（超过 %1 个）")
                                 .arg(Workbook::maxCells);
                    return false;
                }
                sheet.setCell(row, column, cell);
            }
        }
        if (part.failed()) {
            error_ = damaged(QStringLiteral("工作表“%1”的内容无效").arg(sheet.name()));
            return false;
        }
        return true;
    }

    int cellBudget() const { return cellBudget_; }
    const QString &error() const { return error_; }

private:
    WorkbookCell readCell(XmlPart &part)
    {
        const QString type = part.attribute(QLatin1String("t"));
        const int style = part.attribute(QLatin1String("s")).toInt();
        QString value;
        QString inlineText;
        QString formula;
        while (part.next()) {
            if (part.isEnd(QLatin1String("c")))
                break;
            if (part.isStart(QLatin1String("v")))
                value = part.xml.readElementText(QXmlStreamReader::SkipChildElements);
            else if (part.isStart(QLatin1String("f")))
                formula = part.xml.readElementText(QXmlStreamReader::SkipChildElements);
            else if (part.isStart(QLatin1String("is")))
                inlineText = part.stringText(QLatin1String("is"));
        }
        WorkbookCell cell;
        if (!formula.isEmpty())
            cell.formula = u'=' + formula;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (ok && index >= 0 && index < strings_.texts.size()) {
                cell.value = strings_.texts[index];
                cell.cut = strings_.cut[index];
            }
        } else {
            cell.value = displayText(type, style, value, inlineText);
        }
        return cell;
    }

    QString displayText(
        const QString &type, int style, const QString &value, const QString &inlineText) const
    {
        if (type == QLatin1String("inlineStr"))
            return inlineText;
        if (type == QLatin1String("str"))
            return unescapeXString(value);
        if (type == QLatin1String("b"))
            return value.isEmpty() ? QString() : valueText(QVariant(value.trimmed() != u'0'));
        if (type == QLatin1String("d")) {
            const QDateTime moment = QDateTime::fromString(value, Qt::ISODate);
            if (!moment.isValid())
                return value;
            return moment.time() == QTime(0, 0) ? dateText(moment.date()) : dateTimeText(moment);
        }
        if (type == QLatin1String("e") || value.isEmpty())
            return value;
        bool ok = false;
        const double number = value.toDouble(&ok);
        if (!ok || !std::isfinite(number))
            return value;
        const auto kind
            = style >= 0 && style < styles_.size() ? styles_[style] : XlsxReader::DateKind::None;
        return XlsxReader::serialText(number, kind, date1904_);
    }

    const SharedStrings &strings_;
    const QList<XlsxReader::DateKind> &styles_;
    bool date1904_;
    int cellBudget_;
    int rowLimit_;
    QString error_;
};

// The main part's name from the package relationships; the usual name when the
// package has none.
QString workbookPartName(PartReader &parts)
{
    const QString packageRels = QStringLiteral("_rels/.rels");
    if (parts.contains(packageRels)) {
        if (const auto bytes = parts.read(packageRels)) {
            for (const Relationship &r : parseRelationships(*bytes)) {
                if (r.type.endsWith(QLatin1String("/officeDocument")))
                    return resolvePart(QString(), r.target);
            }
        }
    }
    return QStringLiteral("xl/workbook.xml");
}

} // namespace

XlsxReader::DateKind XlsxReader::builtInKind(int id)
{
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54)
        || id == 57 || id == 58)
        return DateKind::Date;
    if (id == 22)
        return DateKind::DateTime;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || id == 55
        || id == 56)
        return DateKind::Time;
    return DateKind::None;
}

XlsxReader::DateKind XlsxReader::formatCodeKind(const QString &code)
{
    // Only the section for positive numbers decides; quoted text, escaped and
    // padding characters and bracketed parts (colours, locales) say nothing,
    // except elapsed-time brackets such as [h].
    bool date = false;
    bool time = false;
    bool month = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i].toLower();
        if (c == u';')
            break;
        if (c == u'"') {
            const qsizetype close = code.indexOf(u'"', i + 1);
            i = close < 0 ? code.size() : close;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i;
        } else if (c == u'[') {
            const qsizetype close = code.indexOf(u']', i + 1);
            const QString inner = code.mid(i + 1, close < 0 ? -1 : close - i - 1).toLower();
            if (!inner.isEmpty() && (inner[0] == u'h' || inner[0] == u'm' || inner[0] == u's'))
                time = true;
            i = close < 0 ? code.size() : close;
        } else if (c == u'y' || c == u'd') {
            date = true;
        } else if (c == u'h' || c == u's') {
            time = true;
        } else if (c == u'm') {
            month = true;
        }
    }
    // "m" is a month unless hours or seconds make it minutes.
    if (month && !time)
        date = true;
    if (date && time)
        return DateKind::DateTime;
    if (date)
        return DateKind::Date;
    return time ? DateKind::Time : DateKind::None;
}

QString XlsxReader::serialText(double serial, DateKind kind, bool date1904)
{
    constexpr double lastSerial = 2958466; // after 9999-12-31
    if (kind == DateKind::None || serial < 0 || serial >= lastSerial)
        return numberText(serial);
    double days = std::floor(serial);
    qint64 seconds = std::llround((serial - days) * 86400.0);
    if (seconds >= 86400) {
        days += 1;
        seconds -= 86400;
    }
    const QTime time = QTime(0, 0).addSecs(seconds);
    if (kind == DateKind::Time)
        return time.toString(QStringLiteral("HH:mm:ss"));
    QDate date;
    if (date1904)
        date = QDate(1904, 1, 1).addDays(qint64(days));
    else if (days >= 61)
        date = QDate(1899, 12, 30).addDays(qint64(days));
    else // before the 29 February 1900 that the 1900 system counts
        date = QDate(1899, 12, 31).addDays(qint64(days) - (days == 60 ? 1 : 0));
    if (kind == DateKind::Date)
        return dateText(date);
    return dateTimeText(QDateTime(date, time));
}

WorkbookResult XlsxReader::read(const QByteArray &zipBytes) const
{
    QBuffer buffer;
    buffer.setData(zipBytes);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip))
        return WorkbookResult::failure(QStringLiteral("不是有效的 .xlsx 工作簿（zip 结构无效）"));
    const int entries = zip.getEntriesCount();
    if (entries < 0)
        return WorkbookResult::failure(QStringLiteral("不是有效的 .xlsx 工作簿（zip 结构无效）"));
    if (entries > limits_.maxEntries)
        return WorkbookResult::failure(
            QStringLiteral("工作簿中的条目过多（超过 %1 个），拒绝读取").arg(limits_.maxEntries));

    PartReader parts(zip, limits_.maxUncompressedBytes);
    const QString workbookName = workbookPartName(parts);
    if (!parts.contains(workbookName))
        return WorkbookResult::failure(
            QStringLiteral("不是 .xlsx 工作簿（缺少 %1）").arg(workbookName));
    const auto workbookBytes = parts.read(workbookName);
    if (!workbookBytes)
        return WorkbookResult::failure(parts.error());
    const WorkbookPart workbookPart = parseWorkbookPart(*workbookBytes);
    if (workbookPart.failed)
        return WorkbookResult::failure(damaged(workbookName));
    if (workbookPart.sheets.size() > Workbook::maxSheets)
        return WorkbookResult::failure(damaged(QStringLiteral("工作表过多")));

    QHash<QString, Relationship> relationships;
    if (const QString relsName = relationshipsOf(workbookName); parts.contains(relsName)) {
        const auto bytes = parts.read(relsName);
        if (!bytes)
            return WorkbookResult::failure(parts.error());
        relationships = parseRelationships(*bytes);
    }

    // Shared strings and styles are optional parts; the usual names serve when
    // the relationships do not name them.
    QString stringsName = resolvePart(workbookName, QStringLiteral("sharedStrings.xml"));
    QString stylesName = resolvePart(workbookName, QStringLiteral("styles.xml"));
    for (const Relationship &r : std::as_const(relationships)) {
        if (r.type.endsWith(QLatin1String("/sharedStrings")))
            stringsName = resolvePart(workbookName, r.target);
        else if (r.type.endsWith(QLatin1String("/styles")))
            stylesName = resolvePart(workbookName, r.target);
    }
    SharedStrings strings;
    if (parts.contains(stringsName)) {
        const auto bytes = parts.read(stringsName);
        if (!bytes)
            return WorkbookResult::failure(parts.error());
        bool failed = false;
        strings = parseSharedStrings(*bytes, failed);
        if (failed)
            return WorkbookResult::failure(damaged(stringsName));
    }
    QList<DateKind> styles;
    if (parts.contains(stylesName)) {
        const auto bytes = parts.read(stylesName);
        if (!bytes)
            return WorkbookResult::failure(parts.error());
        styles = parseStyles(*bytes);
    }

    WorkbookResult result;
    int cellBudget = Workbook::maxCells;
    for (const SheetEntry &entry : workbookPart.sheets) {
        WorkbookSheet sheet(entry.name);
        const Relationship relationship = relationships.value(entry.relationshipId);
        // Chart and dialog sheets count as sheets but hold no cells.
        if (relationship.type.endsWith(QLatin1String("/worksheet"))) {
            const auto bytes = parts.read(resolvePart(workbookName, relationship.target));
            if (!bytes)
                return WorkbookResult::failure(parts.error());
            SheetParser parser(strings, styles, workbookPart.date1904, cellBudget, limits_.maxRows);
            if (!parser.parse(*bytes, sheet))
                return WorkbookResult::failure(parser.error());
            cellBudget = parser.cellBudget();
        }
        result.workbook.sheets.append(std::move(sheet));
    }
    if (result.workbook.sheets.isEmpty())
        return WorkbookResult::failure(damaged(QStringLiteral("没有工作表")));
    if (workbookPart.activeTab > 0 && workbookPart.activeTab < result.workbook.sheets.size())
        result.workbook.activeSheet = workbookPart.activeTab;
    return result;
}
