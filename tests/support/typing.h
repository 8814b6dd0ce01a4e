#pragma once

// Typing as a storekeeper's keyboard does it, into the widget in question:
// key presses for the letters and digits, what an input method commits for
// the rest (Chinese, full-width forms).

#include "grid/grid.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>

namespace Typing {

inline void text(QWidget *widget, const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(widget, char(c.unicode()));
            continue;
        }
        QInputMethodEvent committed;
        committed.setCommitString(QString(c));
        QApplication::sendEvent(widget, &committed);
    }
}

// Clicks into the box, selects what it holds and types over it.
inline void intoBox(QLineEdit *box, const QString &typed)
{
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (typed.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        text(box, typed);
}

// Clicks the cell of a grid in `window`, opens its editor, types over its
// text and presses Enter.
inline void intoCell(QWidget &window, const Grid *grid, int row, int column, const QString &typed)
{
    const QPoint at = grid->viewport()->mapTo(
        &window, grid->visualRect(grid->model()->index(row - 1, column - 1)).center());
    QWidget *under = window.childAt(at);
    QTest::mouseClick(under, Qt::LeftButton, {}, under->mapFrom(&window, at));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    text(QApplication::focusWidget(), typed);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QApplication::processEvents(); // the editor commits after its key
}

} // namespace Typing
