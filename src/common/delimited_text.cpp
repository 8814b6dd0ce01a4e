#include "common/delimited_text.h"

bool splitDelimited(QStringView text, QChar separator,
    const std::function<bool(int line, int column, const QString &field)> &field)
{
    int line = 1;
    int column = 1;
    QString current;
    bool quoted = false; // inside a quoted field
    bool started = false; // the line has a field under way (a character, a quote or a separator)
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c != u'"') {
                current += c;
            } else if (i + 1 < n && text[i + 1] == u'"') {
                current += u'"';
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        if (c == u'"' && current.isEmpty()) {
            quoted = true;
            started = true;
        } else if (c == separator) {
            if (!field(line, column++, current))
                return false;
            current.clear();
            started = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
                ++i;
            if (!field(line++, column, current))
                return false;
            current.clear();
            column = 1;
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    return !started || field(line, column, current);
}
