#pragma once

#include "common/status.h"
#include "data/record_store.h"

#include <QString>
#include <QStringList>

#include <vector>

// The per-item backups of one booking (a receipt, or a whole issue note),
// held back until the booking is durable, so that a booking that fails or is
// killed leaves every earlier backup as it was, byte for byte.
//
// The protocol, on the stock file, inside the booking's transaction:
//  1. take() copies the item's records as they are at that moment into a new
//     pair under temporary names in the backup folder. Taking the same item
//     again replaces the earlier copy, so the backup holds the state before
//     the item's last line.
//  2. list() flushes the new pairs to the disk in one go and names them in a
//     note of the stock file, still inside the transaction: the list is
//     durable exactly when the booking is. It is the batch's intent marker.
//  3. After the commit, install() renames every new file over the item's
//     backup and syncs the folder once.
//  4. Pairs never listed are removed by the destructor. After a failed commit
//     settle() asks the stock file whether the list (and so the booking) is
//     there, and installs or removes. After a crash, or an install() that
//     failed part-way, finishInterrupted() at start-up renames what a
//     committed list names and is still there (a backup with its companion
//     renamed and its record file not yet is finished so), before
//     PairReplacement::recover() removes the temporaries nobody listed.
//
// The note stays after install(); the next booking of the same kind replaces
// it, and listed files that are gone were renamed already.
class BookingBackups
{
public:
    // `folder` is the backup folder (进库备份 or 出库备份) inside the program
    // directory; it is created when the first backup is taken.
    explicit BookingBackups(const QString &folder);
    ~BookingBackups();
    BookingBackups(const BookingBackups &) = delete;
    BookingBackups &operator=(const BookingBackups &) = delete;

    // Stages the backup of every record of the current file (the stock file)
    // whose 品名 and 规格型号 equal the texts, under the item's backup name
    // (ItemBackup::path, encoded when the key is no file name as it is).
    Status take(
        RecordStore &store, const QString &name, const QString &spec, bool *taken = nullptr);

    // Names the staged pairs in the current (stock) file. Call inside the
    // booking's transaction, as its last write.
    Status list(RecordStore &store);

    // Puts every staged backup in place. Call once the booking has committed.
    // What fails twice is left, listed, for the next start-up.
    Status install();

    // After a commit that reported failure: installs when the stock file
    // holds this booking's list, removes the pairs when it holds another, and
    // leaves them to start-up when it cannot be read.
    Status settle(RecordStore &store);

    // Installs the listed backups of bookings that committed but were cut
    // off before install() finished. Opens the stock file of `programDir`
    // itself; run at start-up, after the stock pair is recovered and before
    // the backup folders are cleaned of temporaries.
    static Status finishInterrupted(const QString &programDir, const QStringList &folders);

private:
    struct Staged
    {
        QString target; // file name of the item's backup in the folder
        RecordStore::StagedCopy copy;
    };

    QString noteKey() const;
    QString listText() const;
    void carryUnfinished(const QString &previousList);
    void discard();

    QString folder_;
    std::vector<Staged> staged_;
    QString carried_; // list lines of an earlier booking not yet in place
    bool listed_ = false;
};
