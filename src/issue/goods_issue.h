#pragma once

#include "common/status.h"
#include "issue/issue_note.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class DataSource;
class RecordFile;
struct IssueLine;

// What the issue books, read from the issue note as the user left it.
struct IssueNote
{
    struct Line
    {
        QString name; // cell (r, 1)
        QString spec; // cell (r, 2)
        QString quantity; // cell (r, 3), as shown
        QString amount; // cell (r, 6), as shown
        // The stock record the line was picked from; 0 when the line is to be
        // found by its 品名 and 规格型号 (the first such record in the file).
        qint64 recordId = 0;
    };
    QList<Line> lines; // rows 5..13
    QString department; // cell (2, 3): 领料部门, the name without its caption
    QString handler; // cell (15, 6): 领料, the name without its caption

    static constexpr int firstLineRow = IssueNoteLayout::firstLineRow;
    static constexpr int lineCount = IssueNoteLayout::lineCount;

    static IssueNote fromGrid(const DataSource &note);
    // With the lines the note was laid out from, in their rows: a row whose
    // 品名 and 规格型号 are still its picked line's books against the record
    // that line was picked from; an edited row is found by its key again.
    static IssueNote fromGrid(const DataSource &note, const QList<IssueLine> &picked);
};

// What a note would book, found before anything is written.
struct IssueCheck
{
    // One line to book: the record it books against and its numbers.
    struct Booking
    {
        int line = 0; // 1..9
        qint64 recordId = 0;
        double quantity = 0;
        double amount = 0;
    };
    // An item (record) of the note, with what its lines together leave.
    struct Shortfall
    {
        QString name;
        QString spec;
        double issued = 0; // quantity, by all lines of the record
        double stockAfter = 0;
        double amountIssued = 0; // by all lines of the record
        double valueBefore = 0;
        double valueAfter = 0; // as booked: a line never takes it below 0
        bool valueShort = false; // a line's amount is more than the value left
    };
    // A line whose quantity or amount is negative: it raises the stock.
    struct NegativeLine
    {
        int line = 0; // 1..9
        QString name;
        QString spec;
        double quantity = 0;
        double amount = 0;
        double stockAfter = 0; // of its item, after the whole note
        double valueAfter = 0;
    };

    Status status; // the stock file could not be read
    QList<Booking> bookings;
    // Lines that cannot be booked, each a sentence naming the line: no item
    // of that 品名 and 规格型号, or a quantity or amount that is no number.
    QStringList problems;
    // Items the note takes to zero stock or below, or whose value a line's
    // amount exceeds.
    QList<Shortfall> shortfalls;
    QList<NegativeLine> negatives;

    bool empty() const { return bookings.isEmpty() && problems.isEmpty(); }
    double bookedAmount() const;
};

// Finds every non-empty line's item (by the picked record while it still
// holds the line's key, else the first record of that key) and reads its
// quantity and amount as whole numbers. Lines without a name and a
// specification are passed over when they hold no quantity or amount either.
// Two lines of one record count together for the stock left. Reads only.
IssueCheck checkIssue(RecordFile &stock, const IssueNote &note);

// The one question asked before a note is booked, naming every line with a
// negative quantity or amount and every item the note takes to zero stock
// or below or whose value an amount exceeds, each with the result; "" when
// there is nothing to ask.
QString issueQuestion(const IssueCheck &check);

// Books every line of the note against the stock file: for each line, the issue backup of its item,
// the new quantity and value (the value never below 0), the issue totals, the issue date and the
// history line. The note is checked first inside the booking: a note with problems (checkIssue)
// books nothing and says them all. The whole note is one transaction: on failure nothing is booked
// and the message says why, and every earlier issue backup is left as it was: the new backups take
// their places only once the note is booked. A booked note whose backups could not be put in place
// yet (the next start-up finishes them) says why in `backupProblem`. A note that is booked although
// the disk reported an error after saving says what the disk reported in `diskProblem`. The issue
// backups go to the backup folder of the program directory.
Status bookIssue(RecordFile &stock, const QString &programDir, const IssueNote &note,
    const QDateTime &now, QString *backupProblem = nullptr, QString *diskProblem = nullptr);

// The line appended to 出库记录: the booked quantity as number text, the
// booked amount with two decimals (amountText), as the booked note shows
// them, and the names of the department and the handler:
// "数量 450 金额 162.00 部门 供电所 经手 张伟  时间 2011年3月7日9时5分30秒\r\n".
QString issueHistoryLine(double quantity, double amount, const QString &department,
    const QString &handler, const QDateTime &now);

// Once the note is booked it shows what was booked: the title without its
// unbooked mark, each booked line's quantity as number text and amount with
// two decimals, and the total of the amounts booked with two decimals.
void showBooked(DataSource &note, const IssueCheck &check);
