#pragma once

#include <QList>
#include <QString>

// One line of the issue note, picked in the stock list.
struct IssueLine
{
    QString name; // 品名
    QString spec; // 规格型号
    QString unit; // 单位
    double unitPrice = 0; // 单价
    double quantity = 0; // 库存数量
    double amount = 0; // 库存金额
    // The stock record the line was picked from (RecordStore::recordId), so
    // that of two records with one key the picked one is booked; 0 when the
    // line did not come from the stock (a row of an imported spreadsheet).
    qint64 recordId = 0;
};

// The item of the stock-list row under the cursor.
struct SelectedItem
{
    QString name; // 品名
    QString spec; // 规格型号
    // The stock record of that row (RecordStore::recordId), which tells twins
    // of one key apart; 0 when the row is no stock record.
    qint64 recordId = 0;
};

// The state that lives for the whole run, created in main() and handed to every
// window by reference. Plain data: the services (record store, prompts, clock)
// are passed beside it.
struct AppState
{
    static constexpr int maxIssueLines = 9;

    QString programDir; // without a trailing separator
    SelectedItem selectedItem;
    QList<IssueLine> issueLines; // at most maxIssueLines, in the order picked
    // The list row each issue line was taken from, in the same order: a row
    // is picked once at most, and exactly these rows are marked in the list.
    // Cleared with the lines (and the marks go) at every refresh.
    QList<int> pickedRows;
    // The list shows an imported spreadsheet, not the stock, until the next
    // refresh: only such rows may be added to the stock in bulk.
    bool listShowsImport = false;

    // A path inside the program directory.
    QString path(const QString &relativeName) const { return programDir + u'/' + relativeName; }
};
