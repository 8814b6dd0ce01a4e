#pragma once

#include "common/status.h"

#include <QDateTime>
#include <QList>
#include <QString>

class DataSource;
class RecordStore;

// What the issue books, read from the issue note as the user left it.
struct IssueNote
{
    struct Line
    {
        QString name; // cell (r, 1)
        QString spec; // cell (r, 2)
        QString quantity; // cell (r, 3), as shown
        QString amount; // cell (r, 6), as shown
    };
    QList<Line> lines; // rows 5..13
    QString department; // cell (2, 3): 领料部门
    QString handler; // cell (15, 6): 领料

    static constexpr int firstLineRow = 5;
    static constexpr int lineCount = 9;

    static IssueNote fromGrid(const DataSource &note);
};

// Books every line of the note against the stock file of the program
// directory: for each line whose item is found by its exact key, the issue
// backup, the new quantity and value (the value never below 0), the issue
// totals, the issue date and the history line. Lines without a name and a
// specification, and lines whose item is not found, are passed over. The whole
// note is one transaction: on failure nothing is booked and the message says
// why, and every earlier issue backup is left as it was: the new backups take
// their places only once the note is booked. A booked note whose backups
// could not be put in place yet (the next start-up finishes them) says why in
// `backupProblem`. A note that is booked although the disk reported an error
// after saving says what the disk reported in `diskProblem`. The stock file
// stays open and current under "data".
Status bookIssue(RecordStore &store, const QString &programDir, const IssueNote &note,
    const QDateTime &now, QString *backupProblem = nullptr, QString *diskProblem = nullptr);

// The line appended to 出库记录.
QString issueHistoryLine(const IssueNote::Line &line, const QString &department,
    const QString &handler, const QDateTime &now);
