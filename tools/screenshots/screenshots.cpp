// Makes the README's pictures: the main window with three lines picked, the
// issue note laid out from them, and the note as printed (into a PDF, which
// scripts/screenshots turns into a picture). Run on a real X display with a
// window manager, so that the caption bars show; everything is made up in a
// scratch folder, nothing is read from or written to a real warehouse.
//
//   warehouse_screenshots OUTPUT_FOLDER

#include "app/main_commands.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "common/app_state.h"
#include "common/clock.h"
#include "data/record_store.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "grid/grid_printer.h"
#include "issue/issue_note_window.h"
#include "support/scripted_prompts.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {

struct Material
{
    const char *name;
    const char *spec;
    const char *unit;
    double quantity;
    double price;
    double alarm;
};

const Material materials[] = {
    {"电力电缆", "YJV22-3×95", "米", 860, 185.5, 100},
    {"架空绝缘导线", "JKLYJ-10/120", "米", 3200, 12.8, 500},
    {"悬式绝缘子", "XP-70", "片", 240, 36.8, 50},
    {"针式绝缘子", "P-15T", "只", 35, 28, 40},
    {"隔离开关", "GW9-10/630", "组", 6, 1200, 2},
    {"跌落式熔断器", "RW12-10/100", "组", 12, 460, 4},
    {"避雷器", "HY5WS-17/50", "只", 3, 150, 6},
    {"水泥电杆", "φ190×12m", "根", 18, 980, 5},
    {"横担", "L63×6×1500", "根", 120, 85, 20},
    {"抱箍", "U16-180", "副", 300, 9.5, 50},
    {"钢绞线", "GJ-50", "公斤", 450, 8.6, 100},
    {"配电变压器", "S11-200/10", "台", 2, 38500, 1},
    {"电能表", "DDZY71-Z", "只", 150, 245, 30},
    {"计量箱", "JLX-1", "个", 8, 320, 10},
    {"电缆终端头", "3×95", "套", 14, 560, 4},
    {"螺栓", "M16×60", "套", 1800, 1.2, 200},
    {"铝压接管", "JY-120", "只", 90, 6.5, 20},
    {"绑扎线", "LJ-16", "公斤", 25, 21, 10},
};

bool writeStock(const QString &path)
{
    RecordStore writer;
    if (!Stock::createEmptyFile(path) || !writer.open(path, QStringLiteral("w")))
        return false;
    for (const Material &m : materials) {
        QVariantList values(Stock::fieldCount);
        values[Stock::Name - 1] = QString::fromUtf8(m.name);
        values[Stock::Spec - 1] = QString::fromUtf8(m.spec);
        values[Stock::Unit - 1] = QString::fromUtf8(m.unit);
        values[Stock::Quantity - 1] = m.quantity;
        values[Stock::UnitPrice - 1] = m.price;
        values[Stock::Amount - 1] = m.quantity * m.price;
        values[Stock::AlarmQuantity - 1] = m.alarm;
        if (!writer.add(values))
            return false;
    }
    return true;
}

void writeConfig(const QString &path)
{
    const char *text = "\xEF\xBB\xBF"
                       "[仓库名称]\r\n仓库名称=材料一库\r\n[使用方向]\r\n使用方向=配网改造\r\n"
                       "[领料部门]\r\n领料部门=城东供电所\r\n[项目名称]\r\n项目名称=10kV城东线\r\n"
                       "[审批]\r\n审批=审批：王明\r\n[财务审核]\r\n财务审核=财务：李红\r\n"
                       "[技术部门]\r\n技术部门=技术：赵强\r\n[开票]\r\n开票=开票：孙丽\r\n"
                       "[保管]\r\n保管=保管：周平\r\n[领料]\r\n领料=领料：吴刚\r\n";
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
}

// What is on screen over the window's frame, caption bar included.
bool shoot(const QWidget *window, const QString &path)
{
    // Not framed after a while: shot without the caption bar all the same.
    if (!QTest::qWaitFor([window] { return window->frameGeometry() != window->geometry(); }, 5000))
        std::printf("no window manager framed the window\n");
    QTest::qWait(500);
    const QRect frame = window->frameGeometry();
    QImage image = window->screen()
                       ->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height())
                       .toImage();
    // A palette of 256 colours keeps the file small; screens of a table need no more.
    image = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither);
    const bool saved = image.save(path, "PNG", 0);
    std::printf("%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}

void dragOverRows(Grid *grid, int first, int last)
{
    const auto at = [grid](int row) {
        return grid->visualRect(grid->model()->index(row - 1, 0)).center();
    };
    QWidget *viewport = grid->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, at(first));
    for (int row = first + 1; row <= last; ++row)
        QTest::mouseMove(viewport, at(row));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(last));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: warehouse_screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    StartUp::nameApplication();
    StartUp::speakChinese(application);
    QApplication::setFont(StartUp::applicationFont(QApplication::font()));
    GridPrinter::installFontSubstitutes();

    const QDir output(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(output.path());
    QTemporaryDir scratch;
    AppState state;
    state.programDir = scratch.path();
    if (!writeStock(state.path(Stock::fileName()))) {
        qCritical("无法建立示例库存文件");
        return 1;
    }
    writeConfig(state.path(QStringLiteral("config.ini")));

    RecordStore store;
    ScriptedPrompts prompts; // accepts the print dialog
    SystemClock clock;
    MainWindow window(state, store, prompts, clock);
    installMainCommands(window);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    dragOverRows(window.stockGrid(), 2, 4);
    bool ok = shoot(&window, output.filePath(QStringLiteral("main_window.png")));

    QTimer::singleShot(0, [&] {
        auto *note = qobject_cast<IssueNoteWindow *>(QApplication::activeModalWidget());
        if (!note) {
            ok = false;
            return;
        }
        // Booked and printed: the window says what it booked, and 出库 is
        // off for this note.
        note->setPdfOutput(output.filePath(QStringLiteral("printed_note.pdf")));
        prompts.answer(true); // the whole stock goes: that is asked first
        note->issueButton()->click();
        ok = shoot(note, output.filePath(QStringLiteral("issue_note.png"))) && ok;
        note->close();
    });
    window.action(QStringLiteral("开票预览"))->trigger();
    return ok && QFile::exists(output.filePath(QStringLiteral("printed_note.pdf"))) ? 0 : 1;
}
