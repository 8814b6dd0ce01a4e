#include "tableeditor/editor_files.h"

#include "common/gbk.h"
#include "table/data_source.h"

#include <algorithm>

namespace EditorFiles {

QString captionFor(const QString &path)
{
    const qsizetype separator = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    QString name = path.mid(separator + 1);
    const QString lowerSuffix = u'.' + suffix();
    if (name.endsWith(lowerSuffix, Qt::CaseSensitive))
        name.chop(lowerSuffix.size());
    return name;
}

QString saveProposal(const QString &caption)
{
    const QString tail = Gbk::lastBytes(caption, 8);
    if (tail == QStringLiteral("中------"))
        return QStringLiteral("抄表清单");
    return tail;
}

QString withDefaultSuffix(const QString &name)
{
    const qsizetype separator = std::max(name.lastIndexOf(u'\\'), name.lastIndexOf(u'/'));
    if (name.isEmpty() || name.indexOf(u'.', separator + 1) >= 0)
        return name;
    return name + u'.' + suffix();
}

Status open(DataSource &table, const QString &path)
{
    const Status loaded = table.load(path);
    if (table.rowCount() >= 2 && table.columnCount() >= 1)
        table.setTextColor({2, 1, table.rowCount() - 1, table.columnCount()}, CellFormat::black);
    return loaded;
}

} // namespace EditorFiles
