#include "tableeditor/editor_files.h"

#include "support/qt_print.h"

#include <gtest/gtest.h>

namespace {

TEST(EditorFileNames, CaptionsSaveProposalsAndSuffixes)
{
    using EditorFiles::captionFor, EditorFiles::saveProposal;
    const auto withSuffix = EditorFiles::withDefaultSuffix;
    const struct
    {
        QString (*name)(const QString &);
        const char16_t *given, *expected;
    } cases[] = {
        // The caption is the file name without a lower-case .grd.
        {captionFor, u"D:\\a\\quarterly.grd", u"quarterly"},
        {captionFor, u"/home/ck/表格/季度.grd", u"季度"},
        {captionFor, u"C:/a\\b/Q.GRD", u"Q.GRD"},
        {captionFor, u"a.grd.bak", u"a.grd.bak"},
        {captionFor, u"plain", u"plain"},
        // A save proposes the caption's last eight bytes, no half character.
        {saveProposal, u"quarterly", u"uarterly"},
        {saveProposal, u"表格", u"表格"},
        {saveProposal, u"二〇二六年报表", u"六年报表"},
        {saveProposal, u"x季度报表", u"季度报表"}, // nine bytes ending in four characters
        {saveProposal, u"本月出库统计中------", u"抄表清单"},
        {saveProposal, u"中-----", u"中-----"},
        // A bare name gets the .grd suffix.
        {withSuffix, u"/d/季度", u"/d/季度.grd"},
        {withSuffix, u"/d.x/q", u"/d.x/q.grd"},
        {withSuffix, u"/d/q.grd", u"/d/q.grd"},
        {withSuffix, u"/d/q.GRD", u"/d/q.GRD"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.name(QString::fromUtf16(c.given)), QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.given).toStdString();
    EXPECT_EQ(EditorFiles::withDefaultSuffix(QString()), QString());
}

} // namespace
