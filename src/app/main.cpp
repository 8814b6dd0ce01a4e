#include "app/instance_lock.h"
#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/qt_prompts.h"
#include "app/startup.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "grid/grid_printer.h"
#include "workbook/workbook_reader.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Workbooks are read by a child copy of the program, so that a malformed
    // file can only end that child.
    if (const int child = runWorkbookReaderChild(argc, argv); child >= 0)
        return child;
    QApplication application(argc, argv);
    StartUp::nameApplication();
    StartUp::speakChinese(application);
    QApplication::setFont(StartUp::applicationFont(QApplication::font()));
    // Chinese font names of the tables (宋体, 黑体 ...) find a font with Chinese
    // glyphs where the system has none by those names.
    GridPrinter::installFontSubstitutes();

    QtPrompts prompts;
    const auto refuse = [&prompts](const Status &status) {
        prompts.message(status.message(), Prompts::defaultTitle(), Prompts::Icon::Warning);
        return 1;
    };

    QString programDir;
    if (Status parsed = StartUp::parseArguments(
            QApplication::arguments(), QCoreApplication::applicationDirPath(), programDir);
        !parsed)
        return refuse(parsed);
    if (Status created = StartUp::createDirectory(programDir); !created)
        return refuse(created);

    // Held until main() returns, after the window has removed its temporary
    // files.
    InstanceLock lock(programDir);
    if (Status locked = lock.acquire(); !locked)
        return refuse(locked);
    if (Status prepared = StartUp::prepareProgramDirectory(programDir); !prepared)
        return refuse(prepared);

    AppState state;
    state.programDir = programDir;
    RecordStore store;
    SystemClock clock;

    MainWindow window(state, store, prompts, clock);
    installMainCommands(window);
    window.show();
    const int code = QApplication::exec();
    if (Status finished = StartUp::finishWork(programDir); !finished)
        return refuse(
            Status::failure(QStringLiteral("退出前未能整理库存数据，下次启动程序时会补做：%1")
                                .arg(finished.message())));
    return code;
}
