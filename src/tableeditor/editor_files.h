#pragma once

#include "common/status.h"

#include <QString>

class DataSource;

// The table files (.grd) of the table editor: what the window's caption and
// the save dialog's proposal become, and opening a file into the editor's
// table. Writing is DataSource::save().
namespace EditorFiles {

// The file dialog's filter and the suffix a bare name gets.
inline QString filter()
{
    return QStringLiteral("表格文件(*.grd)");
}
inline QString suffix()
{
    return QStringLiteral("grd");
}

// The window caption after opening a file: the name after the last path
// separator ('\\' or '/'), without a trailing ".grd" (lower case only: a
// ".GRD" stays part of the caption).
QString captionFor(const QString &path);

// The name the save dialog proposes: the last 8 GBK bytes of the caption (the
// whole caption when shorter, never half a character). The caption of a
// statistics result, whose tail reads "中------", proposes "抄表清单".
QString saveProposal(const QString &caption);

// A name chosen without any suffix gets ".grd", as the file dialog would give
// it on Windows.
QString withDefaultSuffix(const QString &name);

// Loads the file into the table (a failed load leaves the cells as they were)
// and, either way, turns the text of every row below the first black, which
// takes away the marks a find left.
Status open(DataSource &table, const QString &path);

} // namespace EditorFiles
