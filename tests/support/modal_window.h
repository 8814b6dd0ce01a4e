#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Makes `window` the active window, as the window manager does with a window
// the user clicks or a dialog that opens, and waits until it is: keys go
// where the focus is, and the focus lives in the active window.
inline bool activated(QWidget *window)
{
    window->activateWindow();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; });
}

// Acts on the next modal window of kind `Window` as soon as it is open, from
// inside its own event loop, the way a user would, after making it active.
// `act` is to close it (a window left open is a failure and is closed) unless
// `closeAfter`, when the window is closed after `act`. Gives up after ten
// seconds, so a window that never comes cannot hang the run. `what` names the
// command in failure messages. The watch, until it has acted or given up.
template<typename Window = QWidget>
QPointer<QTimer> whenModalShown(
    const QString &what, std::function<void(Window *)> act, bool closeAfter = false)
{
    auto *poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto *window = qobject_cast<Window *>(QApplication::activeModalWidget());
        if (!window && ++*tries <= 1000)
            return;
        poll->stop();
        poll->deleteLater();
        if (!window) {
            ADD_FAILURE() << what.toStdString() << " opened no window of the expected kind";
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
            return;
        }
        const QPointer<Window> guard(window);
        EXPECT_TRUE(activated(window)) << what.toStdString();
        act(window);
        // A failed assertion in `act` leaves the window open too.
        if (guard && guard->isVisible()) {
            if (!closeAfter)
                ADD_FAILURE() << what.toStdString() << " left its window open";
            guard->close();
        }
    });
    poll->start(10);
    return poll;
}

// Runs `open`, which shows a modal window and waits in its loop; `inside`
// sees that window from within the loop, and the window is closed afterwards.
inline void runModalWindow(const QString &what, const std::function<void()> &open,
    const std::function<void(QWidget *)> &inside)
{
    bool seen = false;
    QPointer<QTimer> watch = whenModalShown<QWidget>(
        what,
        [&](QWidget *modal) {
            seen = true;
            inside(modal);
        },
        true);
    open();
    delete watch.data(); // still watching: `open` returned without a window
    EXPECT_TRUE(seen) << what.toStdString() << " opened no window";
}
