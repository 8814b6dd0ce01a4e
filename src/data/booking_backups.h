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
//  2. list() syncs the new pairs and names them in a note of the stock file,
//     still inside the transaction: the list is durable exactly when the
//     booking is.
//  3. After the commit, install() puts each pair in place by the pair
//     replacement.
//  4. Pairs never listed are removed by the destructor. After a failed commit
//     settle() asks the stock file whether the list (and so the booking) is
//     there, and installs or removes. After a crash, finishInterrupted() at
//     start-up installs what a committed booking listed, before
//     PairReplacement::recover() removes the temporaries nobody listed.
//
// The note stays after install(); the next booking of the same kind replaces
// it, and listed pairs that are gone were installed already.
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
    // whose 品名 and 规格型号 equal the texts. An item whose name is no safe
    // file name gets no backup: success, with `taken` false.
    Status take(
        RecordStore &store, const QString &name, const QString &spec, bool *taken = nullptr);

    // Names the staged pairs in the current (stock) file. Call inside the
    // booking's transaction, as its last write.
    Status list(RecordStore &store);

    // Puts every staged backup in place. Call once the booking has committed.
    // A replacement that fails leaves its files for the next start-up.
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
    void discard();

    QString folder_;
    std::vector<Staged> staged_;
    bool listed_ = false;
};
