#include "workbook/excel_automation.h"

#include "workbook/workbook_fixtures.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ExcelAutomationTest : public testing::Test
{
protected:
    static WorkbookReader reader()
    {
        return WorkbookReader(QCoreApplication::applicationFilePath(), 30'000);
    }

    // Two sheets; the second was active when saved.
    static QString twoSheetWorkbook() { return xlsxFixture("two-sheets.xlsx"); }

    // An application with a new workbook, for the operations on cells.
    ExcelAutomation withNewWorkbook()
    {
        ExcelAutomation excel(reader());
        excel.CreateApplication();
        EXPECT_TRUE(excel.AddWorkbook());
        return excel;
    }

    QTemporaryDir dir;
};

TEST_F(ExcelAutomationTest, TheImportsOperationsReadTheActiveSheet)
{
    ExcelAutomation excel(reader());
    excel.CreateApplication();
    ASSERT_TRUE(excel.hasApplication());
    EXPECT_FALSE(excel.isVisible());
    ASSERT_TRUE(excel.OpenWorkbook(twoSheetWorkbook(), QString(), false));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B3")), QStringLiteral("螺栓"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("b3")), QStringLiteral("螺栓"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("$B$3")), QStringLiteral("螺栓"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("AA10")), QStringLiteral("7"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("C4:D9")), QStringLiteral("2.5"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B4")), QString());
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("3B")), QString());
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("XFD1048576")), QString());
    EXPECT_EQ(excel.GetCell(1, 3, 2), QStringLiteral("first sheet"));
    EXPECT_EQ(excel.GetCell(3, 3, 2), QString());

    excel.CloseWorkbooks();
    EXPECT_EQ(excel.workbookCount(), 0);
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B3")), QString());
    excel.Quit();
    EXPECT_FALSE(excel.hasApplication());
}

TEST_F(ExcelAutomationTest, NothingWorksWithoutTheApplication)
{
    const QString path = twoSheetWorkbook();
    ExcelAutomation excel(reader());
    const Status notStarted = excel.OpenWorkbook(path);
    EXPECT_FALSE(notStarted);
    EXPECT_FALSE(notStarted.message().isEmpty());
    EXPECT_FALSE(excel.AddWorkbook());
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B3")), QString());

    // A copy shares the application, as the automation reference was shared.
    excel.CreateApplication();
    ExcelAutomation copy = excel;
    ASSERT_TRUE(copy.OpenWorkbook(path));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B3")), QStringLiteral("螺栓"));
    copy.Quit();
    EXPECT_FALSE(excel.hasApplication());
    EXPECT_FALSE(excel.OpenWorkbook(path));
    EXPECT_FALSE(excel.SetRangeValue(QStringLiteral("A1"), QStringLiteral("x")));
}

TEST_F(ExcelAutomationTest, AFileThatCannotBeReadOpensNothing)
{
    ExcelAutomation excel(reader());
    excel.CreateApplication();
    const QString path = dir.filePath(QStringLiteral("broken.xlsx"));
    ASSERT_TRUE(writeFile(path, QByteArray("PK\x03\x04broken")));
    const Status opened = excel.OpenWorkbook(path, QStringLiteral("secret"), true);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(opened.message().startsWith(QStringLiteral("无法读取电子表格文件：")));
    EXPECT_EQ(excel.workbookCount(), 0);
}

TEST_F(ExcelAutomationTest, ValuesAndFormulasOverCellsAndRanges)
{
    ExcelAutomation excel = withNewWorkbook();
    ASSERT_EQ(excel.activeWorkbook()->sheets.size(), 3);
    EXPECT_TRUE(excel.SetCell(2, 1, 1, QStringLiteral("on two")));
    EXPECT_EQ(excel.GetCell(2, 1, 1), QStringLiteral("on two"));
    EXPECT_FALSE(excel.SetCell(4, 1, 1, QStringLiteral("x")));
    EXPECT_FALSE(excel.SetCell(1, 0, 1, QStringLiteral("x")));

    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("B2:C3"), QStringLiteral("v")));
    for (const char *cell : {"B2", "C2", "B3", "C3"})
        EXPECT_EQ(excel.GetRangeValue(QString::fromLatin1(cell)), QStringLiteral("v")) << cell;
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("D3")), QString());
    EXPECT_FALSE(excel.SetRangeValue(QStringLiteral("B2:"), QStringLiteral("v")));

    EXPECT_TRUE(excel.SetRangeFormula(QStringLiteral("D1"), QStringLiteral("=B2&C2")));
    EXPECT_EQ(excel.GetRangeFormula(QStringLiteral("D1")), QStringLiteral("=B2&C2"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("D1")), QString()); // not calculated
    EXPECT_TRUE(excel.SetRangeFormula(QStringLiteral("D2"), QStringLiteral("plain")));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("D2")), QStringLiteral("plain"));
    EXPECT_EQ(excel.GetRangeFormula(QStringLiteral("B2")), QStringLiteral("v"));

    int rows = 0, columns = 0;
    excel.UsedRangeSize(rows, columns);
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(columns, 4);
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("C3"), QString()));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("B3"), QString()));
    excel.UsedRangeSize(rows, columns);
    EXPECT_EQ(rows, 2);

    // Whole columns clear by the cells they hold; filling them is refused.
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("A:C"), QString()));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B2")), QString());
    EXPECT_EQ(excel.GetRangeFormula(QStringLiteral("D1")), QStringLiteral("=B2&C2"));
    EXPECT_FALSE(excel.SetRangeValue(QStringLiteral("A:B"), QStringLiteral("x")));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QString());
}

