#include "workbook/excel_automation.h"

#include "workbook/xlsx_writer.h"

#include <QFileInfo>

struct ExcelAutomation::OpenBook
{
    Workbook workbook;
    QString path; // where Save() writes; empty for a new workbook
    QList<BorderSetting> borders;
    QList<FontSetting> fonts;
};

struct ExcelAutomation::Application
{
    bool running = true;
    bool visible = false;
    QList<OpenBook> books; // the last is active

    // Cells copied or cut, relative to the top-left of their range.
    struct Clip
    {
        int row = 0;
        int column = 0;
        WorkbookCell cell;
    };
    QList<Clip> clipboard;
    bool hasClip = false;
    // A cut waits for its paste to move the cells; closing or deleting its
    // sheet cancels it, and with it the clipboard.
    bool cut = false;
    CellRangeAddress cutRange;
    int cutBook = -1;
    int cutSheet = -1;

    void cancelCut()
    {
        if (!cut)
            return;
        cut = false;
        hasClip = false;
        clipboard.clear();
    }
};

namespace {

Status noApplication()
{
    return Status::failure(QStringLiteral("电子表格引擎尚未启动"));
}

Status noWorkbook()
{
    return Status::failure(QStringLiteral("没有打开的工作簿"));
}

Status badAddress(const QString &address)
{
    return Status::failure(QStringLiteral("单元格地址无效：%1").arg(address));
}

Status noSheet(int sheet)
{
    return Status::failure(QStringLiteral("工作表 %1 不存在").arg(sheet));
}

bool contains(const CellRangeAddress &range, int row, int column)
{
    return row >= range.first.row && row <= range.last.row && column >= range.first.column
        && column <= range.last.column;
}

// Empties a range by its stored cells, so that clearing whole columns costs
// no more than the cells there are.
void clearRange(WorkbookSheet &sheet, const CellRangeAddress &range)
{
    QList<CellAddress> cells;
    sheet.forEachCell([&](int row, int column, const WorkbookCell &) {
        if (contains(range, row, column))
            cells.append({row, column});
    });
    for (const CellAddress &cell : std::as_const(cells))
        sheet.setCell(cell.row, cell.column, {});
}

} // namespace

ExcelAutomation::ExcelAutomation(WorkbookReader reader)
    : reader_(std::move(reader))
{ }

void ExcelAutomation::CreateApplication()
{
    application_ = std::make_shared<Application>();
}

bool ExcelAutomation::hasApplication() const
{
    return application_ && application_->running;
}

void ExcelAutomation::SetVisible(bool shown)
{
    // There is no spreadsheet window; the flag is kept for whoever asks.
    if (hasApplication())
        application_->visible = shown;
}

bool ExcelAutomation::isVisible() const
{
    return hasApplication() && application_->visible;
}

int ExcelAutomation::workbookCount() const
{
    return hasApplication() ? int(application_->books.size()) : 0;
}

ExcelAutomation::OpenBook *ExcelAutomation::activeBook() const
{
    if (!hasApplication() || application_->books.isEmpty())
        return nullptr;
    return &application_->books.last();
}

const Workbook *ExcelAutomation::activeWorkbook() const
{
    const OpenBook *book = activeBook();
    return book ? &book->workbook : nullptr;
}

WorkbookSheet *ExcelAutomation::activeSheet() const
{
    OpenBook *book = activeBook();
    if (!book || book->workbook.sheets.isEmpty())
        return nullptr;
    Workbook &workbook = book->workbook;
    return &workbook.sheets[std::clamp(workbook.activeSheet, 0, int(workbook.sheets.size()) - 1)];
}

QList<ExcelAutomation::BorderSetting> ExcelAutomation::borders() const
{
    const OpenBook *book = activeBook();
    return book ? book->borders : QList<BorderSetting>();
}

QList<ExcelAutomation::FontSetting> ExcelAutomation::fonts() const
{
    const OpenBook *book = activeBook();
    return book ? book->fonts : QList<FontSetting>();
}

