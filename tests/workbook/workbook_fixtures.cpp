#include "workbook/workbook_fixtures.h"

#include <QBuffer>
#include <QFile>
#include <QtEndian>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <cstring>

QString xlsxFixture(const char *name)
{
    return QStringLiteral(WORKBOOK_FIXTURE_DIR "/") + QString::fromLatin1(name);
}

QString copyXlsxFixture(const char *name, const QString &target)
{
    QFile::remove(target);
    QFile::copy(xlsxFixture(name), target);
    return target;
}

QByteArray makeZip(const ZipEntries &entries, bool deflate)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    QuaZip zip(&buffer);
    zip.open(QuaZip::mdCreate);
    for (const auto &[name, contents] : entries) {
        QuaZipFile file(&zip);
        file.open(QIODevice::WriteOnly, QuaZipNewInfo(name), nullptr, 0, deflate ? Z_DEFLATED : 0,
            deflate ? Z_BEST_COMPRESSION : 0);
        file.write(contents);
        file.close();
    }
    zip.close();
    return buffer.data();
}

void claimUncompressedSize(QByteArray &zip, const QString &name, quint32 size)
{
    const QByteArray entryName = name.toUtf8();
    // Local headers: signature, then the size at 22 and the name at 30.
    // Central directory records: the size at 24 and the name at 46.
    struct Header
    {
        const char *signature;
        int sizeAt;
        int nameLengthAt;
        int nameAt;
    };
    for (const Header header :
        {Header {"PK\x03\x04", 22, 26, 30}, Header {"PK\x01\x02", 24, 28, 46}}) {
        for (qsizetype at = zip.indexOf(header.signature); at >= 0;
             at = zip.indexOf(header.signature, at + 4)) {
            const quint16 length
                = qFromLittleEndian<quint16>(zip.constData() + at + header.nameLengthAt);
            if (zip.mid(at + header.nameAt, length) == entryName)
                qToLittleEndian<quint32>(size, zip.data() + at + header.sizeAt);
        }
    }
}

QByteArray makeXlsxPackage(const QList<QByteArray> &sheetData, const QByteArray &sharedStrings,
    const QByteArray &workbookExtra, const ZipEntries &extraParts)
{
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    QByteArray sheets;
    QByteArray relationships;
    ZipEntries entries;
    for (int i = 1; i <= sheetData.size(); ++i) {
        const QByteArray n = QByteArray::number(i);
        sheets += "<sheet name=\"S" + n + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        relationships += "<Relationship Id=\"rId" + n + "\" Type=\"" + rel
            + "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        entries.append({QStringLiteral("xl/worksheets/sheet%1.xml").arg(i),
            "<?xml version=\"1.0\"?><worksheet xmlns=\"" + main + "\"><sheetData>"
                + sheetData[i - 1] + "</sheetData></worksheet>"});
    }
    if (!sharedStrings.isNull()) {
        relationships += "<Relationship Id=\"rIdS\" Type=\"" + rel
            + "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
        entries.append({QStringLiteral("xl/sharedStrings.xml"),
            "<sst xmlns=\"" + main + "\">" + sharedStrings + "</sst>"});
    }
    entries.append({QStringLiteral("xl/workbook.xml"),
        "<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel + "\">" + workbookExtra + "<sheets>"
            + sheets + "</sheets></workbook>"});
    entries.append({QStringLiteral("xl/_rels/workbook.xml.rels"),
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            + relationships + "</Relationships>"});
    entries += extraParts;
    return makeZip(entries);
}

namespace {

class Bytes
{
public:
    Bytes &u8(quint8 v) { return raw(&v, 1); }
    Bytes &u16(quint16 v)
    {
        char b[2];
        qToLittleEndian(v, b);
        return raw(b, 2);
    }
    Bytes &u32(quint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        return raw(b, 4);
    }
    Bytes &f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        char b[8];
        qToLittleEndian(bits, b);
        return raw(b, 8);
    }
    Bytes &utf16(const QString &text)
    {
        for (QChar c : text)
            u16(c.unicode());
        return *this;
    }
    Bytes &raw(const void *data, int size)
    {
        bytes.append(static_cast<const char *>(data), size);
        return *this;
    }
    Bytes &zeros(int size)
    {
        bytes.append(size, '\0');
        return *this;
    }

    QByteArray bytes;
};

void record(QByteArray &stream, quint16 type, const QByteArray &data)
{
    stream += Bytes().u16(type).u16(quint16(data.size())).bytes + data;
}

QByteArray bof(quint16 kind)
{
    return Bytes().u16(0x0600).u16(kind).u16(0x0DBB).u16(0x07CC).u32(0).u32(6).bytes;
}

QByteArray xf(quint16 format)
{
    return Bytes().u16(0).u16(format).u16(0x0001).zeros(14).bytes;
}

