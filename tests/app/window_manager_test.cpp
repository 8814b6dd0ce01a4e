// Where the windows stand and what their caption bars say under a real window
// manager: openbox on a virtual X display, each started here. The offscreen
// platform draws no caption bar, so only this shows that the bars are on
// screen. Skipped, saying why, where either cannot be started.

#include "window_manager_test.h"

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "support/scripted_prompts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

const QSize screenSize(1366, 768);

QString rectText(const QRect &r)
{
    return QStringLiteral("%1 %2 %3 %4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The caption as the window manager reads it from the window.
QString netWmName(const QWidget *window)
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"),
        {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("-notype"),
            QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(5000))
        return QStringLiteral("(xprop did not answer)");
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    const qsizetype open = line.indexOf(u'"');
    return open < 0 ? QStringLiteral("(none)") : line.mid(open + 1).chopped(1);
}

bool framed(const QWidget *window)
{
    return QTest::qWaitFor(
        [window] { return window->frameGeometry().size() != window->size(); }, 10000);
}

void report(const char *name, const QWidget *window)
{
    framed(window);
    QTest::qWait(200); // the last correction of the size
    QTextStream(stdout) << name << ' ' << rectText(window->frameGeometry()) << ' '
                        << netWmName(window) << Qt::endl;
}

bool writeStock(const QString &path)
{
    RecordStore writer;
    if (!Stock::createEmptyFile(path) || !writer.open(path, QStringLiteral("w")))
        return false;
    for (const auto &[name, quantity] : {std::pair {"电力电缆", 1.0}, std::pair {"绝缘子", 80.0}}) {
        QVariantList values(Stock::fieldCount);
        values[Stock::Name - 1] = QString::fromUtf8(name);
        values[Stock::Spec - 1] = QStringLiteral("A");
        values[Stock::Quantity - 1] = quantity;
        values[Stock::AlarmQuantity - 1] = 5.0;
        if (!writer.add(values))
            return false;
    }
    return true;
}

// Runs a command that opens a modal window and reports that window.
void reportModal(MainWindow &main, const QString &caption, const char *name)
{
    QTimer::singleShot(0, [name] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            QTextStream(stdout) << name << " did not open" << Qt::endl;
            return;
        }
        report(name, modal);
        modal->close();
    });
    main.action(caption)->trigger();
}

} // namespace

int reportFramesUnderWindowManager(const QString &programDir)
{
    // Whatever goes wrong, the child does not outlive the test.
    QTimer::singleShot(60000, [] { std::exit(3); });
    StartUp::nameApplication();
    AppState state;
    state.programDir = programDir;
    if (!writeStock(state.path(Stock::fileName())))
        return 4;
    RecordStore store;
    ScriptedPrompts prompts;
    FixedClock clock {QDateTime(QDate(2011, 3, 7), QTime(9, 5))};
    MainWindow window(state, store, prompts, clock);
    installMainCommands(window);
    window.show();

    QTextStream(stdout) << "area " << rectText(window.screen()->availableGeometry()) << Qt::endl;
    QTextStream(stdout) << "title " << window.windowTitle() << Qt::endl;
    report("main", &window);
    state.selectedItem = {QStringLiteral("电力电缆"), QStringLiteral("A")};
    reportModal(window, QStringLiteral("进出库簿"), "ledger");
    reportModal(window, QStringLiteral("本日出库"), "editor");
    return 0;
}

namespace {

// A process of the test's own, ended with the test.
struct Started
{
    QProcess process;
    ~Started()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(3000))
                process.kill();
            process.waitForFinished(3000);
        }
    }
};

// A free display number: its socket and lock do not exist.
int freeDisplay()
{
    for (int n = 91; n < 200; ++n)
        if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))
            && !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return n;
    return -1;
}

