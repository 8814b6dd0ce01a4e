#pragma once

#include <QList>
#include <QString>

// The kinds of value a record field holds.
enum class FieldKind {
    Text = 1, // QString
    Number = 2, // double
    DateTime = 3, // QDateTime; the empty value is the invalid QDateTime
    Memo = 4, // QString of any length, kept in the companion file
    Logical = 5, // bool
};

struct FieldDef
{
    QString name;
    FieldKind kind = FieldKind::Text;

    friend bool operator==(const FieldDef &, const FieldDef &) = default;
};

using Layout = QList<FieldDef>;

inline bool hasMemo(const Layout &layout)
{
    for (const FieldDef &f : layout)
        if (f.kind == FieldKind::Memo)
            return true;
    return false;
}
