#pragma once

#include <QList>
#include <QString>

class DataSource;
class Grid;
class Prompts;
class QAction;
class QMenu;

// Finding a text in one column of a grid, one step per activation of a menu
// item. The item's caption carries the state: it reads the idle word ("查找",
// in the main window "项目查找") until a row is found, then "下一个" while the
// search goes on down the table, then "上一个" while the user walks back
// through the rows found, and the idle word again after the first of them.
// Rows found take the highlight colour and keep it. After each step the
// window's edit menu opens at the centre of the screen.
class FindInGrid
{
public:
    // What a search has found so far. It outlives the window it searches in:
    // a window opened again goes on with the same state.
    struct State
    {
        QString searchText; // empty: no search under way
        QList<int> hitRows; // rows found, in the order found
        int stepsBack = 0; // steps taken back through hitRows
    };

    struct Words
    {
        QString idle; // the word that marks the idle state: "查找"
        QString firstHit; // replaced by "下一个" on the first hit
        QString walkEnd; // what "上一个" becomes when the walk back ends
    };

    FindInGrid(State &state, QAction *item, Grid *grid, DataSource *table, Prompts &prompts,
        QMenu *editMenu, Words words, quint32 highlight);

    // One activation of the menu item.
    void step();
    // A click in the grid ends a walk: the next step asks for a new text.
    void resetCaption();

    const QString &searchText() const { return state_.searchText; }
    const QList<int> &hitRows() const { return state_.hitRows; }

    static QString next() { return QStringLiteral("下一个"); }
    static QString previous() { return QStringLiteral("上一个"); }

private:
    void walkBack();
    void scan();
    void replaceInCaption(const QString &word, const QString &by);
    bool captionHolds(const QString &word) const;
    void popUpEditMenu();

    State &state_;
    QAction *item_;
    Grid *grid_;
    DataSource *table_;
    Prompts &prompts_;
    QMenu *editMenu_;
    Words words_;
    quint32 highlight_;
};
