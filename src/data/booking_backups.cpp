#include "data/booking_backups.h"

#include "common/file_system.h"
#include "data/item_backup.h"
#include "data/pair_replacement.h"
#include "data/pending_backups.h"
#include "data/stock_layout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// Earlier versions listed each booking's staged pairs by their temporary
// names and renamed them at start-up. A note comes from our own file, but it
// names files to rename: only our temporaries onto a backup name inside the
// folder, plain or encoded, are taken.
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

QString legacyNoteKey(const QString &folder)
{
    return QStringLiteral("backups ") + QFileInfo(folder).fileName();
}

// Older bookings listed beside this booking's items stay unflushed up to this
// many; beyond it the booking flushes them, so that the list, the stock file
// and the next start-up stay small.
constexpr qsizetype pendingLimit = 64;

// The renames that put one backup in place, by name inside the folder: the
// companion first, so that its record file, renamed last, finds it there.
QList<PairReplacement::Move> movesOf(
    const QString &recordFile, const QString &companion, const QString &target)
{
    QList<PairReplacement::Move> moves;
    if (!companion.isEmpty())
        moves.append({QFileInfo(companion).fileName(), RecordFile::companionPath(target)});
    moves.append({QFileInfo(recordFile).fileName(), target});
    return moves;
}

void removePair(const RecordFile::StagedCopy &copy)
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

void BookingBackups::discard()
{
    for (const Staged &s : staged_)
        removePair(s.copy);
    staged_.clear();
}

Status BookingBackups::take(RecordFile &stock, const QString &name, const QString &spec,
    const MovementNote &movement, bool *taken)
{
    if (taken)
        *taken = false;
    const QString target = ItemBackup::path(folder_, name, spec);
    if (!QDir().mkpath(folder_))
        return Status::failure(QStringLiteral("无法建立文件夹 %1").arg(folder_));
    RecordFile::StagedCopy copy;
    // The note goes into the copy as it is written: no second opening.
    const bool noted = movement.recordId != 0;
    if (Status s = stock.stageEqualCopy(target, Stock::Name, name, Stock::Spec, spec, &copy,
            noted ? MovementNote::key() : QString(), noted ? movement.toText() : QString());
        !s)
        return s;
    // A later line of the same item backs up the state after the earlier one.
    const QString targetName = QFileInfo(target).fileName();
    for (auto it = staged_.begin(); it != staged_.end(); ++it) {
        if (it->target == targetName) {
            removePair(it->copy);
            staged_.erase(it);
            break;
        }
    }
    staged_.push_back({targetName, copy, QString()});
    if (taken)
        *taken = true;
    return Status::success();
}

Status BookingBackups::list(RecordFile &stock)
{
    Status s;
    QStringList listed = PendingBackups::targets(stock, folder_, &s);
    if (!s)
        return s;
    QStringList older = listed;
    for (Staged &staged : staged_) {
        PendingBackups::Content content;
        if (s = PendingBackups::read(staged.copy.recordFile, staged.copy.companion, &content); !s)
            return s;
        if (s = PendingBackups::save(stock, folder_, staged.target, content, &staged.stored); !s)
            return s;
        older.removeOne(staged.target);
        if (!listed.contains(staged.target))
            listed << staged.target;
    }
    if (older.size() > pendingLimit) {
        // Flushed before they leave the list, and only they.
        if (s = PendingBackups::settle(stock, folder_, older); !s)
            return s;
        for (const QString &target : std::as_const(older))
            listed.removeOne(target);
    }
    if (s = PendingBackups::setTargets(stock, folder_, listed); !s)
        return s;
    listed_ = true;
    return Status::success();
}

Status BookingBackups::install()
{
    // The stock file keeps every listed backup's content: whatever is not in
    // place, or not on the disk, when this returns, start-up writes again.
    QList<PairReplacement::Move> moves;
    for (const Staged &s : staged_)
        moves += movesOf(s.copy.recordFile, s.copy.companion, s.target);
    staged_.clear();
    Status s = PairReplacement::applyMoves(folder_, moves, false);
    if (!s) // once more at once: a passing fault, a file briefly held elsewhere
        s = PairReplacement::applyMoves(folder_, moves, false);
    return s;
}

Status BookingBackups::settle(RecordFile &stock)
{
    bool booked = listed_;
    for (const Staged &s : staged_) {
        if (!booked)
            break;
        QString stored;
        if (Status read = PendingBackups::stored(stock, folder_, s.target, &stored); !read)
            return read;
        booked = stored == s.stored;
    }
    if (booked)
        return install();
    discard();
    listed_ = false;
    return Status::success();
}

namespace {

// Renames what a list of an earlier version names and is still there.
Status finishLegacyList(RecordFile &stock, const QString &folder)
{
    QString note;
    if (Status s = stock.readNote(legacyNoteKey(folder), &note); !s)
        return s;
    if (note.isEmpty())
        return Status::success();
    QList<PairReplacement::Move> moves;
    for (const ListedPair &pair : parseList(note))
        moves += movesOf(pair.recordFile, pair.companion, pair.target);
    if (Status s = PairReplacement::applyMoves(folder, moves); !s)
        return s;
    return stock.writeNote(legacyNoteKey(folder), QString());
}

} // namespace

Status BookingBackups::finishInterrupted(const QString &programDir, const QStringList &folders)
{
    const QString stockFile = programDir + u'/' + Stock::fileName();
    if (!QFileInfo::exists(stockFile))
        return Status::success();
    RecordFile stock;
    // A stock file that does not open has no committed list to finish; the
    // main window reports the file itself.
    if (!stock.open(stockFile, Stock::alias()) || !Stock::isStockLayout(stock.layout()))
        return Status::success();
    for (const QString &folder : folders) {
        if (Status s = finishLegacyList(stock, folder); !s)
            return s;
        if (Status s = PendingBackups::settle(stock, folder); !s)
            return s;
    }
    return stock.settleMemoLines();
}

Status BookingBackups::flushPending(RecordFile &stock, const QString &programDir)
{
    for (const QString &folder :
        {ItemBackup::receiptFolder(programDir), ItemBackup::issueFolder(programDir)})
        if (Status s = PendingBackups::settle(stock, folder); !s)
            return s;
    return Status::success();
}

Status BookingBackups::bringUpToDate(RecordFile &stock, const QString &backup)
{
    const QFileInfo info(backup);
    const QString folder = info.absolutePath();
    Status s;
    if (!PendingBackups::targets(stock, folder, &s).contains(info.fileName()))
        return s;
    PendingBackups::Content content;
    if (s = PendingBackups::load(stock, folder, info.fileName(), &content); !s)
        return s;
    return PendingBackups::putInPlace(folder, info.fileName(), content, false);
}