TEST_F(ExcelAutomationTest, SheetsAreDeletedButNeverTheLast)
{
    ExcelAutomation excel = withNewWorkbook();
    EXPECT_TRUE(excel.SetCell(3, 1, 1, QStringLiteral("third")));
    EXPECT_TRUE(excel.DeleteSheet(1));
    EXPECT_EQ(excel.GetCell(2, 1, 1), QStringLiteral("third"));
    EXPECT_FALSE(excel.DeleteSheet(3));
    EXPECT_TRUE(excel.DeleteSheet(1));
    const Status last = excel.DeleteSheet(1);
    EXPECT_FALSE(last);
    EXPECT_EQ(excel.activeWorkbook()->sheets.size(), 1);
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QStringLiteral("third"));
}

TEST_F(ExcelAutomationTest, SavedWorkbooksReadBackWithNumbersAsNumbers)
{
    ExcelAutomation excel = withNewWorkbook();
    EXPECT_FALSE(excel.Save()); // never saved: no name to save under
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("B3"), QStringLiteral("螺栓")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("E3"), QStringLiteral("007")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("F3"), QStringLiteral("12.50")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("G3"), QStringLiteral("1e3x")));
    EXPECT_TRUE(excel.SetRangeFormula(QStringLiteral("H3"), QStringLiteral("=E3*F3")));
    const QString path = dir.filePath(QStringLiteral("saved 表.xlsx"));
    ASSERT_TRUE(excel.SaveAs(path));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("B4"), QStringLiteral("later")));
    ASSERT_TRUE(excel.Save());
    // Written under a temporary name and renamed: nothing else is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList {QStringLiteral("saved 表.xlsx")});

    ExcelAutomation again(reader());
    again.CreateApplication();
    ASSERT_TRUE(again.OpenWorkbook(path));
    ASSERT_EQ(again.activeWorkbook()->sheets.size(), 3);
    EXPECT_EQ(again.activeWorkbook()->sheets[0].name(), QStringLiteral("Sheet1"));
    EXPECT_EQ(again.GetRangeValue(QStringLiteral("B3")), QStringLiteral("螺栓"));
    EXPECT_EQ(again.GetRangeValue(QStringLiteral("E3")), QStringLiteral("7"));
    EXPECT_EQ(again.GetRangeValue(QStringLiteral("F3")), QStringLiteral("12.5"));
    EXPECT_EQ(again.GetRangeValue(QStringLiteral("G3")), QStringLiteral("1e3x"));
    EXPECT_EQ(again.GetRangeFormula(QStringLiteral("H3")), QStringLiteral("=E3*F3"));
    EXPECT_EQ(again.GetRangeValue(QStringLiteral("B4")), QStringLiteral("later"));

    // A workbook read from another format is not overwritten with .xlsx.
    const QString csv = dir.filePath(QStringLiteral("list.csv"));
    ASSERT_TRUE(writeFile(csv, "a,b\n"));
    ASSERT_TRUE(again.OpenWorkbook(csv));
    EXPECT_FALSE(again.Save());
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("a,b\n"));
}

