#include "data/booking_backups.h"

#include "common/file_system.h"
#include "data/item_backup.h"
#include "data/pair_replacement.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// One listed backup: the staged record file and companion, and the file they
// replace, all by name inside the backup folder.
struct ListedPair
{
    QString recordFile;
    QString companion;
    QString target;
};

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && !name.contains(u'\\')
        && name != QLatin1String(".") && name != QLatin1String("..");
}

// A note comes from our own file, but it names files to rename: only our
// temporaries onto a backup name inside the folder, plain or encoded, are
// taken.
QList<ListedPair> parseList(const QString &text)
{
    QList<ListedPair> pairs;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(u'\t');
        if (parts.size() != 3)
            continue;
        const ListedPair pair {parts[0], parts[1], parts[2]};
        const QString stem = pair.target.chopped(qMin(4, int(pair.target.size())));
        if (!PairReplacement::isTemporaryName(pair.recordFile) || !isPlainName(pair.recordFile)
            || (!pair.companion.isEmpty()
                && (!PairReplacement::isTemporaryName(pair.companion)
                    || !isPlainName(pair.companion)))
            || !pair.target.endsWith(QLatin1String(".zrb")) || !ItemBackup::fitsEveryPlatform(stem))
            continue;
        pairs.append(pair);
    }
    return pairs;
}

QString noteKeyFor(const QString &folder)
{
    return QStringLiteral("backups ") + QFileInfo(folder).fileName();
}

// The renames that put one backup in place, by name inside the folder: the
// companion first, so that its record file, renamed last, finds it there.
QList<PairReplacement::Move> movesOf(
    const QString &recordFile, const QString &companion, const QString &target)
{
    QList<PairReplacement::Move> moves;
    if (!companion.isEmpty())
        moves.append({QFileInfo(companion).fileName(), RecordStore::companionPath(target)});
    moves.append({QFileInfo(recordFile).fileName(), target});
    return moves;
}

void removePair(const RecordStore::StagedCopy &copy)
{
    PairReplacement::discard(copy.recordFile, copy.companion);
}

} // namespace

BookingBackups::BookingBackups(const QString &folder)
    : folder_(folder)
{ }

BookingBackups::~BookingBackups()
{
    // Listed pairs belong to a booking that may be durable: start-up decides.
    if (!listed_)
        discard();
}

QString BookingBackups::noteKey() const
{
    return noteKeyFor(folder_);
}

QString BookingBackups::listText() const
{
    QString text = carried_;
    for (const Staged &s : staged_)
        text += QFileInfo(s.copy.recordFile).fileName() + u'\t'
            + (s.copy.companion.isEmpty() ? QString() : QFileInfo(s.copy.companion).fileName())
            + u'\t' + s.target + u'\n';
    return text;
}

void BookingBackups::carryUnfinished(const QString &previousList)
{
    // An earlier booking whose backups could not all be put in place left
    // them listed: the new list takes them over, or start-up would remove
    // them as strays and leave a half-renamed pair.
    carried_.clear();
    for (const ListedPair &pair : parseList(previousList)) {
        const bool superseded = std::any_of(staged_.begin(), staged_.end(),
            [&](const Staged &s) { return s.target == pair.target; });
        const bool pending = QFileInfo::exists(folder_ + u'/' + pair.recordFile)
            || (!pair.companion.isEmpty() && QFileInfo::exists(folder_ + u'/' + pair.companion));
        if (pending && !superseded)
            carried_ += pair.recordFile + u'\t' + pair.companion + u'\t' + pair.target + u'\n';
    }
}

void BookingBackups::discard()
{
    for (const Staged &s : staged_)
        removePair(s.copy);
    staged_.clear();
}

Status BookingBackups::take(
    RecordStore &store, const QString &name, const QString &spec, bool *taken)
{
    if (taken)
        *taken = false;
    const QString target = ItemBackup::path(folder_, name, spec);
    if (!QDir().mkpath(folder_))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder_));
    RecordStore::StagedCopy copy;
    if (!store.stageEqualCopy(target, Stock::Name, name, Stock::Spec, spec, &copy))
        return Status::failure(store.lastError());
    // A later line of the same item backs up the state after the earlier one.
    const QString targetName = QFileInfo(target).fileName();
    for (auto it = staged_.begin(); it != staged_.end(); ++it) {
        if (it->target == targetName) {
            removePair(it->copy);
            staged_.erase(it);
            break;
        }
    }
    staged_.push_back({targetName, copy});
    if (taken)
        *taken = true;
    return Status::success();
}

Status BookingBackups::list(RecordStore &store)
{
    // The list may only become durable with files that are durable too: one
    // flush for the whole batch, not one per file.
    QStringList files;
    for (const Staged &s : staged_)
        for (const QString &file : {s.copy.recordFile, s.copy.companion})
            if (!file.isEmpty())
                files << file;
    if (Status synced = FileSystem::syncFiles(files, folder_); !synced)
        return synced;
    const QString previous = store.readNote(noteKey());
    if (store.failed())
        return Status::failure(store.lastError());
    carryUnfinished(previous);
    if (!store.writeNote(noteKey(), listText()))
        return Status::failure(store.lastError());
    listed_ = true;
    return Status::success();
}

Status BookingBackups::install()
{
    // The list in the stock file is the batch's intent marker: whatever is
    // not in place when this returns, start-up puts in place.
    QList<PairReplacement::Move> moves;
    for (const ListedPair &pair : parseList(carried_))
        moves += movesOf(pair.recordFile, pair.companion, pair.target);
    for (const Staged &s : staged_)
        moves += movesOf(s.copy.recordFile, s.copy.companion, s.target);
    staged_.clear();
    carried_.clear();
    Status s = PairReplacement::applyMoves(folder_, moves);
    if (!s) // once more at once: a passing fault, a file briefly held elsewhere
        s = PairReplacement::applyMoves(folder_, moves);
    return s;
}

Status BookingBackups::settle(RecordStore &store)
{
    if (!listed_) {
        discard();
        return Status::success();
    }
    const QString stored = store.readNote(noteKey());
    if (store.failed())
        return Status::failure(store.lastError());
    if (stored == listText())
        return install();
    discard();
    listed_ = false;
    return Status::success();
}

Status BookingBackups::finishInterrupted(const QString &programDir, const QStringList &folders)
{
    const QString stockFile = programDir + u'/' + Stock::fileName();
    if (!QFileInfo::exists(stockFile))
        return Status::success();
    RecordStore store;
    // A stock file that does not open has no committed list to finish; the
    // main window reports the file itself.
    if (!store.open(stockFile, Stock::alias()))
        return Status::success();
    for (const QString &folder : folders) {
        const QString note = store.readNote(noteKeyFor(folder));
        if (store.failed())
            return Status::failure(store.lastError());
        // Moves whose source is gone were done already.
        QList<PairReplacement::Move> moves;
        for (const ListedPair &pair : parseList(note))
            moves += movesOf(pair.recordFile, pair.companion, pair.target);
        if (Status s = PairReplacement::applyMoves(folder, moves); !s)
            return s;
    }
    return Status::success();
}
