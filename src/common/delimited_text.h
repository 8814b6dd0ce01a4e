#pragma once

#include <QString>
#include <QStringView>

#include <functional>

// Splits delimited text (comma- or tab-separated, as RFC 4180 has it) into its
// fields. A field that starts with a double quote is quoted: it may hold the
// separator, line breaks and doubled quotes (one quote each) up to the closing
// quote; characters after the closing quote belong to the field as they are.
// Lines end in CR LF, LF or CR; a last line end adds no line, and an empty
// text has none.
//
// `field` hears every field in order, empty ones included, with its 1-based
// line and column; when it returns false the split stops there and
// splitDelimited() returns false (a reader's limit was reached).
bool splitDelimited(QStringView text, QChar separator,
    const std::function<bool(int line, int column, const QString &field)> &field);
