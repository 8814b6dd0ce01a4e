#pragma once

#include "workbook/workbook.h"
#include "workbook/workbook_stream.h"

#include <QString>

#include <functional>

// Someone who shows the user that a workbook is being read and lets them stop
// it (the main window's progress dialog). Told only when a read lasts longer
// than WorkbookReader::watchDelayMs, so a quick read shows nothing.
class WorkbookReadWatcher
{
public:
    virtual ~WorkbookReadWatcher() = default;
    // The read goes on; calling `cancel` ends the child and the read.
    virtual void reading(const QString &path, std::function<void()> cancel) = 0;
    // The read is over, whichever way.
    virtual void done() = 0;
};

// Reads a workbook file in a child process, so that a file that makes a
// reader crash, hang or run away with memory ends only the child: this same
// program started with `--read-workbook <path as hex UTF-8> <row limit>` (the
// path is hex-coded so that no code page on any platform can mangle it). The child
// writes the cells to its standard output as it goes (WorkbookStream); the
// program kills it after the time limit, or when the watcher cancels, and
// checks everything it hands back. The child may take at most
// childMemoryBytes of memory (its address space on Linux and other Unix
// systems, a job object on Windows). A failure comes back as a Status whose
// message reads "无法读取电子表格文件：<file>" and the reason on a second line.
//
// While the child works, the caller's event loop turns (user input held back
// until a watcher shows itself), so windows repaint and a progress dialog
// can be cancelled; read() returns when the child is done.
//
// The program's main() must call runWorkbookReaderChild() first thing.
class WorkbookReader
{
public:
    static constexpr int defaultTimeoutMs = 30'000;
    static constexpr int watchDelayMs = 400;
    static constexpr qint64 childMemoryBytes = 2LL * 1024 * 1024 * 1024;
    static constexpr char childOption[] = "--read-workbook";

    // This program as the child, with the default time limit.
    WorkbookReader();
    WorkbookReader(
        QString program, int timeoutMs, qint64 maxOutputBytes = WorkbookStream::maxBytes);

    WorkbookResult read(const QString &path) const;

    // Whom to tell about a long read (not owned; none by default).
    void setWatcher(WorkbookReadWatcher *watcher) { watcher_ = watcher; }
    // Reads only rows 1..rows of each sheet (all by default): a caller that
    // needs the first rows of a long file gets them, not a refusal.
    void setRowLimit(int rows) { rowLimit_ = rows; }
    int rowLimit() const { return rowLimit_; }

    const QString &program() const { return program_; }
    int timeoutMs() const { return timeoutMs_; }

private:
    QString program_;
    int timeoutMs_;
    qint64 maxOutputBytes_;
    WorkbookReadWatcher *watcher_ = nullptr;
    int rowLimit_ = WorkbookSheet::maxRows;
};

// The child's side: when argv[1] is WorkbookReader::childOption, reads the file
// named by argv[2] up to the row limit argv[3] (all rows without it), writes the result to standard
// output and returns the exit code; otherwise returns -1 and the program starts as usual. Needs no
// Qt application object.
int runWorkbookReaderChild(int argc, char **argv);
