#include "data/item_backup.h"

#include <QStringList>

namespace ItemBackup {

QString receiptFolder(const QString &programDir)
{
    return programDir + QStringLiteral("/进库备份");
}

QString issueFolder(const QString &programDir)
{
    return programDir + QStringLiteral("/出库备份");
}

bool isSafeFileName(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.endsWith(u'.') || name.endsWith(u' ') || name.size() > 200)
        return false;
    for (const QChar c : name)
        if (c.unicode() < 0x20 || QStringView(u"\\/:*?\"<>|").contains(c))
            return false;
    static const QStringList reserved = [] {
        QStringList names = {"CON", "PRN", "AUX", "NUL"};
        for (int i = 1; i <= 9; ++i)
            names << QStringLiteral("COM%1").arg(i) << QStringLiteral("LPT%1").arg(i);
        return names;
    }();
    const QString stem = name.section(u'.', 0, 0).trimmed();
    return !reserved.contains(stem, Qt::CaseInsensitive);
}

QString path(const QString &folder, const QString &name, const QString &spec)
{
    const QString file = name + spec;
    if (!isSafeFileName(file))
        return {};
    return folder + u'/' + file + QStringLiteral(".zrb");
}

} // namespace ItemBackup
