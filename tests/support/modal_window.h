#pragma once

#include <QApplication>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Runs `open`, which shows a modal window and waits in its loop; `inside`
// sees that window from within the loop, made active first as a window
// manager makes a new dialog, and the window is closed afterwards. `what`
// names the command in failure messages.
inline void runModalWindow(const QString &what, const std::function<void()> &open,
    const std::function<void(QWidget *)> &inside)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr) << what.toStdString() << " opened no window";
        seen = true;
        modal->activateWindow();
        EXPECT_TRUE(QTest::qWaitFor([modal] { return QApplication::activeWindow() == modal; }));
        inside(modal);
        modal->close();
    });
    open();
    EXPECT_TRUE(seen) << what.toStdString() << " opened no window";
}
