#include "issue/issue_parameters.h"

#include "common/gbk.h"
#include "common/ini_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class IssueParametersTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path() const { return dir.filePath(QStringLiteral("config.ini")); }
    QByteArray bytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(IssueParametersTest, ReadsTheSettingsOfAnExistingInstallation)
{
    // config.ini as it is found on the storekeeper's computer: GBK, one
    // section per parameter, beside the window geometry.
    const QString text = QStringLiteral("[ck3z]\r\nck3z=100\r\n"
                                        "[仓库名称]\r\n仓库名称=一号仓库\r\n"
                                        "[使用方向]\r\n使用方向=线路检修\r\n"
                                        "[领料部门]\r\n领料部门=城区供电所\r\n"
                                        "[项目名称]\r\n项目名称=十千伏改造\r\n"
                                        "[审批]\r\n审批=张三\r\n"
                                        "[财务审核]\r\n财务审核=李四\r\n"
                                        "[技术部门]\r\n技术部门=王五\r\n"
                                        "[开票]\r\n开票=赵六\r\n"
                                        "[保管]\r\n保管=钱七\r\n"
                                        "[领料]\r\n领料=孙八\r\n");
    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(Gbk::encode(text));
    file.close();

    IssueParameters expected;
    expected.warehouse = QStringLiteral("一号仓库");
    expected.purpose = QStringLiteral("线路检修");
    expected.department = QStringLiteral("城区供电所");
    expected.project = QStringLiteral("十千伏改造");
    expected.approval = QStringLiteral("张三");
    expected.financialReview = QStringLiteral("李四");
    expected.technicalDepartment = QStringLiteral("王五");
    expected.issuedBy = QStringLiteral("赵六");
    expected.storekeeper = QStringLiteral("钱七");
    expected.receivedBy = QStringLiteral("孙八");
    EXPECT_EQ(IssueParameters::load(IniFile(path())), expected);
}

TEST_F(IssueParametersTest, AFreshInstallationHasTenEmptyTextsAndSavesTenSections)
{
    IniFile config(path());
    const IssueParameters fresh = IssueParameters::load(config);
    EXPECT_EQ(fresh, IssueParameters());

    ASSERT_TRUE(fresh.save(config).ok());
    for (const IssueParameters::Field &field : IssueParameters::fields()) {
        // Present, and empty.
        EXPECT_EQ(config.read(field.key, field.key, QStringLiteral("(absent)")), QString())
            << field.key.toStdString();
        EXPECT_TRUE(bytes().contains(Gbk::encode(QStringLiteral("[%1]\r\n%1=").arg(field.key))))
            << field.key.toStdString();
    }
}

TEST_F(IssueParametersTest, TextsSurviveAsTypedAndAreStoredInGbk)
{
    IniFile config(path());
    IssueParameters typed;
    typed.warehouse = QStringLiteral("一号 仓库  东区");
    typed.department = QStringLiteral("  城区供电所"); // blanks a read would trim
    typed.project = QStringLiteral("\"引号\" 项目 ");
    typed.approval = QStringLiteral("张 三");
    typed.receivedBy = QStringLiteral("Li Si");
    ASSERT_TRUE(typed.save(config).ok());
    EXPECT_EQ(IssueParameters::load(config), typed);

    // No byte-order mark: the file stays readable by the GBK settings functions.
    const QByteArray file = bytes();
    EXPECT_FALSE(file.startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(file.contains(Gbk::encode(u"[仓库名称]\r\n仓库名称=一号 仓库  东区\r\n")));
    EXPECT_TRUE(file.contains(Gbk::encode(u"[审批]\r\n审批=张 三\r\n")));
    EXPECT_FALSE(file.contains(QStringLiteral("仓库名称").toUtf8()));

    // Saving again replaces the values in place rather than adding sections.
    typed.warehouse = QStringLiteral("二号仓库");
    ASSERT_TRUE(typed.save(config).ok());
    EXPECT_EQ(IssueParameters::load(config), typed);
    EXPECT_EQ(bytes().count(Gbk::encode(u"[仓库名称]")), 1);
}

} // namespace
