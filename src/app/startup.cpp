#include "app/startup.h"

#include "app/stock_list.h"
#include "data/booking_backups.h"
#include "data/interrupted_work.h"
#include "data/stock_layout.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace StartUp {

QStringList backupFolders()
{
    return {QStringLiteral("备份数据库"), QStringLiteral("进库备份"), QStringLiteral("出库备份")};
}

QString normalizedDirectory(const QString &dir)
{
    QString path = QDir::cleanPath(QDir(QDir::fromNativeSeparators(dir)).absolutePath());
    // "/" and "C:/" keep their separator in cleanPath; programDir + "/" + name
    // must still be a valid path for them.
    if (path.endsWith(u'/'))
        path.chop(1);
    return path;
}

Status parseArguments(const QStringList &arguments, const QString &defaultDir, QString &programDir)
{
    const QString usage = QStringLiteral("\n\n用法：warehouse [--dir 程序目录]");
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption dirOption(
        QStringLiteral("dir"), QStringLiteral("程序目录"), QStringLiteral("PATH"));
    parser.addOption(dirOption);
    if (!parser.parse(arguments))
        return Status::failure(QStringLiteral("命令行有误：%1%2").arg(parser.errorText(), usage));
    if (!parser.positionalArguments().isEmpty())
        return Status::failure(
            QStringLiteral("命令行有误：多余的参数 %1%2")
                .arg(parser.positionalArguments().join(QStringLiteral(" ")), usage));

    const QString dir = parser.isSet(dirOption) ? parser.value(dirOption) : defaultDir;
    if (dir.trimmed().isEmpty())
        return Status::failure(QStringLiteral("命令行有误：程序目录为空。%1").arg(usage));
    programDir = normalizedDirectory(dir);
    return Status::success();
}

Status createDirectory(const QString &dir)
{
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir())
        return Status::failure(QStringLiteral("%1 不是文件夹，程序无法在这里启动。")
                                   .arg(QDir::toNativeSeparators(dir)));
    if (!QDir().mkpath(dir))
        return Status::failure(
            QStringLiteral("无法建立程序目录 %1。").arg(QDir::toNativeSeparators(dir)));
    return Status::success();
}

Status prepareProgramDirectory(const QString &dir)
{
    if (Status created = createDirectory(dir); !created)
        return created;

    QStringList folders;
    for (const QString &name : backupFolders())
        folders << dir + u'/' + name;
    // Half-done work must be finished before anything looks at the files, or
    // the stock file could be paired with another file's memos, or an item's
    // backup miss the booking that replaced it.
    if (Status finished = InterruptedWork::finish(dir, folders); !finished)
        return finished;

    const QString stockFile = dir + u'/' + Stock::fileName();
    const QFileInfo stock(stockFile);
    if (stock.exists() && !stock.isFile())
        return Status::failure(
            QStringLiteral("库存文件 %1 不是文件。").arg(QDir::toNativeSeparators(stockFile)));
    if (!stock.exists()) {
        if (Status made = Stock::createEmptyFile(stockFile); !made)
            return Status::failure(QStringLiteral("无法建立库存文件 %1：%2")
                                       .arg(QDir::toNativeSeparators(stockFile), made.message()));
    }
    return Status::success();
}

Status finishWork(const QString &dir)
{
    QStringList folders;
    for (const QString &name : backupFolders())
        if (QFileInfo(dir + u'/' + name).isDir())
            folders << dir + u'/' + name;
    return BookingBackups::finishInterrupted(dir, folders);
}

void nameApplication()
{
    QCoreApplication::setApplicationName(StockList::bareTitle());
    // The .desktop entry the window belongs to.
    QGuiApplication::setDesktopFileName(QStringLiteral("warehouse"));
}

QStringList translationFolders()
{
    return {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
        QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
}

bool speakChinese(QCoreApplication &application)
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto *translator = new QTranslator(&application);
    for (const QString &folder : translationFolders()) {
        if (translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"), folder)
            && QCoreApplication::installTranslator(translator))
            return true;
    }
    delete translator;
    return false;
}

QFont applicationFont(const QFont &platformFont)
{
    QFont font = platformFont;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), platformFont.family()});
    font.setPointSize(9);
    return font;
}

} // namespace StartUp
