#pragma once

#include "common/status.h"

#include <QDateTime>
#include <QString>

class RecordFile;

// A goods receipt as typed into the item window: the texts of its boxes.
struct ReceiptInput
{
    QString name; // 品名: with 规格型号 the key of the item
    QString spec; // 规格型号
    QString unit; // 单位: used only for a new item
    QString unitPrice; // 单价
    QString quantity; // 数量 received
    QString amount; // 金额 received
    QString alarm; // 报警数量, written back at every receipt
    // The record the window shows (RecordFile::recordId): booked when it
    // still holds the key, so that of two records of one key the one shown
    // is. 0, or another key: the first record of the key.
    qint64 recordId = 0;
};

struct ReceiptOutcome
{
    bool newItem = false; // no item had this key: it was added
    bool backupTaken = false; // the item's receipt backup was replaced
    // Booked, but the new backup could not be put in place yet (the next
    // start-up finishes it): why.
    QString backupProblem;
    // Booked, but the disk reported an error after saving (a sync that
    // follows the commit point): what it said.
    QString diskProblem;
};

// Whether the input can be booked: it names an item (品名), and each number
// box is blank or wholly a number. The message names the box and its text.
Status checkReceipt(const ReceiptInput &input);

// Books a receipt into the stock file: the receipt backup of the item (in
// place once the receipt is), then for an existing item the new quantity and
// value, the average price after the receipt (kept when the quantity becomes
// 0), the receipt totals, date, history line and alarm quantity; for an
// unknown key a new item with the typed values. All in one transaction: on
// failure, and for an input that checkReceipt() refuses, nothing is booked.
Status bookReceipt(RecordFile &stock, const QString &programDir, const ReceiptInput &input,
    const QDateTime &now, ReceiptOutcome *outcome = nullptr);

// The line appended to 进库记录.
QString receiptHistoryLine(
    const ReceiptInput &input, double averagePrice, double stockQuantity, const QDateTime &now);
