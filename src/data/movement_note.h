#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// What a receipt or an issue notes in the item backup it takes (beside the
// records it copies): the one record it booked and the quantity, amount and
// moment it booked there. An undo takes back exactly this movement by it,
// also after later movements of the other kind. Backups of earlier versions
// carry no such note.
struct MovementNote
{
    qint64 recordId = 0; // RecordFile::recordId() of the record booked
    double quantity = 0; // as booked, before any rounding
    double amount = 0;
    QDateTime time;

    // The note's key in the backup (RecordFile::readNote).
    static QString key();

    // Numbers keep every bit, the moment its seconds.
    QString toText() const;
    // Nothing for a text that is no note of ours.
    static std::optional<MovementNote> fromText(const QString &text);
};
