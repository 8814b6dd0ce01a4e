#include "data/stock_file.h"

#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace StockFile {
namespace {

bool samePath(const QString &a, const QString &b)
{
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath())
               .compare(QDir::cleanPath(QFileInfo(b).absoluteFilePath()), Qt::CaseInsensitive)
        == 0;
}

// A free name in the backup folder for the moment, never `avoid`.
QString backupName(const QString &folder, const QDateTime &now, const QString &avoid)
{
    const QString base = folder + u'/' + dateTimeText(now);
    QString path = base + QStringLiteral(".zrb");
    for (int n = 2; !avoid.isEmpty() && samePath(path, avoid); ++n)
        path = base + QStringLiteral("_%1.zrb").arg(n);
    return path;
}

Status openStock(RecordStore &store, const QString &programDir)
{
    if (!store.openOrSelect(stockPath(programDir), Stock::alias()))
        return Status::failure(store.lastError());
    return Status::success();
}

// The backup taken before restore and clear. A stock file that exists but no
// longer opens is kept as it is, byte for byte, so even that is not lost.
Status safetyBackup(
    RecordStore &store, const QString &programDir, const QDateTime &now, const QString &avoid)
{
    const QString data = stockPath(programDir);
    if (!QFileInfo::exists(data))
        return Status::success();
    const QString folder = backupFolder(programDir);
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    const QString target = backupName(folder, now, avoid);
    if (store.openOrSelect(data, Stock::alias())) {
        if (!store.copyTo(target))
            return Status::failure(store.lastError());
        return Status::success();
    }
    const QString damaged = target.left(target.size() - 4) + QStringLiteral("(无法打开)");
    for (const auto &[from, suffix] : {std::pair {data, QStringLiteral(".zrb")},
             std::pair {RecordStore::companionPath(data), QStringLiteral(".edt")}}) {
        QFile::remove(damaged + suffix);
        if (QFileInfo::exists(from) && !QFile::copy(from, damaged + suffix))
            return Status::failure(QStringLiteral("无法备份 %1").arg(from));
    }
    return Status::success();
}

} // namespace

QString backupFolder(const QString &programDir)
{
    return programDir + QStringLiteral("/备份数据库");
}

QString stockPath(const QString &programDir)
{
    return programDir + u'/' + Stock::fileName();
}

Status backup(
    RecordStore &store, const QString &programDir, const QDateTime &now, QString *backupPath)
{
    Status s = openStock(store, programDir);
    if (!s)
        return s;
    const QString folder = backupFolder(programDir);
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    const QString target = backupName(folder, now, {});
    if (!store.copyTo(target))
        return Status::failure(store.lastError());
    if (backupPath)
        *backupPath = target;
    return Status::success();
}

Status checkRestorable(RecordStore &store, const QString &chosen)
{
    const QString alias = QStringLiteral("restore");
    const QString previous = store.currentAlias();
    const bool opened = store.open(chosen, alias);
    const QString reason = store.lastError();
    const bool stockLayout = opened && Stock::isStockLayout(store.layout());
    if (opened)
        store.close(alias);
    if (!previous.isEmpty())
        store.select(previous);
    if (!opened)
        return Status::failure(reason);
    if (!stockLayout)
        return Status::failure(
            QStringLiteral("%1 不是库存数据文件（字段不符）").arg(QFileInfo(chosen).fileName()));
    return Status::success();
}

Status restore(
    RecordStore &store, const QString &programDir, const QString &chosen, const QDateTime &now)
{
    const QString data = stockPath(programDir);
    if (samePath(chosen, data))
        return Status::success(); // the stock file is already itself
    Status s = checkRestorable(store, chosen);
    if (!s)
        return s;
    s = safetyBackup(store, programDir, now, chosen);
    if (!s)
        return s;
    // Copy the chosen pair over the stock pair through the store: the copy is
    // written beside data.zrb under temporary names and put in place by the
    // pair-replacement protocol, so a crash leaves the old pair or the new one.
    store.closePath(data);
    const QString alias = QStringLiteral("restore");
    if (!store.open(chosen, alias))
        return Status::failure(store.lastError());
    const bool copied = store.copyTo(data);
    const QString reason = store.lastError();
    store.close(alias);
    return copied ? Status::success() : Status::failure(reason);
}

Status clear(RecordStore &store, const QString &programDir, const QDateTime &now)
{
    Status s = safetyBackup(store, programDir, now, {});
    if (!s)
        return s;
    s = openStock(store, programDir);
    if (!s)
        return s;
    const bool cleared = store.clear();
    const QString reason = store.lastError();
    store.close(Stock::alias());
    return cleared ? Status::success() : Status::failure(reason);
}

} // namespace StockFile
