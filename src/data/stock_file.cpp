#include "data/stock_file.h"

#include "common/value_text.h"
#include "data/booking_backups.h"
#include "data/pair_replacement.h"
#include "data/record_store.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace StockFile {
namespace {

bool samePath(const QString &a, const QString &b)
{
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath())
               .compare(QDir::cleanPath(QFileInfo(b).absoluteFilePath()), Qt::CaseInsensitive)
        == 0;
}

// The stock file as the store holds it, opened when it is not open yet.
Status openStock(RecordStore &store, const QString &programDir, RecordFile **stock)
{
    return store.openOrSelect(stockPath(programDir), Stock::alias(), stock);
}

// The first of stem, stem(2), stem(3), ... for which neither the record file
// nor its companion exists: a safety backup never takes the name of another
// backup, nor of a companion left on its own.
QString freeStem(const QString &stem)
{
    QString candidate = stem;
    for (int n = 2; QFileInfo::exists(candidate + QStringLiteral(".zrb"))
         || QFileInfo::exists(candidate + QStringLiteral(".edt"));
         ++n)
        candidate = stem + QStringLiteral("(%1)").arg(n);
    return candidate;
}

// A stock file that exists but no longer opens is kept byte for byte.
Status copyDamaged(const QString &data, const QString &stem, QString *path)
{
    const QString free = freeStem(stem + QStringLiteral("(无法打开)"));
    for (const auto &[from, suffix] : {std::pair {data, QStringLiteral(".zrb")},
             std::pair {RecordFile::companionPath(data), QStringLiteral(".edt")}}) {
        if (QFileInfo::exists(from) && !QFile::copy(from, free + suffix))
            return Status::failure(QStringLiteral("无法备份 %1").arg(from));
    }
    if (path)
        *path = free + QStringLiteral(".zrb");
    return Status::success();
}

// Safety backups say so inside: a manual backup of the same second must not
// take their place.
const QString safetyNote = QStringLiteral("safety backup");

Status markAsSafety(const QString &backup)
{
    RecordFile file;
    Status s = file.open(backup, QStringLiteral("safety"));
    return s ? file.writeNote(safetyNote, QStringLiteral("1")) : s;
}

bool isSafetyBackup(const QString &backup)
{
    if (!QFileInfo::exists(backup))
        return false;
    RecordFile file;
    QString note;
    // A file that does not open or read is no safety backup of ours.
    return file.open(backup, QStringLiteral("safety")) && file.readNote(safetyNote, &note)
        && !note.isEmpty();
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

Signature signature(const QString &programDir)
{
    constexpr qint64 counterOffset = 24;
    Signature result;
    QFile file(stockPath(programDir));
    if (!file.open(QIODevice::ReadOnly) || !file.seek(counterOffset))
        return result;
    const QByteArray bytes = file.read(4);
    if (bytes.size() != 4)
        return result;
    result.commits = qint64(uchar(bytes[0])) << 24 | uchar(bytes[1]) << 16 | uchar(bytes[2]) << 8
        | uchar(bytes[3]);
    result.size = file.size();
    result.modifiedMs = file.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
    return result;
}

Status backup(
    RecordStore &store, const QString &programDir, const QDateTime &now, QString *backupPath)
{
    RecordFile *stock = nullptr;
    Status s = openStock(store, programDir, &stock);
    if (!s)
        return s;
    const QString folder = backupFolder(programDir);
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    // A second backup of the same second replaces the first, but never a
    // safety backup: that one may be the only copy of the stock before a clear.
    const QString stem = folder + u'/' + dateTimeText(now);
    const QString target = (isSafetyBackup(stem + QStringLiteral(".zrb")) ? freeStem(stem) : stem)
        + QStringLiteral(".zrb");
    if (store.isPathOpen(target))
        return Status::failure(
            QStringLiteral("文件 %1 已经打开，不能覆盖").arg(QFileInfo(target).fileName()));
    if (s = stock->copyTo(target); !s)
        return s;
    if (backupPath)
        *backupPath = target;
    return Status::success();
}

Status safetyBackup(RecordStore &store, const QString &programDir, const QDateTime &now,
    QString *path, SafetyCopy kind)
{
    if (path)
        path->clear();
    const QString data = stockPath(programDir);
    if (!QFileInfo::exists(data))
        return Status::success();
    const QString folder = backupFolder(programDir);
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    const QString stem = folder + u'/' + dateTimeText(now);
    RecordFile *stock = nullptr;
    if (!openStock(store, programDir, &stock))
        return copyDamaged(data, stem, path);
    return safetyBackup(*stock, programDir, now, path, kind);
}

Status safetyBackup(RecordFile &stock, const QString &programDir, const QDateTime &now,
    QString *path, SafetyCopy kind)
{
    if (path)
        path->clear();
    const QString folder = backupFolder(programDir);
    if (!QDir().mkpath(folder))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder));
    // The command that follows may replace the whole stock file, which holds
    // the content of backups not yet flushed: they are flushed first.
    if (Status flushed = BookingBackups::flushPending(stock, programDir); !flushed)
        return flushed;
    // A free name: no open file has it.
    const QString target = freeStem(folder + u'/' + dateTimeText(now)) + QStringLiteral(".zrb");
    Status s = kind == SafetyCopy::Quick ? stock.snapshotTo(target, safetyNote, QStringLiteral("1"))
                                         : stock.copyTo(target);
    if (s && kind == SafetyCopy::Durable)
        s = markAsSafety(target);
    if (!s)
        return s;
    if (path)
        *path = target;
    return Status::success();
}