Status ExcelAutomation::AddWorkbook()
{
    if (!hasApplication())
        return noApplication();
    // A new workbook has the three sheets of a spreadsheet program's default.
    OpenBook book;
    for (int i = 1; i <= 3; ++i)
        book.workbook.sheets.append(WorkbookSheet(QStringLiteral("Sheet%1").arg(i)));
    application_->books.append(std::move(book));
    return Status::success();
}

Status ExcelAutomation::openFile(const QString &fileName)
{
    if (!hasApplication())
        return noApplication();
    WorkbookResult read = reader_.read(fileName);
    if (!read.status)
        return read.status;
    application_->books.append(
        {std::move(read.workbook), QFileInfo(fileName).absoluteFilePath(), {}, {}});
    return Status::success();
}

Status ExcelAutomation::OpenWorkbook(
    const QString &fileName, const QString &password, bool usePassword)
{
    // Our readers read no protected workbook, so a password changes nothing:
    // an unprotected file opens with or without one.
    Q_UNUSED(password);
    Q_UNUSED(usePassword);
    return openFile(fileName);
}

Status ExcelAutomation::OpenXmlWorkbook(const QString &fileName)
{
    // The reader tells XML spreadsheets by their contents.
    return openFile(fileName);
}

void ExcelAutomation::CloseWorkbooks()
{
    if (!hasApplication())
        return;
    application_->cancelCut();
    application_->books.clear();
}

Status ExcelAutomation::SetCell(int sheet, int row, int column, const QString &text)
{
    OpenBook *book = activeBook();
    if (!book)
        return hasApplication() ? noWorkbook() : noApplication();
    if (sheet < 1 || sheet > book->workbook.sheets.size())
        return noSheet(sheet);
    if (!WorkbookSheet::isInside(row, column))
        return Status::failure(QStringLiteral("单元格 (%1, %2) 不存在").arg(row).arg(column));
    book->workbook.sheets[sheet - 1].setValue(row, column, text);
    return Status::success();
}

QString ExcelAutomation::GetCell(int sheet, int row, int column) const
{
    const OpenBook *book = activeBook();
    if (!book || sheet < 1 || sheet > book->workbook.sheets.size())
        return {};
    return book->workbook.sheets[sheet - 1].value(row, column);
}

Status ExcelAutomation::rangeOperation(
    const QString &address, CellRangeAddress &range, WorkbookSheet *&sheet) const
{
    sheet = activeSheet();
    if (!sheet)
        return hasApplication() ? noWorkbook() : noApplication();
    const auto parsed = A1::parseRange(address);
    if (!parsed)
        return badAddress(address);
    range = *parsed;
    return Status::success();
}

Status ExcelAutomation::SetRangeValue(const QString &address, const QString &text)
{
    CellRangeAddress range;
    WorkbookSheet *sheet = nullptr;
    if (Status status = rangeOperation(address, range, sheet); !status)
        return status;
    if (text.isEmpty()) {
        clearRange(*sheet, range);
        return Status::success();
    }
    if (qint64(range.rows()) * range.columns() > Workbook::maxCells)
        return Status::failure(QStringLiteral("区域过大：%1").arg(address));
    for (int row = range.first.row; row <= range.last.row; ++row) {
        for (int column = range.first.column; column <= range.last.column; ++column)
            sheet->setValue(row, column, text);
    }
    return Status::success();
}

Status ExcelAutomation::SetRangeFormula(const QString &address, const QString &text)
{
    // Text without "=" is a plain value, as a spreadsheet takes it.
    if (!text.startsWith(u'='))
        return SetRangeValue(address, text);
    CellRangeAddress range;
    WorkbookSheet *sheet = nullptr;
    if (Status status = rangeOperation(address, range, sheet); !status)
        return status;
    if (qint64(range.rows()) * range.columns() > Workbook::maxCells)
        return Status::failure(QStringLiteral("区域过大：%1").arg(address));
    for (int row = range.first.row; row <= range.last.row; ++row) {
        for (int column = range.first.column; column <= range.last.column; ++column)
            sheet->setCell(row, column, {QString(), text});
    }
    return Status::success();
}

