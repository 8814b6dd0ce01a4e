#include "grid/grid_printing.h"

#include "common/prompts.h"
#include "grid/data_source.h"
#include "grid/grid_printer.h"

#include <QPrinter>

#include <memory>

namespace GridPrinting {
namespace {

std::unique_ptr<QPrinter> printerFor(const DataSource &table, const QString &pdfFile)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!pdfFile.isEmpty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(pdfFile);
    }
    printer->setDocName(table.text(1, 1).isEmpty() ? QStringLiteral("表格") : table.text(1, 1));
    GridPrinter(table).applyTo(*printer);
    return printer;
}

} // namespace

bool editPageSetup(DataSource &table, Prompts &prompts, const QString &pdfFile)
{
    auto printer = printerFor(table, pdfFile);
    if (!prompts.pageSetupDialog(*printer))
        return false;
    table.setPageSetup(GridPrinter::pageSetupFrom(*printer, table.pageSetup()));
    return true;
}

void preview(DataSource &table, Prompts &prompts, const QString &pdfFile)
{
    auto printer = printerFor(table, pdfFile);
    prompts.printPreview(*printer, [&table](QPrinter *device) {
        // The preview shows whatever could be drawn; printing reports failures.
        (void)GridPrinter(table, GridPrinter::pageSetupFrom(*device, table.pageSetup()))
            .print(*device);
    });
}

Status print(DataSource &table, Prompts &prompts, const QString &pdfFile, bool *printed)
{
    if (printed)
        *printed = false;
    auto printer = printerFor(table, pdfFile);
    if (!prompts.printDialog(*printer))
        return Status::success();
    const PageSetup chosen = GridPrinter::pageSetupFrom(*printer, table.pageSetup());
    Status s = GridPrinter(table, chosen).print(*printer);
    if (s && printed)
        *printed = true;
    return s;
}

} // namespace GridPrinting
