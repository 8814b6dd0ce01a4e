#include "support/scripted_prompts.h"

#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ScriptedPrompts, AnswersFromTheQueueInOrder)
{
    ScriptedPrompts prompts;
    prompts.answer(true);
    prompts.answer(QStringLiteral("螺丝"));
    prompts.answer(2.5);
    prompts.answer(3); // an integer serves a number input too
    prompts.answer(QStringLiteral("/tmp/a.xls"));
    prompts.answer(QVariant::fromValue(FontChoice {QStringLiteral("宋体"), 12}));

    // The program sees only the interface, with its default title.
    Prompts &asUsed = prompts;
    asUsed.message(QStringLiteral("已备份"));
    EXPECT_TRUE(prompts.askYesNo(QStringLiteral("取消进库？"), QStringLiteral("提醒询问：")));
    EXPECT_EQ(prompts.inputText(QStringLiteral("查找"), QStringLiteral("项目查找"), {}),
        QStringLiteral("螺丝"));
    EXPECT_EQ(prompts.inputNumber(QStringLiteral("数量"), {}, 0), 2.5);
    EXPECT_EQ(prompts.inputNumber(QStringLiteral("数量"), {}, 0), 3.0);
    EXPECT_EQ(prompts.openFileName(QStringLiteral("/home"), QStringLiteral("电子表 (*.xls)")),
        QStringLiteral("/tmp/a.xls"));
    const auto font = prompts.chooseFont(QStringLiteral("Arial"), 9);
    ASSERT_TRUE(font);
    EXPECT_EQ(font->family, QStringLiteral("宋体"));
    EXPECT_EQ(font->pointSize, 12);
    EXPECT_EQ(prompts.pendingAnswers(), 0);

    const auto &shown = prompts.shown();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0].kind, u"message");
    EXPECT_EQ(shown[0].title, Prompts::defaultTitle());
    EXPECT_EQ(shown[1].kind, u"question");
    EXPECT_EQ(shown[1].title, u"提醒询问：");
    EXPECT_EQ(shown[1].icon, Prompts::Icon::Question);
    EXPECT_EQ(shown[2].kind, u"inputText");
    EXPECT_EQ(shown[3].kind, u"inputNumber");
    EXPECT_EQ(shown[5].kind, u"open");
    EXPECT_EQ(shown[5].text, u"/home");
    EXPECT_EQ(shown[5].title, u"电子表 (*.xls)");
    EXPECT_EQ(shown[6].kind, u"font");
    EXPECT_EQ(prompts.messages(), QStringList {QStringLiteral("已备份")});
}

TEST(ScriptedPrompts, IntegerInputsShowTheirRange)
{
    ScriptedPrompts prompts;
    prompts.answer(2);
    EXPECT_EQ(prompts.inputInteger(
                  QStringLiteral("请输入表头行数:"), QStringLiteral("表头行数设置"), 1, 0, 5),
        std::optional<int>(2));
    EXPECT_EQ(prompts.inputInteger(QStringLiteral("请输入表头列数:"), {}, 1, 0, 7), std::nullopt)
        << "an empty queue cancels";
    ASSERT_EQ(prompts.shown().size(), 2u);
    EXPECT_EQ(prompts.shown()[0].kind, u"inputInteger");
    EXPECT_EQ(prompts.shown()[0].title, u"表头行数设置");
    EXPECT_EQ(prompts.shown()[0].minimum, 0);
    EXPECT_EQ(prompts.shown()[0].maximum, 5);
    EXPECT_EQ(prompts.shown()[1].maximum, 7);
}

TEST(ScriptedPrompts, DefaultsAndCancelling)
{
    ScriptedPrompts prompts;
    QPrinter printer;
    // Empty queue: No, cancelled, cancelled, accepted.
    EXPECT_FALSE(prompts.askYesNo("?", {}));
    EXPECT_FALSE(prompts.inputText("?", {}, {}));
    EXPECT_FALSE(prompts.inputNumber("?", {}, 1));
    EXPECT_EQ(prompts.saveFileName({}, {}, {}), QString());
    EXPECT_FALSE(prompts.chooseFont({}, 0));
    EXPECT_TRUE(prompts.printDialog(printer));
    EXPECT_TRUE(prompts.pageSetupDialog(printer));

    // A queued invalid value cancels whatever it answers.
    for (int i = 0; i < 4; ++i)
        prompts.answer(QVariant());
    EXPECT_FALSE(prompts.printDialog(printer));
    EXPECT_FALSE(prompts.pageSetupDialog(printer));
    EXPECT_FALSE(prompts.inputText("?", {}, QStringLiteral("initial")));
    EXPECT_FALSE(prompts.askYesNo("?", {}));
    EXPECT_EQ(prompts.pendingAnswers(), 0);

    prompts.clearShown();
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ScriptedPrompts, PreviewPaintsOnTheGivenPrinter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath("preview.pdf"));

    ScriptedPrompts prompts;
    int calls = 0;
    prompts.printPreview(printer, [&](QPrinter *target) {
        ++calls;
        EXPECT_EQ(target, &printer);
        QPainter painter(target);
        painter.drawText(100, 100, QStringLiteral("第 1 页"));
    });
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, u"preview");
    EXPECT_GT(QFileInfo(dir.filePath("preview.pdf")).size(), 0);
}

TEST(ScriptedPromptsDeathTest, AnAnswerOfTheWrongTypeStopsTheTest)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ScriptedPrompts prompts;
    prompts.answer(QStringLiteral("yes"));
    EXPECT_DEATH(prompts.askYesNo(QStringLiteral("取消出库？"), {}), "expected bool");
}

} // namespace