QString ExcelAutomation::GetRangeFormula(const QString &address) const
{
    const WorkbookSheet *sheet = activeSheet();
    const auto range = A1::parseRange(address);
    if (!sheet || !range)
        return {};
    const WorkbookCell cell = sheet->cell(range->first.row, range->first.column);
    return cell.formula.isEmpty() ? cell.value : cell.formula;
}

QString ExcelAutomation::GetRangeValue(const QString &address) const
{
    const WorkbookSheet *sheet = activeSheet();
    const auto range = A1::parseRange(address);
    if (!sheet || !range)
        return {};
    return sheet->value(range->first.row, range->first.column);
}

bool ExcelAutomation::valueWasCut(const QString &address) const
{
    const WorkbookSheet *sheet = activeSheet();
    const auto range = A1::parseRange(address);
    return sheet && range && sheet->cell(range->first.row, range->first.column).cut;
}

Status ExcelAutomation::DeleteSheet(int sheet)
{
    OpenBook *book = activeBook();
    if (!book)
        return hasApplication() ? noWorkbook() : noApplication();
    Workbook &workbook = book->workbook;
    if (sheet < 1 || sheet > workbook.sheets.size())
        return noSheet(sheet);
    if (workbook.sheets.size() == 1)
        return Status::failure(QStringLiteral("工作簿至少要有一个工作表"));
    Application &app = *application_;
    if (app.cut && app.cutBook == app.books.size() - 1) {
        if (app.cutSheet == sheet - 1)
            app.cancelCut();
        else if (app.cutSheet > sheet - 1)
            --app.cutSheet;
    }
    workbook.sheets.removeAt(sheet - 1);
    if (workbook.activeSheet >= sheet - 1 && workbook.activeSheet > 0)
        --workbook.activeSheet;
    return Status::success();
}

Status ExcelAutomation::SaveAs(const QString &fileName)
{
    OpenBook *book = activeBook();
    if (!book)
        return hasApplication() ? noWorkbook() : noApplication();
    if (Status written = writeXlsx(book->workbook, fileName); !written)
        return written;
    book->path = QFileInfo(fileName).absoluteFilePath();
    return Status::success();
}

