#include "app/qt_prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// Acts on the next modal dialog as soon as it is open, from inside its own
// event loop, the way a user would. Gives up after ten seconds so a dialog
// that never comes cannot hang the run.
template<typename Dialog>
void whenShown(std::function<void(Dialog *)> act)
{
    auto *poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, act] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            const QPointer<Dialog> guard(dialog);
            act(dialog);
            // A failed assertion in `act` leaves the dialog open.
            if (guard && guard->isVisible()) {
                ADD_FAILURE() << "the dialog was left open";
                guard->reject();
            }
        } else if (++*tries > 1000) {
            poll->stop();
            poll->deleteLater();
            ADD_FAILURE() << "no dialog of the expected kind opened";
            if (QWidget *other = QApplication::activeModalWidget())
                other->close();
        }
    });
    poll->start(10);
}

TEST(QtPrompts, MessageShowsTitleTextIconAndOneOkButton)
{
    QtPrompts prompts;
    bool seen = false;
    whenShown<QMessageBox>([&](QMessageBox *box) {
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
    whenShown<QMessageBox>([](QMessageBox *box) {
        EXPECT_EQ(box->windowTitle(), QStringLiteral("提醒询问："));
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        // The user just presses Enter.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
    });
    EXPECT_FALSE(prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问：")));

    whenShown<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); });
    EXPECT_TRUE(prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问：")));

    whenShown<QMessageBox>([](QMessageBox *box) { box->reject(); });
    EXPECT_FALSE(prompts.askYesNo(QStringLiteral("真的取消吗？"), QStringLiteral("提醒询问：")))
        << "closing the box is No";
}

TEST(QtPrompts, TextInputReturnsTheTypedTextOrNothing)
{
    QtPrompts prompts;
    whenShown<QInputDialog>([](QInputDialog *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("请输入您想要查找的内容"));
        EXPECT_EQ(dialog->labelText(), QStringLiteral("如果想在哪一列中查找,请将光标放到哪一列"));
        EXPECT_EQ(dialog->textValue(), QString());
        dialog->setTextValue(QStringLiteral(" 电缆 "));
        dialog->accept();
    });
    EXPECT_EQ(prompts.inputText(QStringLiteral("如果想在哪一列中查找,请将光标放到哪一列"),
                  QStringLiteral("请输入您想要查找的内容"), QString()),
        std::optional<QString>(QStringLiteral(" 电缆 ")));

    whenShown<QInputDialog>([](QInputDialog *dialog) {
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
        whenShown<QInputDialog>([typed, shown](QInputDialog *dialog) {
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

    whenShown<QInputDialog>([](QInputDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(prompts.inputNumber(QStringLiteral("?"), QStringLiteral("?"), 1), std::nullopt);
}

TEST(QtPrompts, IntegerInputRefusesAnythingButWholeNumbersInItsRange)
{
    QtPrompts prompts;
    // Keys as the user types them over the proposed value.
    const auto ask = [&](const QString &typed, QString *shown) {
        whenShown<QInputDialog>([typed, shown](QInputDialog *dialog) {
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

    whenShown<QInputDialog>([](QInputDialog *dialog) { dialog->reject(); });
    EXPECT_EQ(
        prompts.inputInteger(QStringLiteral("?"), QStringLiteral("?"), 1, 0, 5), std::nullopt);
}

TEST(QtPrompts, OpenFileDialogStartsInTheFolderWithTheFilter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtPrompts prompts;
    whenShown<QFileDialog>([&](QFileDialog *dialog) {
        EXPECT_EQ(QDir(dialog->directory()).canonicalPath(), QDir(dir.path()).canonicalPath());
        EXPECT_EQ(dialog->nameFilters(), QStringList {QStringLiteral(".zrb (*.zrb)")});
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
        dialog->reject();
    });
    EXPECT_EQ(prompts.openFileName(dir.path(), QStringLiteral(".zrb (*.zrb)")), QString());
}

} // namespace
