#include "workbook/workbook_reader.h"

#include "workbook/workbook_file.h"
#include "workbook/workbook_stream.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#endif

namespace {

WorkbookResult failed(const QString &path, const QString &reason)
{
    return WorkbookResult::failure(
        QStringLiteral("无法读取电子表格文件：%1\n%2").arg(QDir::toNativeSeparators(path), reason));
}

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
    child.setArguments(
        {QString::fromLatin1(childOption), QString::fromLatin1(path.toUtf8().toHex())});
    child.setStandardInputFile(QProcess::nullDevice());
    child.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    child.start(QIODevice::ReadOnly);
    if (!child.waitForStarted(timeoutMs_))
        return failed(path, QStringLiteral("无法启动读取程序"));

    const auto stop = [&child] {
        child.kill();
        child.waitForFinished(5000);
    };
    QByteArray output;
    for (;;) {
        output += child.readAllStandardOutput();
        if (output.size() > maxOutputBytes_) {
            stop();
            return failed(path, QStringLiteral("读取程序返回的数据过多"));
        }
        if (child.state() == QProcess::NotRunning)
            break;
        const qint64 remaining = timeoutMs_ - clock.elapsed();
        if (remaining <= 0) {
            stop();
            return failed(path,
                QStringLiteral("读取超过 %1 秒仍未完成，已停止").arg((timeoutMs_ + 999) / 1000));
        }
        // Wakes for every piece of output, so the size check above runs
        // before the buffer can grow far; returns at once when the child ends.
        if (!child.waitForReadyRead(int(remaining)) && child.state() != QProcess::NotRunning)
            child.waitForFinished(int(std::min<qint64>(remaining, 50)));
    }
    if (child.exitStatus() != QProcess::NormalExit)
        return failed(path, QStringLiteral("读取程序意外终止（文件可能已损坏）"));
    if (child.exitCode() != 0)
        return failed(path, QStringLiteral("读取程序出错退出（代码 %1）").arg(child.exitCode()));
    WorkbookResult result = WorkbookStream::decode(output);
    if (!result.status)
        return failed(path, result.status.message());
    return result;
}

int runWorkbookReaderChild(int argc, char **argv)
{
    if (argc < 2 || std::strcmp(argv[1], WorkbookReader::childOption) != 0)
        return -1;
    if (argc != 3)
        return 2;
    const QString path = QString::fromUtf8(QByteArray::fromHex(QByteArray(argv[2])));
    const QByteArray bytes = WorkbookStream::encode(readWorkbookFile(path));
#ifdef Q_OS_WIN
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const size_t written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    return written == size_t(bytes.size()) && std::fflush(stdout) == 0 ? 0 : 3;
}
