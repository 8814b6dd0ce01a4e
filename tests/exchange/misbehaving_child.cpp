#include "misbehaving_child.h"

#include "workbook/workbook_reader.h"
#include "workbook/workbook_stream.h"

#include <QByteArray>
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
    if (behaviour == "hang") {
        QThread::sleep(60);
        return 0;
    }
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
    if (behaviour == "flood") {
        // Output without end, as fast as the pipe takes it.
        const QByteArray block(64 * 1024, 'x');
        for (;;)
            writeOut(block);
    }
    return -1;
}
