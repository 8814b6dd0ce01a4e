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
};

// The item of the stock-list row last clicked.
struct SelectedItem
{
    QString name; // 品名
    QString spec; // 规格型号
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
    QList<int> usedSelectionRows; // first rows of selections already taken
    QList<int> markedRows; // grid rows taken into issue lines during this run

    // A path inside the program directory.
    QString path(const QString &relativeName) const { return programDir + u'/' + relativeName; }
};
