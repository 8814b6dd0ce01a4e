#include "data/interrupted_work.h"

#include "data/booking_backups.h"
#include "data/pair_replacement.h"
#include "data/stray_files.h"

#include <QDir>
#include <QFileInfo>

namespace InterruptedWork {
namespace {

Status recoverFolder(const QString &folder)
{
    const Status recovered = PairReplacement::recover(folder);
    if (recovered)
        return recovered;
    return Status::failure(QStringLiteral("无法完成上次中断的文件替换（%1）：%2")
                               .arg(QDir::toNativeSeparators(folder), recovered.message()));
}

} // namespace

Status finish(const QString &programDir, const QStringList &backupFolders)
{
    QStringList folders;
    for (const QString &folder : backupFolders)
        if (QFileInfo(folder).isDir())
            folders << folder;
    // The stock pair first: the list of backups to finish lives in it.
    if (Status s = recoverFolder(programDir); !s)
        return s;
    if (Status s = BookingBackups::finishInterrupted(programDir, folders); !s)
        return Status::failure(QStringLiteral("无法完成上次中断的项目备份：%1").arg(s.message()));
    for (const QString &folder : folders)
        if (Status s = recoverFolder(folder); !s)
            return s;
    for (const QString &folder : QStringList(programDir) + folders)
        if (Status s = StrayFiles::removeFrom(folder); !s)
            return Status::failure(
                QStringLiteral("无法清除上次中断留下的临时文件：%1").arg(s.message()));
    return Status::success();
}

} // namespace InterruptedWork
