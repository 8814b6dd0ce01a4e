#include "ui/dialog_look.h"
#include "ui/frame_placement.h"
#include "ui/wait_cursor.h"
#include "ui/window_titles.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

QString spokenName(QWidget *window)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(window);
    return face ? face->text(QAccessible::Name) : QString();
}

TEST(WindowTitles, TheSpokenNameFollowsTheTitleUnlessTheWindowHasItsOwn)
{
    QDialog editor;
    DialogLook::apply(&editor, QStringLiteral("TableEditorWindow"), QStringLiteral("表格"), 9);
    EXPECT_EQ(editor.accessibleName(), QStringLiteral("表格"));

    // A table file was opened: the caption names it, and so does a reader.
    editor.setWindowTitle(QStringLiteral("表格  本日出库.grd"));
    EXPECT_EQ(editor.accessibleName(), QStringLiteral("表格  本日出库.grd"));
    EXPECT_EQ(spokenName(&editor), QStringLiteral("表格  本日出库.grd"));
    editor.setWindowTitle(QStringLiteral("表格  本月出库.grd"));
    EXPECT_EQ(spokenName(&editor), QStringLiteral("表格  本月出库.grd"));

    // A name of its own is kept whatever the caption says.
    QDialog printWindow;
    DialogLook::apply(&printWindow, QStringLiteral("PrintSetupWindow"), QString(), 9);
    printWindow.setAccessibleName(QStringLiteral("打印表格"));
    printWindow.setWindowTitle(QStringLiteral("打印"));
    EXPECT_EQ(spokenName(&printWindow), QStringLiteral("打印表格"));

    // Following twice changes nothing.
    WindowTitles::follow(&editor);
    editor.setWindowTitle(QStringLiteral("表格"));
    EXPECT_EQ(editor.accessibleName(), QStringLiteral("表格"));
}

TEST(WindowTitles, AnUntitledWindowShowsABlankCaptionNotTheProgramsName)
{
    QDialog ledger;
    DialogLook::apply(&ledger, QStringLiteral("LedgerWindow"), QString(), 10);
    ledger.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ledger));
    ASSERT_NE(ledger.windowHandle(), nullptr);
    EXPECT_EQ(ledger.windowHandle()->title(), QString::fromUtf16(WindowTitles::blankCaption));
    EXPECT_TRUE(ledger.windowTitle().isEmpty()) << "the window itself stays untitled";
    EXPECT_TRUE(ledger.windowHandle()->title().trimmed().isEmpty());

    ledger.setWindowTitle(QStringLiteral("进出库簿"));
    EXPECT_EQ(ledger.windowHandle()->title(), QStringLiteral("进出库簿"));
    ledger.setWindowTitle(QString());
    EXPECT_EQ(ledger.windowHandle()->title(), QString::fromUtf16(WindowTitles::blankCaption));

    // So does a window that has children before it follows its title.
    QMainWindow main;
    WindowTitles::follow(&main);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(main.windowHandle()->title(), QString::fromUtf16(WindowTitles::blankCaption));
    main.setWindowTitle(QStringLiteral("材料库"));
    EXPECT_EQ(main.accessibleName(), QStringLiteral("材料库"));
}

TEST(FramePlacement, TheFrameNotTheClientAreaCoversTheRectangle)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect outer(area.left() + 1, area.top() + 1, area.width() - 2, area.height() - 40);
    QWidget window;
    FramePlacement::place(&window, outer);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // The frame became known only once the window was shown.
    ASSERT_NE(window.frameGeometry(), window.geometry()) << "the platform draws no frame";
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() == outer; }))
        << "frame at " << window.frameGeometry().x() << "," << window.frameGeometry().y() << " "
        << window.frameGeometry().width() << "x" << window.frameGeometry().height();

    // Placed again while shown, with the frame known at once.
    const QRect smaller(area.left() + 1, area.top() + 1, 640, 480);
    FramePlacement::place(&window, smaller);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() == smaller; }));

    // Once the user sizes the window, it keeps that size.
    window.resize(500, 400);
    QTest::qWait(50);
    EXPECT_EQ(window.size(), QSize(500, 400));
}

TEST(WaitCursor, NestsAndDialogsLiftIt)
{
    ASSERT_FALSE(WaitCursor::active());
    {
        const WaitCursor outer;
        EXPECT_TRUE(WaitCursor::active());
        {
            const WaitCursor inner;
            EXPECT_TRUE(WaitCursor::active());
            {
                const NormalCursor dialog;
                EXPECT_FALSE(WaitCursor::active());
                EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr)
                    << "a text box in the dialog keeps its own cursor";
            }
            EXPECT_TRUE(WaitCursor::active());
        }
        EXPECT_TRUE(WaitCursor::active()) << "the inner end leaves the outer one";
    }
    EXPECT_FALSE(WaitCursor::active());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        const NormalCursor idle;
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "nothing to lift";
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
