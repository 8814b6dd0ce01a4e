#include "issue/issue_note.h"

#include "common/gbk.h"
#include "common/ini_file.h"
#include "issue/issue_parameters.h"
#include "support/qt_print.h"
#include "table/data_source.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

IssueParameters parameters()
{
    IssueParameters p;
    p.warehouse = QStringLiteral("一号库");
    p.purpose = QStringLiteral("线路维修");
    p.department = QStringLiteral("供电所");
    p.project = QStringLiteral("10kV改造");
    p.approval = QStringLiteral("王审批");
    p.financialReview = QStringLiteral("李财务");
    p.technicalDepartment = QStringLiteral("技术科");
    p.issuedBy = QStringLiteral("赵开票");
    p.storekeeper = QStringLiteral("钱保管");
    p.receivedBy = QStringLiteral("孙领料");
    return p;
}

IssueLine line(const char *name, double quantity, double price)
{
    IssueLine l;
    l.name = QString::fromUtf8(name);
    l.spec = l.name + QStringLiteral("-规格");
    l.unit = QStringLiteral("个");
    l.quantity = quantity;
    l.unitPrice = price;
    return l;
}

QStringList row(const DataSource &note, int r)
{
    QStringList texts;
    for (int c = 1; c <= note.columnCount(); ++c)
        texts << note.text(r, c);
    return texts;
}

const QDate today(2026, 12, 7);

TEST(IssueNoteLayout, AnEmptyNote)
{
    DataSource note;
    IssueNoteLayout::build(note, parameters(), {}, today);
    ASSERT_EQ(note.rowCount(), 15);
    ASSERT_EQ(note.columnCount(), 6);
    EXPECT_EQ(note.text(1, 1), QStringLiteral("禾岭供电有限责任公司材料出库单（未记账）"));
    EXPECT_EQ(note.spanAt(1, 6), (CellRange {1, 1, 1, 6}));
    EXPECT_EQ(note.fontSize(1, 1), 70);
    EXPECT_EQ(note.rowHeight(1), 100);
    EXPECT_EQ(note.rowHeight(2), DataSource::defaultRowHeight) << "only the title row is higher";
    EXPECT_EQ(row(note, 2), QStringList({"仓库名称：一号库", "", "领料部门：供电所", "", "", ""}));
    EXPECT_EQ(row(note, 3),
        QStringList({"使用方向：线路维修", "", "项目名称：10kV改造", "", "", "2026年12月7日"}));
    EXPECT_EQ(note.spanAt(2, 2), (CellRange {2, 1, 1, 2}));
    EXPECT_EQ(note.spanAt(3, 5), (CellRange {3, 3, 1, 3}));
    EXPECT_EQ(
        row(note, 4), QStringList({"品  名", "规  格", "数  量", "单  位", "单  价", "金  额"}));
    for (int r = 5; r <= 13; ++r)
        EXPECT_EQ(row(note, r), QStringList(6)) << r;
    EXPECT_EQ(row(note, 14), QStringList({"合       计", "", "", "", "", ""}));
    EXPECT_EQ(row(note, 15),
        QStringList({"审批：王审批", "财务审核：李财务", "技术部门：技术科", "开票：赵开票",
            "保管：钱保管", "领料：孙领料"}));
    // The narrow columns set a long caption and name smaller, not cut off.
    EXPECT_EQ(note.fontSize(15, 2), 32);
    EXPECT_EQ(note.fontSize(15, 3), 21) << "8 characters in 20 mm";
    const int widths[] = {500, 500, 200, 200, 200, 350};
    for (int c = 1; c <= 6; ++c)
        EXPECT_EQ(note.columnWidth(c), widths[c - 1]);
    for (int c = 1; c <= 6; ++c) {
        EXPECT_EQ(note.edges(4, c), BorderOutline);
        EXPECT_EQ(note.edges(14, c), BorderOutline);
        EXPECT_EQ(note.edges(3, c), 0);
        EXPECT_EQ(note.edges(15, c), 0);
        EXPECT_EQ(note.format(15, c).alignment, int(CellFormat::Centre));
    }
}

TEST(IssueNoteLayout, PickedLinesProposeTheWholeStock)
{
    DataSource note;
    IssueNoteLayout::build(note, parameters(),
        {line("电缆", 3, 12.5), line("螺栓", 0, 0.1), line("开关", 1.0 / 3, 3)}, today);
    EXPECT_EQ(row(note, 5), QStringList({"电缆", "电缆-规格", "3", "个", "12.5", "37.5"}));
    EXPECT_EQ(row(note, 6), QStringList({"螺栓", "螺栓-规格", "", "个", "0.1", ""}))
        << "a stock of 0 leaves quantity and amount blank";
    EXPECT_EQ(row(note, 7), QStringList({"开关", "开关-规格", "0.3333333333333", "个", "3", "1"}));
    EXPECT_EQ(note.text(14, 6), QStringLiteral("38.5"));
}

// One cell typed into and recomputed; then the amount of line `amountRow`
// and the total (nullptr: not looked at).
struct Edit
{
    int row, column;
    const char16_t *typed;
    int amountRow;
    const char16_t *amount, *total;
    const char *why = "";
};

void applyEdits(DataSource &note, std::initializer_list<Edit> edits)
{
    for (const Edit &e : edits) {
        SCOPED_TRACE(testing::Message()
            << e.row << "," << e.column << " typed " << QString::fromUtf16(e.typed).toStdString()
            << " " << e.why);
        note.setText(e.row, e.column, QString::fromUtf16(e.typed));
        IssueNoteLayout::recompute(note, e.row, e.column);
        EXPECT_EQ(note.text(e.amountRow, 6), QString::fromUtf16(e.amount));
        if (e.total) {
            EXPECT_EQ(note.text(14, 6), QString::fromUtf16(e.total));
        }
    }
}

