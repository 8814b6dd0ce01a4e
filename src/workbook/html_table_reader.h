#pragma once

#include "workbook/workbook.h"

#include <QByteArray>

// Reads the cells of an HTML table (the ".xls" files our export writes, and
// such files a spreadsheet program saves) into one worksheet: each <tr> is a
// row, each <td> or <th> a cell; colspan moves the next cell right. Tags inside
// a cell are dropped (<br> becomes a line break), white space is collapsed, and
// character references are decoded. A "<" that starts no tag is kept as text, so
// older exports that did not escape it still read. Comments, <style> and
// <script> are skipped. The bytes are decoded by decodeExternalText().
// Rows after `rowLimit` are left unread.
WorkbookResult readHtmlTable(const QByteArray &bytes, int rowLimit = WorkbookSheet::maxRows);

// Replaces character references (&amp; &lt; &gt; &quot; &apos; &nbsp; &#NNN;
// &#xHH;) by their characters; anything else is left as it is.
QString decodeHtmlEntities(QStringView text);
