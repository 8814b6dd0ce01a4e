#pragma once

#include "tableeditor/query_file.h"

#include <QDateTime>
#include <QString>

// A record file with every kind of value an export meets: Chinese with markup,
// characters outside GBK (a lone surrogate too), whole, fractional, negative,
// tiny and huge numbers, date-times at midnight, with seconds and empty, both
// logical values, memos over several lines, and a blank record.
inline void writeExportSample(const QString &path)
{
    const Layout layout = {{QStringLiteral("数量"), FieldKind::Number},
        {QStringLiteral("品名 & <规格>"), FieldKind::Text},
        {QStringLiteral("日期"), FieldKind::DateTime}, {QStringLiteral("有效"), FieldKind::Logical},
        {QStringLiteral("备注"), FieldKind::Memo}};
    const auto at = [](int y, int mo, int d, int h, int mi, int s) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    };
    writeRecordFile(path, layout,
        {
            {12.5, QStringLiteral("电力电缆 YJV-3x70"), at(2026, 12, 7, 9, 5, 0), true,
                QStringLiteral("数量 1 金额 12.5\r\n第二行")},
            {-0.0, QStringLiteral("A&B <c> d>e"), at(2024, 2, 29, 0, 0, 0), false, QString()},
            {1e20, QStringLiteral("笑脸😀 与 𠀀 和 ") + QChar(0xD800), QDateTime(), false,
                QStringLiteral("<b>粗</b>")},
            {},
            {1234567890123.0, QStringLiteral("全角１２３　空格"), at(1900, 1, 1, 23, 59, 59), true,
                QStringLiteral("€ ½ ©")},
            {0.1 + 0.2, QString(), at(2038, 1, 19, 3, 14, 8), false, QStringLiteral("x")},
            {-7.25e-5, QStringLiteral("ＡＢＣ"), at(9999, 12, 31, 12, 0, 0), true, QString()},
        });
}
