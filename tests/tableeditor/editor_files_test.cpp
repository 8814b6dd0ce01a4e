#include "tableeditor/editor_files.h"

#include "support/qt_print.h"

#include <gtest/gtest.h>

namespace {

TEST(EditorFileNames, CaptionIsTheFileNameWithoutALowerCaseGrd)
{
    EXPECT_EQ(EditorFiles::captionFor(QStringLiteral("D:\\a\\quarterly.grd")),
        QStringLiteral("quarterly"));
    EXPECT_EQ(
        EditorFiles::captionFor(QStringLiteral("/home/ck/表格/季度.grd")), QStringLiteral("季度"));
    EXPECT_EQ(EditorFiles::captionFor(QStringLiteral("C:/a\\b/Q.GRD")), QStringLiteral("Q.GRD"));
    EXPECT_EQ(EditorFiles::captionFor(QStringLiteral("a.grd.bak")), QStringLiteral("a.grd.bak"));
    EXPECT_EQ(EditorFiles::captionFor(QStringLiteral("plain")), QStringLiteral("plain"));
}

TEST(EditorFileNames, SaveProposalIsTheLastEightBytesOfTheCaption)
{
    EXPECT_EQ(EditorFiles::saveProposal(QStringLiteral("quarterly")), QStringLiteral("uarterly"));
    EXPECT_EQ(EditorFiles::saveProposal(QStringLiteral("表格")), QStringLiteral("表格"));
    EXPECT_EQ(
        EditorFiles::saveProposal(QStringLiteral("二〇二六年报表")), QStringLiteral("六年报表"));
    // Nine bytes ending in four Chinese characters: no half character.
    EXPECT_EQ(EditorFiles::saveProposal(QStringLiteral("x季度报表")), QStringLiteral("季度报表"));
    EXPECT_EQ(EditorFiles::saveProposal(QStringLiteral("本月出库统计中------")),
        QStringLiteral("抄表清单"));
    EXPECT_EQ(EditorFiles::saveProposal(QStringLiteral("中-----")), QStringLiteral("中-----"));
}

TEST(EditorFileNames, ABareNameGetsTheGrdSuffix)
{
    EXPECT_EQ(
        EditorFiles::withDefaultSuffix(QStringLiteral("/d/季度")), QStringLiteral("/d/季度.grd"));
    EXPECT_EQ(
        EditorFiles::withDefaultSuffix(QStringLiteral("/d.x/q")), QStringLiteral("/d.x/q.grd"));
    EXPECT_EQ(
        EditorFiles::withDefaultSuffix(QStringLiteral("/d/q.grd")), QStringLiteral("/d/q.grd"));
    EXPECT_EQ(
        EditorFiles::withDefaultSuffix(QStringLiteral("/d/q.GRD")), QStringLiteral("/d/q.GRD"));
    EXPECT_EQ(EditorFiles::withDefaultSuffix(QString()), QString());
}

} // namespace