bool startXvfb(Started &server, QString &display)
{
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int n = freeDisplay();
        if (n < 0)
            return false;
        display = QStringLiteral(":%1").arg(n);
        server.process.start(QStringLiteral("Xvfb"),
            {display, QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("%1x%2x24").arg(screenSize.width()).arg(screenSize.height()),
                QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!server.process.waitForStarted(5000))
            return false;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        if (QTest::qWaitFor(
                [&] {
                    return QFile::exists(socket) || server.process.state() == QProcess::NotRunning;
                },
                10000)
            && server.process.state() == QProcess::Running)
            return true;
        // Another server took the number meanwhile.
        server.process.kill();
        server.process.waitForFinished(3000);
    }
    return false;
}

// Whether a window manager has announced itself on the display.
bool managerRunning(const QProcessEnvironment &environment)
{
    QProcess xprop;
    xprop.setProcessEnvironment(environment);
    xprop.start(QStringLiteral("xprop"),
        {QStringLiteral("-root"), QStringLiteral("-notype"),
            QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    return xprop.waitForFinished(3000) && xprop.readAllStandardOutput().contains("window id");
}

QRect rectFrom(const QStringList &words, int first)
{
    return QRect(words.value(first).toInt(), words.value(first + 1).toInt(),
        words.value(first + 2).toInt(), words.value(first + 3).toInt());
}

TEST(WindowManager, CaptionBarsAreOnScreenAndSayWhatTheWindowsAre)
{
    for (const char *tool : {"Xvfb", "openbox", "xprop"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed; scripts/setup installs it";
    Started server;
    QString display;
    if (!startXvfb(server, display))
        GTEST_SKIP() << "no virtual X display could be started";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    Started manager;
    manager.process.setProcessEnvironment(environment);
    manager.process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!manager.process.waitForStarted(5000)
        || !QTest::qWaitFor([&] { return managerRunning(environment); }, 10000))
        GTEST_SKIP() << "openbox could not start on " << display.toStdString();

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(
        QCoreApplication::applicationFilePath(), {QStringLiteral("--report-frames"), dir.path()});
    ASSERT_TRUE(child.waitForFinished(90000)) << "the windows were not reported";
    const QString output = QString::fromUtf8(child.readAllStandardOutput());
    ASSERT_EQ(child.exitCode(), 0)
        << output.toStdString() << child.readAllStandardError().toStdString();

    QHash<QString, QStringList> lines;
    for (const QString &line : output.split(u'\n', Qt::SkipEmptyParts))
        lines.insert(line.section(u' ', 0, 0), line.split(u' '));
    for (const char *name : {"area", "title", "main", "ledger", "editor"})
        ASSERT_TRUE(lines.contains(QString::fromLatin1(name))) << name << "\n"
                                                               << output.toStdString();
    const QRect area = rectFrom(lines[QStringLiteral("area")], 1);
    const QString title = lines[QStringLiteral("title")].mid(1).join(u' ');

    // The main window's frame, caption bar and all, from (1, 1).
    const QRect main = rectFrom(lines[QStringLiteral("main")], 1);
    EXPECT_EQ(main, QRect(area.left() + 1, area.top() + 1, area.width() - 2, area.height() - 40))
        << output.toStdString();
    EXPECT_EQ(lines[QStringLiteral("main")].mid(5).join(u' '), title)
        << "the caption is the title, nothing appended";
    EXPECT_TRUE(title.contains(QStringLiteral("共1项"))) << title.toStdString();

    // The ledger's caption names its item, 品名 and 规格型号.
    EXPECT_EQ(
        lines[QStringLiteral("ledger")].mid(5).join(u' '), QStringLiteral("进出库簿 — 电力电缆 A"))
        << output.toStdString();

    // The table editor lies frame on frame over the main window.
    const QRect editor = rectFrom(lines[QStringLiteral("editor")], 1);
    EXPECT_EQ(editor.topLeft(), main.topLeft()) << output.toStdString();
    EXPECT_EQ(
        lines[QStringLiteral("editor")].mid(5).join(u' '), QStringLiteral("本日出库 2011年3月7日"));
}

} // namespace
