#include "data/pair_replacement.h"

#include "common/file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace PairReplacement {
namespace {

const QString prefix = QStringLiteral("~wh-");
const QString markerSuffix = QStringLiteral(".replace");
constexpr qint64 maxMarkerBytes = 64 * 1024;

using Rename = Move;

// Journals and other side files SQLite may leave beside a database.
const QStringList sideSuffixes
    = {QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")};

Status removeSideFiles(const QString &path)
{
    for (const QString &suffix : sideSuffixes) {
        Status s = FileSystem::removeIfExists(path + suffix);
        if (!s)
            return s;
    }
    return Status::success();
}

QByteArray encodeMarker(const QList<Rename> &renames)
{
    QByteArray out;
    for (const Rename &r : renames)
        out += r.from.toUtf8() + '\t' + r.to.toUtf8() + '\n';
    return out;
}

QList<Rename> decodeMarker(const QByteArray &bytes, bool *ok)
{
    QList<Rename> renames;
    *ok = true;
    for (const QByteArray &line : bytes.split('\n')) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> parts = line.split('\t');
        const QString from = QString::fromUtf8(parts.value(0));
        const QString to = QString::fromUtf8(parts.value(1));
        // Names only, never paths: a marker cannot point outside its folder.
        if (parts.size() != 2 || !isTemporaryName(from) || to.isEmpty() || to.contains(u'/')
            || to.contains(u'\\') || to == QLatin1String("..") || to == QLatin1String(".")) {
            *ok = false;
            return {};
        }
        renames.append({from, to});
    }
    return renames;
}

} // namespace

// Renames already done are recognised by their source being gone.
Status applyMoves(const QString &dir, const QList<Move> &renames, bool syncFolder)
{
    if (renames.isEmpty())
        return Status::success();
    for (const Rename &r : renames) {
        const QString from = dir + u'/' + r.from;
        const QString to = dir + u'/' + r.to;
        if (!QFileInfo::exists(from))
            continue;
        // A journal of the discarded file must never be applied to the new one.
        Status s = removeSideFiles(to);
        if (!s)
            return s;
        s = FileSystem::replaceFile(from, to);
        if (!s)
            return s;
    }
    return syncFolder ? FileSystem::syncDirectory(dir) : Status::success();
}

namespace {

// Finishes a committed replacement: a step that failed is tried once more
// (a passing fault, a file briefly held open elsewhere); what still fails is
// left with its marker for recover().
Status rollForward(const QString &dir, const QList<Rename> &renames, const QString &marker)
{
    Status s = applyMoves(dir, renames);
    if (!s)
        s = applyMoves(dir, renames);
    if (s && !marker.isEmpty()) {
        s = FileSystem::removeIfExists(marker);
        if (!s) // a marker whose renames are all done does nothing at start-up
            s = FileSystem::removeIfExists(marker);
    }
    if (!s)
        return Status::failure(
            QStringLiteral("%1（替换已生效，下次启动程序时完成）").arg(s.message()));
    return s;
}

} // namespace

QString newStem()
{
    return QUuid::createUuid().toString(QUuid::Id128).left(16);
}

QString temporaryPath(const QString &dir, const QString &stem, const QString &suffix)
{
    return dir + u'/' + prefix + (stem.isEmpty() ? newStem() : stem) + suffix;
}

bool isTemporaryName(const QString &fileName)
{
    return fileName.startsWith(prefix);
}

