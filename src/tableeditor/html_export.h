#pragma once

#include <QString>
#include <QStringList>

class RecordStore;

// "转为电子表格": a record file written as a spreadsheet in the HTML dialect
// that spreadsheet programs open as a worksheet, saved as ".xls". No
// spreadsheet program is needed to write it.
//
// The file is GBK text with CR LF line ends: a fixed head (style sheet,
// workbook settings), one <col> line for the n columns, a header row of the
// field names, one row per record (blank records included), the window's
// total row when one is given, and the closing tags. Numbers are
// right-aligned numeric cells, every other kind (text, date-time, memo,
// logical) a text cell; values are their value text.
//
// Values and field names are made safe for HTML: "&", "<" and ">" become
// entities, and characters that GBK cannot hold become numeric character
// references (&#128512;), so every value arrives whole.
namespace HtmlExport {

// The input box of the export.
inline QString namePrompt()
{
    return QStringLiteral("电子表格文件将保存在本程序所在目录中,以下是系统默认的电子表格名称");
}
inline QString nameTitle()
{
    return QStringLiteral("请输入:欲保存的电子表格名称 ");
}
inline QString defaultName()
{
    return QStringLiteral("电子表格");
}
// What the user is told when `target` is written: its name and its folder.
QString doneMessage(const QString &target);

// Writes the record file as a spreadsheet to `target`, replacing it whole
// (the old file stays until the new one is complete). The record file is
// read on a handle of its own; the store's handle on it, if any, is closed.
// `totalRow`, when not empty, is written as a last row after the records,
// one text per column: a text that reads whole as a number is a numeric
// cell, any other a text cell. False, with `target` removed, when the record
// file cannot be opened; false too when the target cannot be written.
bool writeSpreadsheetHtml(RecordStore &store, const QString &recordFile, const QString &target,
    const QStringList &totalRow = {});

// The text of one value or field name as it goes into a cell.
QString escaped(const QString &text);

// The first of name1.xls … name1000.xls that does not exist in `folder`, or
// `name` itself (in the folder) when all of them do. A name with a path of
// its own keeps it.
QString freeSpreadsheetName(const QString &folder, const QString &name);

} // namespace HtmlExport