constexpr quint32 endOfChain = 0xFFFFFFFE;
constexpr quint32 freeSector = 0xFFFFFFFF;

QByteArray directoryEntry(
    const QString &name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    Bytes entry;
    entry.utf16(name).zeros(64 - 2 * int(name.size()));
    entry.u16(quint16(name.isEmpty() ? 0 : 2 * (name.size() + 1))).u8(type).u8(1);
    entry.u32(freeSector).u32(freeSector).u32(child).zeros(16 + 4 + 16);
    entry.u32(start).u32(size).u32(0);
    return entry.bytes;
}

} // namespace

QByteArray makeXls(const QString &sheetName, const QList<XlsCell> &cells)
{
    QStringList strings;
    for (const XlsCell &cell : cells) {
        if (cell.kind == XlsCell::Text && !strings.contains(cell.text))
            strings.append(cell.text);
    }

    QByteArray globals;
    record(globals, 0x0809, bof(0x0005));
    record(globals, 0x0042, Bytes().u16(1200).bytes); // code page: UTF-16
    record(globals, 0x0022, Bytes().u16(0).bytes); // 1900 dates
    record(globals, 0x00E0, xf(0)); // XF 0: General
    record(globals, 0x00E0, xf(14)); // XF 1: a built-in date format
    const qsizetype sheetOffsetAt = globals.size() + 4;
    record(globals, 0x0085,
        Bytes().u32(0).u8(0).u8(0).u8(quint8(sheetName.size())).u8(1).utf16(sheetName).bytes);
    Bytes sst;
    sst.u32(quint32(strings.size())).u32(quint32(strings.size()));
    for (const QString &s : strings)
        sst.u16(quint16(s.size())).u8(1).utf16(s);
    record(globals, 0x00FC, sst.bytes);
    record(globals, 0x000A, {});
    qToLittleEndian<quint32>(quint32(globals.size()), globals.data() + sheetOffsetAt);

    int lastRow = 0, lastColumn = 0;
    for (const XlsCell &cell : cells) {
        lastRow = std::max(lastRow, cell.row);
        lastColumn = std::max(lastColumn, cell.column);
    }
    QByteArray sheet;
    record(sheet, 0x0809, bof(0x0010));
    record(sheet, 0x0200,
        Bytes().u32(0).u32(quint32(lastRow + 1)).u16(0).u16(quint16(lastColumn + 1)).u16(0).bytes);
    for (const XlsCell &cell : cells) {
        Bytes at;
        at.u16(quint16(cell.row)).u16(quint16(cell.column));
        switch (cell.kind) {
        case XlsCell::Text:
            record(sheet, 0x00FD, at.u16(0).u32(quint32(strings.indexOf(cell.text))).bytes);
            break;
        case XlsCell::Number:
            record(sheet, 0x0203, at.u16(0).f64(cell.number).bytes);
            break;
        case XlsCell::Integer: // an RK value holding a 30-bit integer
            record(sheet, 0x027E, at.u16(0).u32(quint32(qint32(cell.number)) << 2 | 2).bytes);
            break;
        case XlsCell::Date:
            record(sheet, 0x0203, at.u16(1).f64(cell.number).bytes);
            break;
        }
    }
    record(sheet, 0x000A, {});

    // The stream is padded to the mini-stream cut-off, so that it lives in
    // ordinary sectors and the file needs no mini stream.
    QByteArray stream = globals + sheet;
    if (stream.size() < 4096)
        stream.append(4096 - stream.size(), '\0');
    const int streamSectors = int((stream.size() + 511) / 512);
    stream.append(streamSectors * 512 - stream.size(), '\0');

    Bytes header;
    header.raw("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8).zeros(16);
    header.u16(0x003E).u16(0x0003).u16(0xFFFE).u16(9).u16(6).zeros(6);
    header.u32(0).u32(1).u32(1).u32(0).u32(4096).u32(endOfChain).u32(0).u32(endOfChain).u32(0);
    header.u32(0); // the FAT is sector 0
    for (int i = 1; i < 109; ++i)
        header.u32(freeSector);

    Bytes fat;
    fat.u32(0xFFFFFFFD).u32(endOfChain); // the FAT itself, the directory
    for (int i = 0; i < streamSectors; ++i)
        fat.u32(i + 1 < streamSectors ? quint32(3 + i) : endOfChain);
    while (fat.bytes.size() < 512)
        fat.u32(freeSector);

    QByteArray directory = directoryEntry(QStringLiteral("Root Entry"), 5, 1, endOfChain, 0)
        + directoryEntry(QStringLiteral("Workbook"), 2, freeSector, 2, quint32(stream.size()))
        + directoryEntry(QString(), 0, freeSector, 0, 0)
        + directoryEntry(QString(), 0, freeSector, 0, 0);
    return header.bytes + fat.bytes + directory + stream;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