TEST(IssueNoteLayout, EditsRecomputeAmountsAndTotal)
{
    DataSource note;
    IssueNoteLayout::build(
        note, parameters(), {line("电缆", 3, 12.5), line("螺栓", 100, 0.5)}, today);
    applyEdits(note,
        {
            {5, 3, u"２", 5, u"25", u"75"},
            {6, 3, u"0", 6, u"0", u"25", "a quantity of 0 is an amount of 0, on the line too"},
            {6, 3, u"0.001", 6, u"0", nullptr, "so is one whose amount rounds to 0"},
            {5, 3, u"", 5, u"0", u"0", "a recompute writes even a zero total"},
            // Read whole: grouped digits count; a quantity that is no number has no amount.
            {5, 3, u"1,234.5", 5, u"15431.25", nullptr},
            {5, 3, u"12abc", 5, u"", u"0", "never 150"},
        });
    note.setText(9, 3, QStringLiteral("1.005"));
    note.setText(9, 5, QStringLiteral("1"));
    IssueNoteLayout::recompute(note, 9, 5);
    EXPECT_EQ(note.text(9, 6), QStringLiteral("1.01"));
}

TEST(IssueNoteLayout, ACaptionIsShownOnceWhateverWasStoredOrTyped)
{
    IssueParameters p = parameters();
    p.receivedBy = QStringLiteral("领    料:孙领料"); // typed with its caption in earlier days
    p.approval.clear();
    DataSource note;
    IssueNoteLayout::build(note, p, {}, today);
    EXPECT_EQ(note.text(15, 6), QStringLiteral("领料：孙领料"));
    EXPECT_EQ(note.text(15, 1), QStringLiteral("审批："));
    for (const char16_t *typed : {u"李四", u"领料：李四", u" 领料 ： 李四 ", u"经手:李四"}) {
        const QString text = QString::fromUtf16(typed);
        note.setText(15, 6, text);
        IssueNoteLayout::recompute(note, 15, 6);
        EXPECT_EQ(note.text(15, 6), QStringLiteral("领料：李四")) << text.toStdString();
        EXPECT_EQ(IssueNoteLayout::parameterName(note, {15, 6}), QStringLiteral("李四"));
    }
    // A name that only begins like the caption keeps it.
    note.setText(2, 3, QStringLiteral("领料部门二组"));
    IssueNoteLayout::recompute(note, 2, 3);
    EXPECT_EQ(note.text(2, 3), QStringLiteral("领料部门：领料部门二组"));
}

TEST(IssueNoteLayout, ATypedAmountStaysUntilTheQuantityOrPriceChangesAndIsCounted)
{
    DataSource note;
    IssueNoteLayout::build(
        note, parameters(), {line("电缆", 3, 12.5), line("螺栓", 100, 0.5)}, today);
    applyEdits(note,
        {
            {5, 6, u"40", 5, u"40", u"90", "the total adds up the lines shown"},
            {6, 3, u"10", 5, u"40", u"45", "an edit elsewhere leaves it alone"},
            {5, 5, u"10", 5, u"30", u"35", "its own line's price computes it again"},
        });
}

TEST(IssueNoteLayout, PageSetupComesFromPeiziIni)
{
    QTemporaryDir dir;
    // Without the file: a page's defaults, with margins of 5 mm.
    PageSetup defaults;
    defaults.leftMargin = defaults.topMargin = defaults.rightMargin = defaults.bottomMargin = 50;
    EXPECT_EQ(IssueNoteLayout::loadPageSetup(IniFile(dir.filePath("peizi.ini"))), defaults);

    QFile file(dir.filePath("peizi.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[dysb]\r\ndysb=120\r\n[DYZB]\r\ndyzb = 80 \r\n[dyfx]\r\ndyfx=1\r\n"
               "[dysf]\r\ndysf=abc\r\n[dyzx]\r\ndyzx=9\r\n[dyfs]\r\ndyfs=2\r\n");
    file.close();
    const PageSetup page = IssueNoteLayout::loadPageSetup(IniFile(dir.filePath("peizi.ini")));
    EXPECT_EQ(page.topMargin, 120);
    EXPECT_EQ(page.leftMargin, 80);
    EXPECT_EQ(page.rightMargin, 50);
    EXPECT_EQ(page.orientation, 1);
    EXPECT_EQ(page.scale, 0) << "a text that is not a number reads 0";
    EXPECT_EQ(page.paperKind, 9);
    EXPECT_EQ(page.copies, 2);

    // Numbers no page can have give the key's default, and never wrap.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[dyzb]\r\ndyzb=99999999999\r\n[dysb]\r\ndysb=-5\r\n[dyfs]\r\ndyfs=1e300\r\n"
               "[dyjs]\r\ndyjs=-99999999999\r\n[dyfx]\r\ndyfx=7\r\n");
    file.close();
    const PageSetup wild = IssueNoteLayout::loadPageSetup(IniFile(dir.filePath("peizi.ini")));
    EXPECT_EQ(wild.leftMargin, 50);
    EXPECT_EQ(wild.topMargin, 50);
    EXPECT_EQ(wild.copies, 1);
    EXPECT_EQ(wild.lastPage, 0);
    EXPECT_EQ(wild.orientation, 0);
}

} // namespace