Status replace(const QString &targetRecordFile, const QString &newRecordFile,
    const QString &newCompanion, bool *committed)
{
    if (committed)
        *committed = false;
    const QFileInfo target(targetRecordFile);
    const QString dir = target.absolutePath();
    QList<Rename> renames;
    const auto add = [&](const QString &newFile, const QString &targetName) -> Status {
        const QFileInfo info(newFile);
        if (info.absolutePath() != dir || !isTemporaryName(info.fileName()))
            return Status::failure(QStringLiteral("%1 不是 %2 旁的临时文件")
                                       .arg(QDir::toNativeSeparators(newFile), targetName));
        Status s = FileSystem::syncFile(newFile);
        if (!s)
            return s;
        renames.append({info.fileName(), targetName});
        return Status::success();
    };

    if (!newCompanion.isEmpty()) {
        QString companionName = target.fileName();
        if (companionName.endsWith(QLatin1String(".zrb"), Qt::CaseInsensitive))
            companionName.chop(4);
        Status s = add(newCompanion, companionName + QStringLiteral(".edt"));
        if (!s)
            return s;
    }
    Status s = add(newRecordFile, target.fileName());
    if (!s)
        return s;

    // A single file needs no marker: one rename is atomic, and a temporary left
    // by a crash before it is removed at start-up.
    if (renames.size() == 1) {
        const Rename &only = renames.first();
        if (Status removed = removeSideFiles(dir + u'/' + only.to); !removed)
            return removed;
        if (Status renamed = FileSystem::replaceFile(dir + u'/' + only.from, dir + u'/' + only.to);
            !renamed)
            return renamed;
        if (committed)
            *committed = true;
        return rollForward(dir, renames, QString());
    }

    const QString marker = temporaryPath(dir, newStem(), markerSuffix);
    s = FileSystem::writeFileAtomically(marker, encodeMarker(renames));
    if (!s)
        return s;
    if (committed)
        *committed = true;
    return rollForward(dir, renames, marker);
}

Status replaceScratch(const QString &targetRecordFile, const QString &newRecordFile)
{
    const QFileInfo target(targetRecordFile);
    const QFileInfo info(newRecordFile);
    if (info.absolutePath() != target.absolutePath() || !isTemporaryName(info.fileName()))
        return Status::failure(
            QStringLiteral("%1 不是 %2 旁的临时文件")
                .arg(QDir::toNativeSeparators(newRecordFile), target.fileName()));
    // A journal the old file left must not be applied to the new one.
    if (Status removed = removeSideFiles(target.absoluteFilePath()); !removed)
        return removed;
    return FileSystem::replaceFile(newRecordFile, target.absoluteFilePath());
}

void discard(const QString &newRecordFile, const QString &newCompanion)
{
    // A temporary that cannot be removed now is removed at the next start.
    for (const QString &file : {newRecordFile, newCompanion})
        if (!file.isEmpty())
            for (const QString &suffix : {QString(), QStringLiteral("-journal")})
                (void)FileSystem::removeIfExists(file + suffix);
}

Status recover(const QString &dir)
{
    const QDir folder(dir);
    if (!folder.exists())
        return Status::success();
    const QStringList markers = folder.entryList({prefix + u'*' + markerSuffix}, QDir::Files);
    for (const QString &name : markers) {
        const QString path = folder.filePath(name);
        // A marker of ours is a small regular file naming two renames: a link
        // to a device, a FIFO or a huge file under its name is none, and is
        // removed unread rather than blocking or exhausting the start.
        const QFileInfo info(path);
        if (info.isFile() && info.size() <= maxMarkerBytes) {
            QByteArray bytes;
            Status s = FileSystem::readRegularFile(path, maxMarkerBytes, &bytes);
            if (!s)
                return s;
            bool ok = false;
            const QList<Rename> renames = decodeMarker(bytes, &ok);
            if (ok) {
                s = applyMoves(folder.absolutePath(), renames);
                if (!s)
                    return s;
            }
        }
        Status s = FileSystem::removeIfExists(path);
        if (!s)
            return s;
    }
    // What is left of our temporaries belongs to replacements that never
    // reached their marker: the old files are still in place.
    for (const QString &name : folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden)) {
        Status s = FileSystem::removeIfExists(folder.filePath(name));
        if (!s)
            return s;
    }
    return Status::success();
}

} // namespace PairReplacement
