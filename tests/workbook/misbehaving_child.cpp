#include "workbook/misbehaving_child.h"

#include "support/test_child.h"
#include "workbook/workbook_reader.h"
#include "workbook/workbook_stream.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void writeOut(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QByteArray oneCellWorkbook()
{
    WorkbookResult result;
    result.workbook.sheets.append(WorkbookSheet(QStringLiteral("Sheet1")));
    result.workbook.sheets[0].setValue(3, 2, QStringLiteral("螺栓"));
    return WorkbookStream::encode(result);
}

} // namespace

int runMisbehavingChild(int argc, char **argv)
{
    const QByteArray behaviour = qgetenv(misbehaviourVariable);
    if (behaviour.isEmpty() || argc < 2 || std::strcmp(argv[1], WorkbookReader::childOption) != 0)
        return -1;
    if (behaviour == "crash")
        std::abort();
    if (behaviour == "garbage") {
        writeOut(QByteArray("\x57\x42\x4B\x31\x01\xFF\xFF\xFF\xFF garbage", 18));
        return 0;
    }
    if (behaviour == "truncated") {
        writeOut(oneCellWorkbook().chopped(5));
        return 0;
    }
    if (behaviour == "exit") {
        writeOut(oneCellWorkbook());
        return 7;
    }
    if (behaviour == "hog") {
        // More address space than the child may have; untouched, so without
        // a limit it costs nothing and the child hands back a workbook.
        void *hog = std::malloc(size_t(WorkbookReader::childMemoryBytes + (1LL << 30)));
        if (!hog)
            std::abort(); // as a reader dies of a failed allocation
        std::free(hog);
        writeOut(oneCellWorkbook());
        return 0;
    }
    if (behaviour == "hang") {
        if (const QByteArray pidFile = qgetenv(pidFileVariable); !pidFile.isEmpty()) {
            QFile file(QString::fromLocal8Bit(pidFile));
            if (file.open(QIODevice::WriteOnly))
                file.write(QByteArray::number(QCoreApplication::applicationPid()));
        }
        QThread::sleep(60);
        return 0;
    }
    if (behaviour == "flood") {
        // Output without end, as fast as the pipe takes it.
        const QByteArray block(64 * 1024, 'x');
        for (;;)
            writeOut(block);
    }
    return -1;
}

namespace {

// The tests read workbooks in a child copy of their program, as the program
// does; the child may be told to misbehave instead.
const ChildRegistration readingChild([](int argc, char **argv) {
    if (const int child = runMisbehavingChild(argc, argv); child >= 0)
        return child;
    return runWorkbookReaderChild(argc, argv);
});

} // namespace
