#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Workbook files for the reader tests, made by the tests rather than kept as
// opaque binaries, so each test shows what its file holds.

// An .xlsx written at build time by libxlsxwriter (xlsx_fixture_writer.cpp):
// "stock-shared.xlsx", "stock-inline.xlsx" (strings in the cells),
// "two-sheets.xlsx", "import.xlsx".
QString xlsxFixture(const char *name);
// A copy of one under another name; the path of the copy.
QString copyXlsxFixture(const char *name, const QString &target);

// A zip holding the given entries (name, contents), deflated or stored.
using ZipEntries = QList<QPair<QString, QByteArray>>;
QByteArray makeZip(const ZipEntries &entries, bool deflate = true);

// Sets the uncompressed size that the zip's local header and central directory
// claim for one entry.
void claimUncompressedSize(QByteArray &zip, const QString &name, quint32 size);

// The smallest .xlsx package around the given worksheet XML parts (sheetData
// contents), shared strings and extra parts; sheet i is named "S<i>".
QByteArray makeXlsxPackage(const QList<QByteArray> &sheetData, const QByteArray &sharedStrings = {},
    const QByteArray &workbookExtra = {}, const ZipEntries &extraParts = {});

// A BIFF8 .xls in an OLE2 compound file, with one worksheet of cells.
struct XlsCell
{
    int row; // 0-based, as BIFF counts
    int column;
    enum Kind { Text, Number, Integer, Date } kind;
    QString text;
    double number = 0;
};
QByteArray makeXls(const QString &sheetName, const QList<XlsCell> &cells);

bool writeFile(const QString &path, const QByteArray &bytes);