Status checkRestorable(const QString &chosen)
{
    RecordFile file;
    if (Status s = file.open(chosen, QStringLiteral("restore")); !s)
        return s;
    if (!Stock::isStockLayout(file.layout()))
        return Status::failure(
            QStringLiteral("%1 不是库存数据文件（字段不符）").arg(QFileInfo(chosen).fileName()));
    return Status::success();
}

Status restore(RecordStore &store, const QString &programDir, const QString &chosen,
    const QDateTime &now, bool *replaced, QString *safetyPath)
{
    if (replaced)
        *replaced = false;
    if (safetyPath)
        safetyPath->clear();
    const QString data = stockPath(programDir);
    if (samePath(chosen, data))
        return Status::success(); // the stock file is already itself
    Status s = checkRestorable(chosen);
    if (!s)
        return s;
    s = safetyBackup(store, programDir, now, safetyPath);
    if (!s)
        return s;
    // Copy the chosen pair over the stock pair through the store: the copy is
    // written beside data.zrb under temporary names and put in place by the
    // pair-replacement protocol, so a crash leaves the old pair or the new one.
    store.closePath(data);
    RecordFile::StagedCopy copy;
    {
        RecordFile from;
        s = from.open(chosen, QStringLiteral("restore"));
        if (s)
            s = from.stageCopy(data, &copy);
    }
    if (!s)
        return s;
    bool committed = false;
    s = PairReplacement::replace(data, copy.recordFile, copy.companion, &committed);
    if (!s && !committed)
        PairReplacement::discard(copy.recordFile, copy.companion);
    if (replaced)
        *replaced = committed;
    return s;
}

Status clear(
    RecordStore &store, const QString &programDir, const QDateTime &now, QString *diskProblem)
{
    Status s = safetyBackup(store, programDir, now);
    if (!s)
        return s;
    RecordFile *stock = nullptr;
    s = openStock(store, programDir, &stock);
    if (!s)
        return s;
    s = stock->clear();
    if (diskProblem)
        *diskProblem = s ? stock->diskWarning() : QString();
    store.close(Stock::alias());
    return s;
}

QDateTime backupTime(const QString &path)
{
    const QFileInfo file(path);
    static const QRegularExpression named(QStringLiteral(
        "^(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日(?:(\\d{1,2})时(?:(\\d{1,2})分(?:(\\d{1,2})秒)?)?)?"
        "(?:\\((\\d{1,4})\\))?"));
    const QRegularExpressionMatch m = named.match(file.completeBaseName());
    if (m.hasMatch()) {
        const auto part = [&m](int n) {
            return m.captured(n).toInt();
        };
        const QDate date(part(1), part(2), part(3));
        const QTime time(part(4), part(5), part(6));
        // "(2)", "(3)": taken later in the same second.
        if (date.isValid() && time.isValid())
            return QDateTime(date, time).addMSecs(part(7));
    }
    return file.lastModified();
}

QString bookedDespiteDiskMessage(const QString &done, const QString &problem)
{
    return QStringLiteral("%1已完成并保存在库存数据中，但保存后磁盘报告了错误：%2\n"
                          "请不要重复%1。请检查磁盘，并尽快用“备份数据库”另存一份。")
        .arg(done, problem);
}

} // namespace StockFile
