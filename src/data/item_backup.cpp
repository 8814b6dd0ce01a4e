#include "data/item_backup.h"

#include "data/pair_replacement.h"

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
    // File systems take 255 bytes (Windows 255 UTF-16 units, never more than
    // the UTF-8 bytes); the suffix .zrb or .edt comes on top.
    constexpr qsizetype maxBytes = 255 - 4;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.endsWith(u'.') || name.endsWith(u' ') || name.size() > maxBytes
        || name.toUtf8().size() > maxBytes)
        return false;
    // Our temporaries are removed at every start; Windows matches names
    // without regard to case.
    if (PairReplacement::isTemporaryName(name.toLower()))
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
