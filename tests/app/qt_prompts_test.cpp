#include "app/qt_prompts.h"

#include "app/startup.h"
#include "data/stock_file.h"
#include "support/modal_window.h"
#include "ui/wait_cursor.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString dialogOpened = QStringLiteral("the prompt");

TEST(QtPrompts, MessageShowsTitleTextIconAndOneOkButton)
{
    QtPrompts prompts;
    bool seen = false;
    whenModalShown<QMessageBox>(dialogOpened, [&](QMessageBox *box) {
        seen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("错误"));
        EXPECT_EQ(box->text(), QStringLiteral("表格文件 <a.grd> 保存失败"));
        EXPECT_EQ(box->textFormat(), Qt::PlainText) << "texts from files show as they are";
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->buttons().size(), 1);
        EXPECT_NE(box->button(QMessageBox::Ok), nullptr);
        box->button(QMessageBox::Ok)->click();
    });
    prompts.message(
        QStringLiteral("表格文件 <a.grd> 保存失败"), QStringLiteral("错误"), Prompts::Icon::Error);
    EXPECT_TRUE(seen);
}

TEST(QtPrompts, QuestionDefaultsToNo)
{
    QtPrompts prompts;
    whenModalShown<QMessageBox>(dialogOpened, [](QMessageBox *box) {
        EXPECT_EQ(box->windowTitle(), QStringLiteral("提醒询问："));
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        // The user just presses Enter.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
    });
    EXPECT_FALSE(prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问：")));

    whenModalShown<QMessageBox>(
        dialogOpened, [](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问：")));

    whenModalShown<QMessageBox>(dialogOpened, [](QMessageBox *box) { box->reject(); });
    EXPECT_FALSE(prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问：")))
        << "closing the box is No";
}

TEST(QtPrompts, TextInputReturnsTheTypedTextOrNothing)
{
    QtPrompts prompts;
    whenModalShown<QInputDialog>(dialogOpened, [](QInputDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("请输入您想要查找的内容"));
        EXPECT_EQ(dialog->labelText(), QStringLiteral("如果想在哪一列中查找,请将光标放到哪一列"));
        EXPECT_EQ(dialog->textValue(), QString());
        dialog->setTextValue(QStringLiteral(" 电缆 "));
        dialog->accept();
    });
    EXPECT_EQ(prompts.inputText(QStringLiteral("如果想在哪一列中查找,请将光标放到哪一列"),
                  QStringLiteral("请输入您想要查找的内容"), QString()),
        std::optional<QString>(QStringLiteral(" 电缆 ")));

    whenModalShown<QInputDialog>(dialogOpened, [](QInputDialog *dialog) {
        dialog->setTextValue(QStringLiteral("不要"));
        dialog->reject();
    });
    EXPECT_EQ(
        prompts.inputText(QStringLiteral("?"), QStringLiteral("?"), QStringLiteral("电子表格")),
        std::nullopt);
}

TEST(QtPrompts, NumberInputShowsAndReadsNumbersAsTheProgramWritesThem)
{
    QtPrompts prompts;
    const auto ask = [&](double initial, const QString &typed, QString *shown) {
        whenModalShown<QInputDialog>(dialogOpened, [typed, shown](QInputDialog *dialog) {
            *shown = dialog->textValue();
            dialog->setTextValue(typed);
            dialog->accept();
        });
        return prompts.inputNumber(
            QStringLiteral("请输入表头行数:"), QStringLiteral("表头行数设置"), initial);
    };

    QString shown;
    EXPECT_EQ(ask(1, QStringLiteral("3"), &shown), std::optional<double>(3));
    EXPECT_EQ(shown, QStringLiteral("1"));
    EXPECT_EQ(ask(0.1, QStringLiteral("１２.５"), &shown), std::optional<double>(12.5))
        << "full-width digits";
    EXPECT_EQ(shown, QStringLiteral("0.1"));
    EXPECT_EQ(ask(2, QStringLiteral("abc"), &shown), std::optional<double>(0))
        << "no number counts as 0, as everywhere else";

    whenModalShown<QInputDialog>(dialogOpened, [](QInputDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(prompts.inputNumber(QStringLiteral("?"), QStringLiteral("?"), 1), std::nullopt);
}

TEST(QtPrompts, IntegerInputRefusesAnythingButWholeNumbersInItsRange)
{
    QtPrompts prompts;
    // Keys as the user types them over the proposed value.
    const auto ask = [&](const QString &typed, QString *shown) {
        whenModalShown<QInputDialog>(dialogOpened, [typed, shown](QInputDialog *dialog) {
            auto *box = dialog->findChild<QSpinBox *>();
            ASSERT_NE(box, nullptr);
            *shown = box->text();
            box->selectAll();
            QTest::keyClicks(box, typed);
            dialog->accept();
        });
        return prompts.inputInteger(
            QStringLiteral("请输入表头行数:"), QStringLiteral("表头行数设置"), 1, 0, 12);
    };

    QString shown;
    EXPECT_EQ(ask(QStringLiteral("3"), &shown), std::optional<int>(3));
    EXPECT_EQ(shown, QStringLiteral("1"));
    EXPECT_EQ(ask(QStringLiteral("2.5"), &shown), std::optional<int>(2)) << "no decimals";
    EXPECT_EQ(ask(QStringLiteral("abc"), &shown), std::optional<int>(1)) << "no letters";
    EXPECT_EQ(ask(QStringLiteral("-4"), &shown), std::optional<int>(4)) << "nothing below 0";
    EXPECT_EQ(ask(QStringLiteral("40"), &shown), std::optional<int>(4)) << "nothing above 12";

    whenModalShown<QInputDialog>(dialogOpened, [](QInputDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(
        prompts.inputInteger(QStringLiteral("?"), QStringLiteral("?"), 1, 0, 5), std::nullopt);
}

TEST(QtPrompts, OpenFileDialogStartsInTheFolderWithTheFilter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtPrompts prompts;
    whenModalShown<QFileDialog>(dialogOpened, [&](QFileDialog *dialog) {
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        EXPECT_EQ(dialog->nameFilters(), QStringList {QStringLiteral(".zrb (*.zrb)")});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->reject();
    });
    EXPECT_EQ(prompts.openFileName(dir.path(), QStringLiteral(".zrb (*.zrb)")), QString());
}

TEST(QtPrompts, TheNewestFirstDialogListsBackupsByTheirTimeNotTheirNames)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char *name : {"9日10时8分", "9日10时23分", "9日9时", "9日10时23分(2)", "10日"}) {
        QFile file(dir.filePath(QStringLiteral("2026年12月%1.zrb").arg(QString::fromUtf8(name))));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QStringList listed;
    whenModalShown<QFileDialog>(dialogOpened, [&](QFileDialog *dialog) {
        auto *view = dialog->findChild<QListView *>(QStringLiteral("listView"));
        ASSERT_NE(view, nullptr);
        const QModelIndex root = view->rootIndex();
        EXPECT_TRUE(QTest::qWaitFor([&] { return view->model()->rowCount(root) == 5; }));
        for (int row = 0; row < view->model()->rowCount(root); ++row)
            listed << view->model()->index(row, 0, root).data().toString().mid(8);
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        name->setText(QStringLiteral("2026年12月9日9时.zrb"));
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(QtPrompts().openNewestFirst(dir.path(), QStringLiteral(".zrb (*.zrb)"), {},
                  [](const QString &path) { return StockFile::backupTime(path); }),
        dir.filePath(QStringLiteral("2026年12月9日9时.zrb")));
    EXPECT_EQ(listed,
        QStringList(
            {"10日.zrb", "9日10时23分(2).zrb", "9日10时23分.zrb", "9日10时8分.zrb", "9日9时.zrb"}));
}

// Qt's own texts, in Chinese once the program has said so at start-up; every
// test puts the process back as it found it.
class ChineseQtTexts : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(StartUp::speakChinese(*qApp)); }
    void TearDown() override
    {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        QLocale::setDefault(savedLocale);
    }

    const QLocale savedLocale;
    QtPrompts prompts;
};

TEST_F(ChineseQtTexts, MessageBoxButtonsAndTextBoxMenusSpeakChinese)
{
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));

    whenModalShown<QMessageBox>(dialogOpened, [](QMessageBox *box) {
        EXPECT_EQ(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
        box->button(QMessageBox::Ok)->click();
    });
    prompts.message(QStringLiteral("数据库已备份"), QStringLiteral("信息："), Prompts::Icon::None);

    whenModalShown<QMessageBox>(dialogOpened, [](QMessageBox *box) {
        EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
        EXPECT_EQ(box->button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
        box->button(QMessageBox::No)->click();
    });
    prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问："));

    // The menu a right click opens over any text box of the program.
    QLineEdit box;
    box.setText(QStringLiteral("电缆"));
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QContextMenuEvent rightClick(
        QContextMenuEvent::Mouse, QPoint(5, 5), box.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&box, &rightClick);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList captions;
    for (const QAction *action : menu->actions())
        captions << action->text().section(u'\t', 0, 0);
    menu->close();
    EXPECT_TRUE(captions.contains(QStringLiteral("复制(&C)"))) << captions.join(u' ').toStdString();
    EXPECT_TRUE(captions.contains(QStringLiteral("粘贴(&P)")));
    EXPECT_TRUE(captions.contains(QStringLiteral("全选")));
}

TEST_F(ChineseQtTexts, AFileDialogWithoutATitleSaysWhatItDoesInChinese)
{
    whenModalShown<QFileDialog>(dialogOpened, [](QFileDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("打开"));
        dialog->reject();
    });
    prompts.openFileName(QDir::tempPath(), QStringLiteral("*.grd (*.grd)"));

    whenModalShown<QFileDialog>(dialogOpened, [](QFileDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("导入备份"));
        dialog->reject();
    });
    prompts.openFileName(
        QDir::tempPath(), QStringLiteral(".zrb (*.zrb)"), QStringLiteral("导入备份"));
}

TEST(QtPrompts, DialogsShownByABusyCommandShowTheUsualPointer)
{
    QtPrompts prompts;
    const WaitCursor busy;
    bool seen = false;
    whenModalShown<QMessageBox>(dialogOpened, [&](QMessageBox *box) {
        seen = true;
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        box->button(QMessageBox::Ok)->click();
    });
    prompts.message(QStringLiteral("添加完毕"), QStringLiteral("信息："), Prompts::Icon::None);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(WaitCursor::active()) << "the command goes on working afterwards";
}

TEST(QtPrompts, TheFontDialogOpensOnTheFontAmongTheFontsThatWriteChinese)
{
    const QStringList chineseFamilies = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
    if (chineseFamilies.isEmpty())
        GTEST_SKIP() << "no font with Chinese glyphs is installed";
    const QFont current(chineseFamilies.constFirst(), 14);
    QtPrompts prompts;
    whenModalShown<QFontDialog>(dialogOpened, [&](QFontDialog *dialog) {
        EXPECT_EQ(dialog->currentFont().family(), current.family());
        EXPECT_EQ(dialog->currentFont().pointSize(), 14);
        const QString chinese = QFontDatabase::writingSystemName(QFontDatabase::SimplifiedChinese);
        bool chosen = false;
        for (const QComboBox *box : dialog->findChildren<QComboBox *>())
            chosen = chosen || box->currentText() == chinese;
        EXPECT_TRUE(chosen) << "the writing system list shows Chinese";
        dialog->reject();
    });
    EXPECT_EQ(prompts.chooseFont(current.family(), 14), std::nullopt);
}

TEST(QtPrompts, ThePrintPreviewTakesMostOfTheScreenWithThePageAsWideAsIt)
{
    QtPrompts prompts;
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    QTemporaryDir dir;
    printer.setOutputFileName(dir.filePath(QStringLiteral("preview.pdf")));
    whenModalShown<QPrintPreviewDialog>(dialogOpened, [](QPrintPreviewDialog *dialog) {
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        EXPECT_GE(dialog->width(), screen.width() * 8 / 10);
        EXPECT_GE(dialog->height(), screen.height() * 8 / 10);
        const auto *fitWidth = dialog->findChild<QAction *>(QStringLiteral("fitWidthAction"));
        ASSERT_NE(fitWidth, nullptr);
        EXPECT_TRUE(fitWidth->isChecked());
        dialog->reject();
    });
    int painted = 0;
    prompts.printPreview(printer, [&](QPrinter *) { ++painted; });
    EXPECT_GE(painted, 1);
}

} // namespace
