// The main window's first screen on 100 000 items beside its floor, the same
// window on an empty stock file:
//  - the time from constructing MainWindow (after the start-up preparation, as
//    main() does it) until its first screen has been painted;
//  - the peak memory of a process showing that window (Linux: VmHWM).
// Every sample runs in a fresh process (this program started again with
// --first-screen), so each pays the cold start a storekeeper sees and no peak
// carries over from another case.
//
//   main_window_bench [--runs N] [--items N]

#include "stock_fixture.h"

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "app/startup.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "grid/grid_printer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPixmap>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char *const childOption = "--first-screen";

// Peak resident memory of this process in KiB; -1 where the platform does not
// tell.
qint64 peakMemoryKiB()
{
#ifdef Q_OS_LINUX
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    // A /proc file reports size 0, so atEnd() cannot be trusted: read it whole.
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
#endif
    return -1;
}

// One sample: start-up as main() does it on `dir`, then the window until its
// first screen is painted. Prints the figures for the parent to read.
int firstScreen(int argc, char **argv, const QString &dir, int items)
{
    QApplication application(argc, argv);
    QApplication::setFont(StartUp::applicationFont(QApplication::font()));
    GridPrinter::installFontSubstitutes();
    if (!StartUp::prepareProgramDirectory(dir))
        return 2;

    AppState state;
    state.programDir = dir;
    RecordStore store;
    QtPrompts prompts;
    SystemClock clock;

    QElapsedTimer timer;
    timer.start();
    MainWindow window(state, store, prompts, clock);
    installMainCommands(window);
    window.show();
    QCoreApplication::processEvents();
    const QPixmap screen = window.grab();
    const double ms = double(timer.nsecsElapsed()) / 1e6;

    if (window.stockTable().rowCount() != items + 1 || screen.isNull()) {
        std::fprintf(stderr, "the window shows %d rows, expected %d\n",
            window.stockTable().rowCount(), items + 1);
        return 3;
    }
    std::printf("ms %.3f\npeak-kib %lld\n", ms, static_cast<long long>(peakMemoryKiB()));
    std::fflush(stdout);
    return 0;
}

struct Sample
{
    double ms = -1;
    qint64 peakKiB = -1;
};

bool runChild(const QString &dir, int items, Sample &sample)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
        {QString::fromLatin1(childOption), dir, QString::number(items)});
    if (!child.waitForFinished(5 * 60 * 1000) || child.exitStatus() != QProcess::NormalExit
        || child.exitCode() != 0) {
        std::fprintf(stderr, "child for %d items failed (exit code %d)\n", items, child.exitCode());
        return false;
    }
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() != 2)
            continue;
        if (parts[0] == "ms")
            sample.ms = parts[1].toDouble();
        else if (parts[0] == "peak-kib")
            sample.peakKiB = parts[1].toLongLong();
    }
    return sample.ms >= 0;
}

struct Case
{
    int items = 0;
    std::vector<Sample> samples;

    double medianMs() const
    {
        std::vector<double> ms;
        for (const Sample &s : samples)
            ms.push_back(s.ms);
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? -1 : ms[ms.size() / 2];
    }
    // Peaks barely vary between runs; the largest is the one to plan for.
    qint64 peakKiB() const
    {
        qint64 peak = -1;
        for (const Sample &s : samples)
            peak = std::max(peak, s.peakKiB);
        return peak;
    }
};

bool measure(Case &c, int runs)
{
    const QString dir = programDirWith(c.items);
    // One unmeasured start first: the stock file's pages and the fonts come
    // into the system's caches, as on any start but the first after booting.
    Sample warm;
    if (!runChild(dir, c.items, warm))
        return false;
    for (int i = 0; i < runs; ++i) {
        Sample sample;
        if (!runChild(dir, c.items, sample))
            return false;
        c.samples.push_back(sample);
    }
    return true;
}

void printRow(const char *figure, int items, double ours, double floor, const char *unit)
{
    std::printf("%-26s %9d %12.1f %12.1f %7.2f   %s\n", figure, items, ours, floor,
        floor > 0 ? ours / floor : 0.0, unit);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], childOption) == 0)
        return firstScreen(argc, argv, QString::fromLocal8Bit(argv[2]), atoi(argv[3]));

    QCoreApplication application(argc, argv);
    int runs = 5;
    int items = 100000;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QStringLiteral("--runs"))
            runs = std::max(1, arguments[i + 1].toInt());
        else if (arguments[i] == QStringLiteral("--items"))
            items = std::max(1, arguments[i + 1].toInt());
    }

    Case ours {items, {}};
    Case empty {0, {}};
    std::printf("preparing a stock file of %d items ...\n", items);
    std::fflush(stdout);
    if (!measure(empty, runs) || !measure(ours, runs))
        return 1;

    std::printf("\n%d fresh processes per case, median time, largest peak\n\n", runs);
    std::printf("%-26s %9s %12s %12s %7s\n", "figure", "items", "ours", "floor", "ratio");
    printRow("first screen (ms)", items, ours.medianMs(), empty.medianMs(), "target < 1000 ms");
    if (ours.peakKiB() >= 0)
        printRow("peak memory (MiB)", items, double(ours.peakKiB()) / 1024,
            double(empty.peakKiB()) / 1024, "target < 200 MiB");
    else
        std::printf("%-26s %9d %12s %12s %7s\n", "peak memory (MiB)", items, "n/a", "n/a", "");

    std::printf("\nsamples (ms):");
    for (const Case *c : {&ours, &empty}) {
        std::printf("\n  %6d items:", c->items);
        for (const Sample &s : c->samples)
            std::printf(" %.1f", s.ms);
    }
    std::printf("\n");
    return 0;
}
