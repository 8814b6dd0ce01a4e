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
    QString department; // cell (2, 3): 领料部门
    QString handler; // cell (15, 6): 领料

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
    // An item that the note would leave below zero stock.
    struct Shortfall
    {
        QString name;
        QString spec;
        double issued = 0; // by all lines of the record
        double stockAfter = 0;
    };

    Status status; // the stock file could not be read
    QList<Booking> bookings;
    // Lines that cannot be booked, each a sentence naming the line: no item
    // of that 品名 and 规格型号, or a quantity or amount that is no number.
    QStringList problems;
    QList<Shortfall> shortfalls;

    bool empty() const { return bookings.isEmpty() && problems.isEmpty(); }
    double bookedAmount() const;
};

// Finds every non-empty line's item (by the picked record while it still
// holds the line's key, else the first record of that key) and reads its
// quantity and amount as whole numbers. Lines without a name and a
// specification are passed over when they hold no quantity or amount either.
// Two lines of one record count together for the stock left. Reads only.
IssueCheck checkIssue(RecordFile &stock, const IssueNote &note);

// The question asked before a note that leaves items below zero is booked.
QString belowZeroQuestion(const QList<IssueCheck::Shortfall> &shortfalls);

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

// The line appended to 出库记录.
QString issueHistoryLine(const IssueNote::Line &line, const QString &department,
    const QString &handler, const QDateTime &now);
