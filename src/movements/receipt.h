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
    qint64 recordId = 0; // the record booked (RecordFile::recordId)
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

// What a receipt would do, read before it is booked.
struct ReceiptPreview
{
    bool newItem = false; // no record holds the key: the receipt makes one
    QString name; // the key
    QString spec;
    double quantity = 0; // 数量 and 金额 as they would be booked
    double amount = 0;
    double stockAfter = 0; // the item's stock quantity and value after it
    double valueAfter = 0;
};

// Reads what bookReceipt() would do with the input on the record it would
// pick. Moves the cursor; writes nothing. Fails for an input checkReceipt()
// refuses.
Status previewReceipt(RecordFile &stock, const ReceiptInput &input, ReceiptPreview *preview);

// What must be put to the user before such a receipt is booked, a sentence
// each, in this order: a new item is made (its key, quantity and amount); 数量
// is negative; 金额 is negative; and, with either, the stock quantity and
// value it leaves (said to be below zero when a negative box takes one there).
// Empty for a plain receipt.
QStringList receiptDoubts(const ReceiptPreview &preview);

// The sentence for a 数量 box that still holds the whole stock of the item
// shown, as the window filled it, and not a quantity the user typed.
QString wholeStockDoubt(const QString &name, const QString &spec, const QString &quantity);

// The one Yes/No question made of the doubts: Yes books, No books nothing.
QString receiptQuestion(const QStringList &doubts);

// Books a receipt into the stock file: the receipt backup of the item (in
// place once the receipt is), then for an existing item the new quantity and
// value, the average price after the receipt (kept when the quantity becomes
// 0), the receipt totals, date, history line and alarm quantity; for an
// unknown key a new item with the typed 单价 and 数量 whose value is the
// amount booked (round2 of 金额, as its totals), so that the stock value and
// the receipt totals agree. All in one transaction: on failure, and for an
// input that checkReceipt() refuses, nothing is booked.
Status bookReceipt(RecordFile &stock, const QString &programDir, const ReceiptInput &input,
    const QDateTime &now, ReceiptOutcome *outcome = nullptr);

// The line appended to 进库记录.
QString receiptHistoryLine(
    const ReceiptInput &input, double averagePrice, double stockQuantity, const QDateTime &now);