Status ExcelAutomation::Save()
{
    OpenBook *book = activeBook();
    if (!book)
        return hasApplication() ? noWorkbook() : noApplication();
    // Saving writes .xlsx only; overwriting an .xls, CSV or HTML file with it
    // would leave a file its other readers no longer open.
    if (!book->path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return Status::failure(
            QStringLiteral("工作簿只能另存为 .xlsx 文件，请先用“另存为”指定文件名"));
    return writeXlsx(book->workbook, book->path);
}

void ExcelAutomation::Quit()
{
    if (!application_)
        return;
    application_->books.clear();
    application_->clipboard.clear();
    application_->hasClip = false;
    application_->running = false;
}

Status ExcelAutomation::SetBorders(const QString &firstCell, const QString &lastCell,
    std::optional<int> weight, std::optional<int> colour)
{
    OpenBook *book = activeBook();
    if (!book)
        return hasApplication() ? noWorkbook() : noApplication();
    const auto first = A1::parseCell(firstCell);
    const auto last = A1::parseCell(lastCell);
    if (!first || !last)
        return badAddress(firstCell + u':' + lastCell);
    const auto range = A1::parseRange(A1::cellText(*first) + u':' + A1::cellText(*last));
    book->borders.append({*range, weight, colour});
    return Status::success();
}

Status ExcelAutomation::SetFont(const QString &address, const QString &fontName, int size,
    int colour, bool bold, bool italic, bool strikethrough, bool underline)
{
    CellRangeAddress range;
    WorkbookSheet *sheet = nullptr;
    if (Status status = rangeOperation(address, range, sheet); !status)
        return status;
    activeBook()->fonts.append(
        {range, fontName, size, colour, bold, italic, strikethrough, underline});
    return Status::success();
}

Status ExcelAutomation::CopyRange(const QString &address)
{
    CellRangeAddress range;
    WorkbookSheet *sheet = nullptr;
    if (Status status = rangeOperation(address, range, sheet); !status)
        return status;
    Application &app = *application_;
    app.clipboard.clear();
    sheet->forEachCell([&](int row, int column, const WorkbookCell &cell) {
        if (contains(range, row, column))
            app.clipboard.append({row - range.first.row, column - range.first.column, cell});
    });
    app.hasClip = true;
    app.cut = false;
    return Status::success();
}

Status ExcelAutomation::CutRange(const QString &address)
{
    if (Status copied = CopyRange(address); !copied)
        return copied;
    // The cells move when pasted; until then they stay where they are.
    Application &app = *application_;
    app.cut = true;
    app.cutRange = *A1::parseRange(address);
    app.cutBook = int(app.books.size()) - 1;
    app.cutSheet = app.books.last().workbook.activeSheet;
    return Status::success();
}

Status ExcelAutomation::PasteSpecialRange(const QString &address)
{
    CellRangeAddress range;
    WorkbookSheet *sheet = nullptr;
    if (Status status = rangeOperation(address, range, sheet); !status)
        return status;
    Application &app = *application_;
    if (!app.hasClip)
        return Status::failure(QStringLiteral("没有复制或剪切的单元格可粘贴"));
    if (app.cut)
        clearRange(app.books[app.cutBook].workbook.sheets[app.cutSheet], app.cutRange);
    for (const Application::Clip &clip : std::as_const(app.clipboard))
        sheet->setCell(range.first.row + clip.row, range.first.column + clip.column, clip.cell);
    app.cancelCut(); // a cut is pasted once
    return Status::success();
}

Status ExcelAutomation::insertCells(const QString &address, bool down)
{
    CellRangeAddress range;
    WorkbookSheet *sheet = nullptr;
    if (Status status = rangeOperation(address, range, sheet); !status)
        return status;
    // Cells in the range's rows (or columns) from its first column (or row)
    // on move by its width (or height).
    const auto moves = [&](int row, int column) {
        return down
            ? column >= range.first.column && column <= range.last.column && row >= range.first.row
            : row >= range.first.row && row <= range.last.row && column >= range.first.column;
    };
    bool lost = false;
    sheet->forEachCell([&](int row, int column, const WorkbookCell &) {
        if (moves(row, column)
            && !WorkbookSheet::isInside(
                down ? row + range.rows() : row, down ? column : column + range.columns()))
            lost = true;
    });
    // A spreadsheet refuses to push cells off the sheet rather than lose them.
    if (lost)
        return Status::failure(QStringLiteral("无法插入：非空单元格会被移出工作表"));
    sheet->moveCells([&](int &row, int &column) {
        if (!moves(row, column))
            return;
        if (down)
            row += range.rows();
        else
            column += range.columns();
    });
    return Status::success();
}

Status ExcelAutomation::InsertColumns(const QString &address, int shift)
{
    return insertCells(address, shift == shiftDown);
}

Status ExcelAutomation::InsertRows(const QString &address, int shift)
{
    return insertCells(address, shift != shiftToRight);
}

Status ExcelAutomation::PrintPreview(int workbook)
{
    if (!hasApplication())
        return noApplication();
    if (workbook < 1 || workbook > application_->books.size())
        return Status::failure(QStringLiteral("工作簿 %1 不存在").arg(workbook));
    return Status::failure(QStringLiteral("不支持电子表格的打印预览"));
}

void ExcelAutomation::UsedRangeSize(int &rows, int &columns) const
{
    const WorkbookSheet *sheet = activeSheet();
    rows = sheet ? sheet->usedRows() : 0;
    columns = sheet ? sheet->usedColumns() : 0;
}