TEST_F(ExcelAutomationTest, CopyPasteAndCutPaste)
{
    ExcelAutomation excel = withNewWorkbook();
    EXPECT_FALSE(excel.PasteSpecialRange(QStringLiteral("A1"))); // nothing copied yet
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("A1"), QStringLiteral("a")));
    EXPECT_TRUE(excel.SetRangeFormula(QStringLiteral("B2"), QStringLiteral("=A1")));
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("C3"), QStringLiteral("outside")));

    ASSERT_TRUE(excel.CopyRange(QStringLiteral("A1:B2")));
    ASSERT_TRUE(excel.PasteSpecialRange(QStringLiteral("D5:Z99")));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("D5")), QStringLiteral("a"));
    EXPECT_EQ(excel.GetRangeFormula(QStringLiteral("E6")), QStringLiteral("=A1"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("F7")), QString());
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QStringLiteral("a"));
    ASSERT_TRUE(excel.PasteSpecialRange(QStringLiteral("H1"))); // a copy pastes again
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("H1")), QStringLiteral("a"));

    // A cut moves the cells when pasted, onto an overlapping place too, once.
    ASSERT_TRUE(excel.CutRange(QStringLiteral("A1:B2")));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QStringLiteral("a"));
    ASSERT_TRUE(excel.PasteSpecialRange(QStringLiteral("B2")));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QString());
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B2")), QStringLiteral("a"));
    EXPECT_EQ(excel.GetRangeFormula(QStringLiteral("C3")), QStringLiteral("=A1"));
    EXPECT_FALSE(excel.PasteSpecialRange(QStringLiteral("J1")));

    // Deleting the sheet a cut came from cancels the cut.
    ASSERT_TRUE(excel.CutRange(QStringLiteral("B2")));
    ASSERT_TRUE(excel.DeleteSheet(1));
    EXPECT_FALSE(excel.PasteSpecialRange(QStringLiteral("A1")));
}

TEST_F(ExcelAutomationTest, InsertedRowsAndColumnsShiftCells)
{
    ExcelAutomation excel = withNewWorkbook();
    for (const char *cell : {"A1", "B2", "C3", "B5"})
        EXPECT_TRUE(excel.SetRangeValue(QString::fromLatin1(cell), QString::fromLatin1(cell)));

    ASSERT_TRUE(excel.InsertRows(QStringLiteral("2:3"), 0)); // whole rows: down by 2
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QStringLiteral("A1"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B4")), QStringLiteral("B2"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("C5")), QStringLiteral("C3"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B7")), QStringLiteral("B5"));

    // Part of a column: only the cells of the range's rows move right.
    ASSERT_TRUE(excel.InsertColumns(QStringLiteral("B4:B5"), ExcelAutomation::shiftToRight));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("C4")), QStringLiteral("B2"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("D5")), QStringLiteral("C3"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B7")), QStringLiteral("B5"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("A1")), QStringLiteral("A1"));

    // Rows inserted with the shift to the right move cells right instead.
    ASSERT_TRUE(excel.InsertRows(QStringLiteral("A1"), ExcelAutomation::shiftToRight));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B1")), QStringLiteral("A1"));

    // A cell at the sheet's edge would be lost: refused, nothing moved.
    EXPECT_TRUE(excel.SetRangeValue(QStringLiteral("XFD7"), QStringLiteral("edge")));
    EXPECT_FALSE(excel.InsertColumns(QStringLiteral("A7"), 0));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("B7")), QStringLiteral("B5"));
    EXPECT_EQ(excel.GetRangeValue(QStringLiteral("XFD7")), QStringLiteral("edge"));
}

TEST_F(ExcelAutomationTest, FormatsAreRecordedAndPreviewIsRefused)
{
    ExcelAutomation excel = withNewWorkbook();
    excel.SetVisible(true);
    EXPECT_TRUE(excel.isVisible());
    ASSERT_TRUE(excel.SetBorders(QStringLiteral("C3"), QStringLiteral("A1"), 2));
    ASSERT_EQ(excel.borders().size(), 1);
    EXPECT_EQ(excel.borders()[0].range, *A1::parseRange(u"A1:C3"));
    EXPECT_EQ(excel.borders()[0].weight, 2);
    EXPECT_FALSE(excel.borders()[0].colour.has_value());
    EXPECT_FALSE(excel.SetBorders(QStringLiteral("A1"), QStringLiteral("?")));

    ASSERT_TRUE(excel.SetFont(QStringLiteral("A1:B1"), QStringLiteral("黑体"), 12, 255, true));
    ASSERT_EQ(excel.fonts().size(), 1);
    EXPECT_EQ(excel.fonts()[0].name, QStringLiteral("黑体"));
    EXPECT_TRUE(excel.fonts()[0].bold);
    EXPECT_FALSE(excel.fonts()[0].italic);

    EXPECT_FALSE(excel.PrintPreview(1));
    EXPECT_FALSE(excel.PrintPreview(1).message().isEmpty());
}

} // namespace
