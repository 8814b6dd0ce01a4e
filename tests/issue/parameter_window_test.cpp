#include "issue/parameter_window.h"

#include "common/app_state.h"
#include "common/ini_file.h"
#include "support/modal_window.h"
#include "support/scripted_prompts.h"
#include "ui/window_geometry.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct Expected
{
    QString caption;
    QRect box; // designed place in the client area
};

// The form: two columns of five, labels 5 pixels lower than their boxes.
const std::vector<Expected> expectedBoxes {
    {QStringLiteral("仓库名称"), QRect(100, 19, 180, 32)},
    {QStringLiteral("使用方向"), QRect(100, 64, 180, 32)},
    {QStringLiteral("领料部门"), QRect(100, 110, 180, 32)},
    {QStringLiteral("项目名称"), QRect(100, 156, 180, 32)},
    {QStringLiteral("审    批"), QRect(100, 205, 180, 32)},
    {QStringLiteral("财务审核"), QRect(375, 18, 180, 32)},
    {QStringLiteral("技术部门"), QRect(375, 62, 180, 32)},
    {QStringLiteral("开    票"), QRect(375, 110, 180, 32)},
    {QStringLiteral("保    管"), QRect(375, 156, 180, 32)},
    {QStringLiteral("领    料"), QRect(375, 205, 180, 32)},
};

class ParameterWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        state.programDir = QDir::cleanPath(dir.path());
    }

    std::unique_ptr<ParameterWindow> open()
    {
        auto window = std::make_unique<ParameterWindow>(state, prompts, nullptr);
        window->show();
        EXPECT_TRUE(activated(window.get()));
        return window;
    }
    IniFile config() const { return IniFile(state.path(QStringLiteral("config.ini"))); }
    // Chinese text arrives from the input method as a committed string.
    static void type(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        QInputMethodEvent input;
        input.setCommitString(text);
        QApplication::sendEvent(box, &input);
    }
    static QLabel *labelOf(const ParameterWindow &window, const QLineEdit *box)
    {
        for (QLabel *label : window.findChildren<QLabel *>()) {
            if (label->buddy() == box)
                return label;
        }
        return nullptr;
    }

    QTemporaryDir dir;
    AppState state;
    ScriptedPrompts prompts;
};

TEST_F(ParameterWindowTest, ControlsHaveTheirNamesCaptionsAndPlaces)
{
    auto window = open();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("澄州禾岭供电有限责任公司材料出库单系统"));
    EXPECT_EQ(window->font().family(), QStringLiteral("宋体"));

    // Placed for the designed client area, the form is exactly as drawn.
    window->resize(WindowGeometry::designedClientSize(WindowGeometry::parameterWindow));
    auto *group = window->findChild<QGroupBox *>(QStringLiteral("分组框1"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->geometry(), QRect(8, 0, 560, 248));
    auto *ok = window->findChild<QPushButton *>(QStringLiteral("按钮1"));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    EXPECT_EQ(ok->geometry(), QRect(184, 256, 80, 40));
    EXPECT_EQ(window->cancelButton()->text(), QStringLiteral("取消"));
    EXPECT_EQ(window->cancelButton()->geometry(), QRect(312, 256, 80, 40));
    // The window fits its form, with no room to spare below the buttons.
    EXPECT_LT(window->height() - ok->geometry().bottom(), 40);

    for (int i = 0; i < int(expectedBoxes.size()); ++i) {
        const Expected &expected = expectedBoxes[i];
        const QString name = QStringLiteral("编辑框%1").arg(i + 1);
        SCOPED_TRACE(name.toStdString());
        auto *box = window->findChild<QLineEdit *>(name);
        ASSERT_TRUE(box);
        EXPECT_EQ(box, window->edit(i + 1));
        EXPECT_EQ(box->geometry(), expected.box);
        // A screen reader names the box by its label.
        EXPECT_EQ(box->accessibleName(), expected.caption);
        const QLabel *label = labelOf(*window, box);
        ASSERT_TRUE(label);
        EXPECT_EQ(label->text(), expected.caption);
        const int labelLeft = expected.box.x() == 100 ? 15 : 291;
        EXPECT_EQ(label->geometry(), QRect(labelLeft, expected.box.y() + 5, 80, 24));
        // Group box first, so that it lies below what it frames.
        EXPECT_TRUE(window->children().indexOf(group) < window->children().indexOf(box));
    }
}

TEST_F(ParameterWindowTest, UsesTheGeometryOfWindowThree)
{
    auto window = open();
    EXPECT_EQ(window->frameGeometry(), QRect(100, 100, 600, 340));
    const IniFile file = config();
    for (const char *key : {"ck3z", "ck3d", "ck3k", "ck3g"})
        EXPECT_FALSE(file.read(key, key).isEmpty()) << key;
    EXPECT_TRUE(file.read("ck1z", "ck1z").isEmpty());
    window.reset();
    // The size every earlier opening wrote gives way; one the user chose stays.
    IniFile settings = config();
    ASSERT_TRUE(settings.write({{"ck3k", "ck3k", "600"}, {"ck3g", "ck3g", " 550"}}));
    EXPECT_EQ(open()->frameGeometry(), QRect(100, 100, 600, 340));
    ASSERT_TRUE(settings.write({{"ck3k", "ck3k", "640"}, {"ck3g", "ck3g", "550"}}));
    EXPECT_EQ(open()->frameGeometry(), QRect(100, 100, 640, 550));
}

TEST_F(ParameterWindowTest, OkSavesTheTenValuesSaysSoAndCloses)
{
    auto window = open();
    for (int i = 1; i <= IssueParameters::count; ++i)
        EXPECT_EQ(window->edit(i)->text(), QString()) << i;

    // Typed, blanks between the words included.
    type(window->edit(1), QStringLiteral("一号 仓库"));
    type(window->edit(3), QStringLiteral("城区 供电所"));
    type(window->edit(10), QStringLiteral("孙 八"));
    QTest::mouseClick(window->okButton(), Qt::LeftButton);

    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_EQ(prompts.shown()[0].kind, "message");
    EXPECT_EQ(prompts.shown()[0].text, QStringLiteral("各项参数设置成功"));
    EXPECT_EQ(prompts.shown()[0].title, QStringLiteral("信息："));
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), QDialog::Accepted);

    const IssueParameters saved = IssueParameters::load(config());
    EXPECT_EQ(saved.warehouse, QStringLiteral("一号 仓库"));
    EXPECT_EQ(saved.department, QStringLiteral("城区 供电所"));
    EXPECT_EQ(saved.receivedBy, QStringLiteral("孙 八"));
    // The next opening shows what was saved; 取消 closes without writing.
    auto next = open();
    EXPECT_EQ(next->parameters(), saved);
    type(next->edit(1), QStringLiteral("二号"));
    QTest::mouseClick(next->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(next->isVisible());
    EXPECT_EQ(IssueParameters::load(config()), saved);
}

TEST_F(ParameterWindowTest, KeyboardTabsDownTheColumnsAndEnterPressesOk)
{
    auto window = open();
    EXPECT_EQ(QApplication::focusWidget(), window->edit(1));
    for (int i = 2; i <= IssueParameters::count; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), window->edit(i)) << i;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->okButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window->cancelButton());

    type(window->edit(7), QStringLiteral("王五"));
    QTest::keyClick(window->edit(7), Qt::Key_Return);
    EXPECT_EQ(prompts.messages(), QStringList {QStringLiteral("各项参数设置成功")});
    EXPECT_EQ(IssueParameters::load(config()).technicalDepartment, QStringLiteral("王五"));
    EXPECT_FALSE(window->isVisible());
}

} // namespace
