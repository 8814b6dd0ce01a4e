#pragma once

#include "common/status.h"
#include "data/movement_note.h"
#include "data/record_file.h"

#include <QString>
#include <QStringList>

#include <vector>

// The per-item backups of one booking (a receipt, or a whole issue note),
// held back until the booking is durable, so that a booking that fails or is
// killed leaves every earlier backup as it was, byte for byte, and a booking
// costs no flush beyond its own commit.
//
// The protocol, on the stock file, inside the booking's transaction:
//  1. take() copies the item's records as they are at that moment into a new
//     pair under temporary names in the backup folder. Taking the same item
//     again replaces the earlier copy, so the backup holds the state before
//     the item's last line.
//  2. list() keeps the new pairs' content in the stock file and lists them
//     as not yet flushed (PendingBackups), still inside the transaction: the
//     content is durable exactly when the booking is.
//  3. After the commit, install() renames every new pair over the item's
//     backup, flushing nothing.
//  4. Pairs never listed are removed by the destructor. After a failed commit
//     settle() asks the stock file whether the content (and so the booking)
//     is there, and installs or removes. At start-up finishInterrupted()
//     writes again every listed backup that differs from its content (a kill
//     before the renames, a power loss that lost them), flushes the listed
//     ones and empties the list; PairReplacement::recover() then removes the
//     temporaries nobody renamed.
class BookingBackups
{
public:
    // `folder` is the backup folder (进库备份 or 出库备份) inside the program
    // directory; it is created when the first backup is taken.
    explicit BookingBackups(const QString &folder);
    ~BookingBackups();
    BookingBackups(const BookingBackups &) = delete;
    BookingBackups &operator=(const BookingBackups &) = delete;

    // Stages the backup of every record of the stock file whose 品名 and
    // 规格型号 equal the texts, under the item's backup name (ItemBackup::path,
    // encoded when the key is no file name as it is). The backup carries the
    // movement about to be booked (MovementNote), by which an undo takes back
    // that movement alone; without one (a record id of 0) it carries none.
    Status take(RecordFile &stock, const QString &name, const QString &spec,
        const MovementNote &movement, bool *taken = nullptr);
    Status take(RecordFile &stock, const QString &name, const QString &spec, bool *taken = nullptr)
    {
        return take(stock, name, spec, MovementNote(), taken);
    }

    // Names the staged pairs in the stock file. Call inside the booking's
    // transaction, as its last write.
    Status list(RecordFile &stock);

    // Puts every staged backup in place. Call once the booking has committed.
    // What fails twice is left, listed, for the next start-up.
    Status install();

    // After a commit that reported failure: installs when the stock file
    // holds this booking's list, removes the pairs when it holds another, and
    // leaves them to start-up when it cannot be read.
    Status settle(RecordFile &stock);

    // Puts the listed backups of earlier bookings on the disk for good (see
    // above). Opens the stock file of `programDir` itself; run at start-up,
    // after the stock pair is recovered and before the backup folders are
    // cleaned of temporaries; and at the end of work. The memo lines the
    // bookings left waiting in the stock file go into its companion too
    // (RecordFile::settleMemoLines), so the pair at rest is whole by itself.
    static Status finishInterrupted(const QString &programDir, const QStringList &folders);

    // The same on the open stock file, for both backup folders of the
    // program directory: before a command copies or replaces the whole stock
    // file, which would carry the list off or lose it.
    static Status flushPending(RecordFile &stock, const QString &programDir);

    // Makes the backup file `backup` hold what the stock file keeps for it,
    // when it is listed there: an undo reads the latest booking's backup even
    // when putting it in place failed.
    static Status bringUpToDate(RecordFile &stock, const QString &backup);

private:
    struct Staged
    {
        QString target; // file name of the item's backup in the folder
        RecordFile::StagedCopy copy;
        QString stored; // its content as the stock file keeps it
    };

    void discard();

    QString folder_;
    std::vector<Staged> staged_;
    bool listed_ = false;
};
