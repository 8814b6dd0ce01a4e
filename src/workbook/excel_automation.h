#pragma once

#include "common/status.h"
#include "workbook/cell_address.h"
#include "workbook/workbook.h"
#include "workbook/workbook_reader.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

// The spreadsheet operations the program offers, by the names of the
// automation interface they stood for, over a workbook engine of our own: the
// "application" is a set of in-memory workbooks, files are read by a
// WorkbookReader (in a child process) and saved as .xlsx. Values cross as text
// as a spreadsheet shows them.
//
// Contract:
// - Nothing works before CreateApplication() or after Quit(): operations that
//   can fail say so, reading operations give the empty text.
// - The workbook opened or added last is the active one; cell and range
//   operations act on its active sheet (the tab that was active when the file
//   was saved), sheet numbers are 1-based.
// - A cell or range that does not exist reads as the empty text; reading a
//   range gives its first cell.
// - No cell holds more than Workbook::maxTextLength characters: a longer text,
//   read or set, is cut there and the cell marked (valueWasCut()).
// - Formulas are kept as text and not calculated: a formula cell reads as the
//   value saved with the file, or empty when the formula was set here.
// - Borders and fonts are recorded (borders(), fonts()) but neither drawn nor
//   saved. Copy, cut and paste use a clipboard of the application, not the
//   system clipboard. Passwords are accepted and not needed: protected
//   workbooks cannot be read at all.
// - Copying an ExcelAutomation shares its application, as the automation
//   object's reference was shared; Quit() ends it for every copy.
class ExcelAutomation
{
public:
    // Shift codes of InsertColumns() and InsertRows().
    static constexpr int shiftDown = -4121;
    static constexpr int shiftToRight = -4161;

    struct BorderSetting
    {
        CellRangeAddress range;
        std::optional<int> weight;
        std::optional<int> colour;
    };
    struct FontSetting
    {
        CellRangeAddress range;
        QString name;
        int size = 0;
        int colour = 0;
        bool bold = false;
        bool italic = false;
        bool strikethrough = false;
        bool underline = false;
    };

    explicit ExcelAutomation(WorkbookReader reader = WorkbookReader());

    void CreateApplication();
    void SetVisible(bool shown);
    Status AddWorkbook();
    Status OpenWorkbook(
        const QString &fileName, const QString &password = {}, bool usePassword = false);
    Status OpenXmlWorkbook(const QString &fileName);
    void CloseWorkbooks();
    Status SetCell(int sheet, int row, int column, const QString &text);
    Status SetRangeValue(const QString &address, const QString &text);
    Status SetRangeFormula(const QString &address, const QString &text);
    QString GetRangeFormula(const QString &address) const;
    QString GetCell(int sheet, int row, int column) const;
    QString GetRangeValue(const QString &address) const;
    Status DeleteSheet(int sheet);
    Status SaveAs(const QString &fileName);
    Status Save();
    void Quit();
    Status SetBorders(const QString &firstCell, const QString &lastCell,
        std::optional<int> weight = std::nullopt, std::optional<int> colour = std::nullopt);
    Status SetFont(const QString &address, const QString &fontName, int size, int colour = 0,
        bool bold = false, bool italic = false, bool strikethrough = false, bool underline = false);
    Status CopyRange(const QString &address);
    Status PasteSpecialRange(const QString &address);
    Status CutRange(const QString &address);
    Status InsertColumns(const QString &address, int shift);
    Status InsertRows(const QString &address, int shift);
    Status PrintPreview(int workbook);
    void UsedRangeSize(int &rows, int &columns) const;

    // --- State, for callers and tests --------------------------------------

    bool hasApplication() const;
    bool isVisible() const;
    int workbookCount() const;
    // The active workbook, or null.
    const Workbook *activeWorkbook() const;
    // Whether the value GetRangeValue() reads at `address` is cut: its text
    // was longer than a cell holds (Workbook::maxTextLength).
    bool valueWasCut(const QString &address) const;
    QList<BorderSetting> borders() const;
    QList<FontSetting> fonts() const;

private:
    struct OpenBook;
    struct Application;

    OpenBook *activeBook() const;
    WorkbookSheet *activeSheet() const;
    Status openFile(const QString &fileName);
    Status rangeOperation(
        const QString &address, CellRangeAddress &range, WorkbookSheet *&sheet) const;
    Status insertCells(const QString &address, bool down);

    WorkbookReader reader_;
    std::shared_ptr<Application> application_;
};
