#include "data/record_store.h"
#include "support/cell_texts.h"
#include "table/data_source.h"
#include "table/record_file_provider.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(RecordFileProvider, RowsAreRecordsAsValueTexts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("r.zrb"));
    const Layout layout = {{QStringLiteral("名"), FieldKind::Text},
        {QStringLiteral("数"), FieldKind::Number}, {QStringLiteral("日"), FieldKind::DateTime},
        {QStringLiteral("记"), FieldKind::Memo}, {QStringLiteral("真"), FieldKind::Logical}};
    ASSERT_TRUE(RecordStore::create(path, layout));
    {
        RecordStore store;
        ASSERT_TRUE(store.open(path, QStringLiteral("r")));
        ASSERT_TRUE(store.add({QStringLiteral("电缆"), 2.5,
            QDateTime(QDate(2011, 3, 7), QTime(9, 5)), QStringLiteral("m"), true}));
        ASSERT_TRUE(store.add({QStringLiteral("螺栓"), 1.0 / 3}));
    }
    RecordFileProvider provider;
    ASSERT_TRUE(provider.setFile(path));
    EXPECT_EQ(provider.providedColumnCount(), 5);
    EXPECT_EQ(provider.recordCount(), 2);
    EXPECT_EQ(provider.fieldName(3), QStringLiteral("日"));

    DataSource t;
    t.setSize(1, 5);
    ASSERT_TRUE(t.appendRowsFrom(provider));
    ASSERT_EQ(t.rowCount(), 3);
    EXPECT_TRUE(hasCellTexts(t,
        {{2, 1, u"电缆"}, {2, 2, u"2.5"}, {2, 3, u"2011年3月7日9时5分"}, {2, 4, u"m"},
            {2, 5, u"真"}, {3, 2, u"0.3333333333333"}, {3, 3, u""}, {3, 5, u"假"}}));

    ASSERT_TRUE(provider.setFile({}));
    EXPECT_EQ(provider.providedColumnCount(), 0);
    EXPECT_TRUE(t.appendRowsFrom(provider));
    EXPECT_EQ(t.rowCount(), 3);
    EXPECT_FALSE(provider.setFile(dir.filePath(QStringLiteral("missing.zrb"))));
}

} // namespace
