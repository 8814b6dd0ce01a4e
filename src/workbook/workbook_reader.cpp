#include "workbook/workbook_reader.h"

#include "workbook/workbook_file.h"
#include "workbook/workbook_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

WorkbookResult failed(const QString &path, const QString &reason)
{
    return WorkbookResult::failure(
        QStringLiteral("无法读取电子表格文件：%1\n%2").arg(QDir::toNativeSeparators(path), reason));
}

// The child's own exit codes: bad arguments, output that could not be written.
constexpr int badArgumentsExit = 2;
constexpr int outputFailedExit = 4;

// Whether the child died rather than ended. abort(), the end of a reader whose
// allocation failed, ends a program with code 3 on Windows, which QProcess
// takes for an ordinary exit.
bool endedAbnormally(const QProcess &child)
{
    if (child.exitStatus() != QProcess::NormalExit)
        return true;
#ifdef Q_OS_WIN
    constexpr int abortExit = 3;
    return child.exitCode() == abortExit;
#else
    return false;
#endif
}

#ifdef Q_OS_WIN
// The child puts itself into a job object that caps its memory; the job ends
// with the child.
void limitOwnMemory()
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    limits.ProcessMemoryLimit = SIZE_T(WorkbookReader::childMemoryBytes);
    if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits))
        AssignProcessToJobObject(job, GetCurrentProcess());
}
#endif

// One run of the child, driven by the caller's event loop: collects the
// output within its bound and ends on the first of the child's end, the time
// limit, too much output and a cancel.
class ChildRun
{
public:
    ChildRun(QProcess &child, qint64 maxOutputBytes)
        : child_(child)
        , maxOutputBytes_(maxOutputBytes)
    {
        QObject::connect(&child, &QProcess::readyReadStandardOutput, &loop_, [this] {
            output_ += child_.readAllStandardOutput();
            if (output_.size() > maxOutputBytes_)
                stop(QStringLiteral("读取程序返回的数据过多"));
        });
        QObject::connect(&child, &QProcess::finished, &loop_, [this] { finish(); });
    }

    // Waits until the run ends; the watcher hears of it after watchDelayMs.
    void wait(const QString &path, int timeoutMs, WorkbookReadWatcher *watcher)
    {
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop_, [this, timeoutMs] {
            stop(QStringLiteral("读取超过 %1 秒仍未完成，已停止").arg((timeoutMs + 999) / 1000));
        });
        deadline.start(timeoutMs);
        bool watched = false;
        QTimer watch;
        watch.setSingleShot(true);
        QObject::connect(&watch, &QTimer::timeout, &loop_, [&] {
            watched = true;
            watcher->reading(path, [this] { stop(QStringLiteral("已取消读取")); });
            loop_.quit(); // on with user input, for the watcher's controls
        });
        if (watcher)
            watch.start(WorkbookReader::watchDelayMs);
        // Until a watcher shows itself, clicks and keys wait: nothing else of
        // the program may start meanwhile.
        while (!ended_)
            loop_.exec(watched ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        if (watched)
            watcher->done();
    }

    const QString &problem() const { return problem_; }
    const QByteArray &output() const { return output_; }

private:
    void stop(const QString &problem)
    {
        if (ended_)
            return;
        problem_ = problem;
        child_.kill();
        child_.waitForFinished(5000);
        ended_ = true;
        loop_.quit();
    }
    void finish()
    {
        if (ended_)
            return;
        output_ += child_.readAllStandardOutput();
        if (output_.size() > maxOutputBytes_)
            problem_ = QStringLiteral("读取程序返回的数据过多");
        ended_ = true;
        loop_.quit();
    }

    QProcess &child_;
    qint64 maxOutputBytes_;
    QEventLoop loop_;
    QByteArray output_;
    QString problem_;
    bool ended_ = false;
};

} // namespace

WorkbookReader::WorkbookReader()
    : WorkbookReader(QCoreApplication::applicationFilePath(), defaultTimeoutMs)
{ }

WorkbookReader::WorkbookReader(QString program, int timeoutMs, qint64 maxOutputBytes)
    : program_(std::move(program))
    , timeoutMs_(timeoutMs)
    , maxOutputBytes_(maxOutputBytes)
{ }

WorkbookResult WorkbookReader::read(const QString &path) const
{
    if (!QFileInfo(path).isFile())
        return failed(path, QStringLiteral("文件不存在或无法打开"));

    QProcess child;
    child.setProgram(program_);
    child.setArguments({QString::fromLatin1(childOption),
        QString::fromLatin1(path.toUtf8().toHex()), QString::number(rowLimit_)});
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
#if defined(Q_OS_UNIX) && !defined(__SANITIZE_ADDRESS__)
    // Set between fork and exec, so no child ever runs without it. (The
    // address sanitizer reserves terabytes of address space at start: its
    // builds have the allocator refuse large requests instead.)
    child.setChildProcessModifier([] {
        const rlimit limit {rlim_t(childMemoryBytes), rlim_t(childMemoryBytes)};
        setrlimit(RLIMIT_AS, &limit);
    });
#endif
    ChildRun run(child, maxOutputBytes_);
    child.start(QIODevice::ReadOnly);
    if (!child.waitForStarted(timeoutMs_))
        return failed(path, QStringLiteral("无法启动读取程序"));
    run.wait(path, timeoutMs_, watcher_);

    if (!run.problem().isEmpty())
        return failed(path, run.problem());
    if (endedAbnormally(child))
        return failed(path, QStringLiteral("读取程序意外终止（文件可能已损坏或过大）"));
    if (child.exitCode() != 0)
        return failed(path, QStringLiteral("读取程序出错退出（代码 %1）").arg(child.exitCode()));
    WorkbookResult result = WorkbookStream::decode(run.output());
    if (!result.status)
        return failed(path, result.status.message());
    return result;
}

int runWorkbookReaderChild(int argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], WorkbookReader::childOption) != 0)
        return -1;
    if (argc != 3 && argc != 4)
        return badArgumentsExit;
    int rowLimit = WorkbookSheet::maxRows;
    if (argc == 4) {
        bool ok = false;
        rowLimit = QByteArray(argv[3]).toInt(&ok);
        if (!ok || rowLimit < 0)
            return badArgumentsExit;
    }
#ifdef Q_OS_WIN
    limitOwnMemory();
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const QString path = QString::fromUtf8(QByteArray::fromHex(QByteArray(argv[2])));
    const WorkbookResult result = readWorkbookFile(path, rowLimit);
    // Written as it is encoded: the stream is never held whole.
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        return outputFailedExit;
    const bool written = WorkbookStream::write(out, result);
    return written && out.flush() ? 0 : outputFailedExit;
}
