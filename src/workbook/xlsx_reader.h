#pragma once

#include "workbook/workbook.h"

#include <QByteArray>
#include <QDateTime>

// Reads an .xlsx workbook (a zip of XML parts) from memory: every worksheet
// listed in the workbook, with the tab that was active when it was saved as the
// active sheet. Values come as a spreadsheet shows them: shared and inline
// strings as they are, numbers as numberText(), numbers in a date or time format
// as date text, logical values as valueText() does. Formulas are kept as text
// and not calculated; the value is the result saved with the file.
//
// The archive is untrusted: it may hold at most `maxEntries` entries and its
// parts may inflate to at most `maxUncompressedBytes` together, measured while
// inflating (a size claimed in the archive is only checked first). Entries are
// looked up by name inside the archive and never written anywhere.
class XlsxReader
{
public:
    struct Limits
    {
        qint64 maxUncompressedBytes = 64 * 1024 * 1024;
        int maxEntries = 1000;
        int maxRows = WorkbookSheet::maxRows; // later rows are skipped
    };

    XlsxReader() = default;
    explicit XlsxReader(Limits limits)
        : limits_(limits)
    { }

    WorkbookResult read(const QByteArray &zipBytes) const;

    // The kinds of number format that turn a number into date or time text.
    enum class DateKind { None, Date, DateTime, Time };
    // The kind of a built-in number format id (the Chinese built-ins included).
    static DateKind builtInKind(int numFmtId);
    // The kind of a custom format code such as "yyyy/m/d" or "h:mm".
    static DateKind formatCodeKind(const QString &code);
    // A serial day number as the text the kind shows; numberText() when the
    // number is no date (negative, or past 9999).
    static QString serialText(double serial, DateKind kind, bool date1904);

private:
    Limits limits_;
};
