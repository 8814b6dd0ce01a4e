#pragma once

#include "workbook/workbook.h"
#include "workbook/workbook_stream.h"

#include <QString>

// Reads a workbook file in a child process, so that a file that makes a
// reader crash, hang or run away with memory ends only the child: this same
// program started with `--read-workbook <path as hex UTF-8>` (the path is
// hex-coded so that no code page on any platform can mangle it). The child
// writes the cells to its standard output (WorkbookStream); the program kills
// it after the time limit and checks everything it hands back. A failure comes
// back as a Status whose message reads "无法读取电子表格文件：<file>" and the
// reason on a second line.
//
// The program's main() must call runWorkbookReaderChild() first thing.
class WorkbookReader
{
public:
    static constexpr int defaultTimeoutMs = 30'000;
    static constexpr char childOption[] = "--read-workbook";

    // This program as the child, with the default time limit.
    WorkbookReader();
    WorkbookReader(
        QString program, int timeoutMs, qint64 maxOutputBytes = WorkbookStream::maxBytes);

    WorkbookResult read(const QString &path) const;

    const QString &program() const { return program_; }
    int timeoutMs() const { return timeoutMs_; }

private:
    QString program_;
    int timeoutMs_;
    qint64 maxOutputBytes_;
};

// The child's side: when argv[1] is WorkbookReader::childOption, reads the file
// named by argv[2], writes the result to standard output and returns the exit
// code; otherwise returns -1 and the program starts as usual. Needs no Qt
// application object.
int runWorkbookReaderChild(int argc, char **argv);
