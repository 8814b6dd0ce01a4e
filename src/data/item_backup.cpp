#include "data/item_backup.h"

#include "data/record_store.h"
#include "data/stock_layout.h"

#include <QDir>

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

Status take(RecordStore &store, const QString &folder, const QString &name, const QString &spec,
    bool *taken)
{
    if (taken)
        *taken = false;
    const QString target = path(folder, name, spec);
    if (target.isEmpty())
        return Status::success();
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    if (!store.copyEqualTo(target, Stock::Name, name, Stock::Spec, spec))
        return Status::failure(store.lastError());
    if (taken)
        *taken = true;
    return Status::success();
}

} // namespace ItemBackup
