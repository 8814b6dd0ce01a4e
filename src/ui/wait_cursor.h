#pragma once

#include <QCursor>
#include <QList>

// The hourglass over every window of the program while a command works, from
// construction to destruction. Nests: the pointer comes back when the
// outermost one ends. Dialogs shown meanwhile lift it (see NormalCursor), so a
// question asked in the middle of a command is answered with the usual
// pointer.
class WaitCursor
{
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    // Whether some command is working now.
    static bool active();
};

// The widgets' own cursors (the text cursor over a box, the usual pointer
// elsewhere) for as long as a dialog is up, even under a WaitCursor.
class NormalCursor
{
public:
    NormalCursor();
    ~NormalCursor();
    NormalCursor(const NormalCursor &) = delete;
    NormalCursor &operator=(const NormalCursor &) = delete;

private:
    QList<QCursor> lifted_; // top of the stack first
};
