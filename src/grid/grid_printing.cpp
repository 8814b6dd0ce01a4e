#include "grid/grid_printing.h"

#include "common/prompts.h"
#include "grid/grid_printer.h"
#include "grid/printer_dialogs.h"
#include "table/data_source.h"

#include <QApplication>
#include <QFile>
#include <QPrinter>
#include <QProgressDialog>

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

// The progress of a print of more than one page, with a button to cancel it.
class PrintProgress
{
public:
    bool step(int done, int total)
    {
        if (total <= 1)
            return true;
        if (!dialog_) {
            QWidget *parent = QApplication::activeWindow();
            dialog_ = std::make_unique<QProgressDialog>(
                QString(), QStringLiteral("取消"), 0, total, parent);
            dialog_->setWindowTitle(QStringLiteral("打印"));
            dialog_->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
            dialog_->setMinimumDuration(0);
            dialog_->show();
        }
        if (done < total)
            dialog_->setLabelText(
                QStringLiteral("正在打印第 %1 页，共 %2 页").arg(done + 1).arg(total));
        dialog_->setValue(done);
        // The cancel button is clicked between two pages.
        QCoreApplication::processEvents();
        cancelled_ = dialog_->wasCanceled();
        return !cancelled_;
    }
    bool cancelled() const { return cancelled_; }

private:
    std::unique_ptr<QProgressDialog> dialog_;
    bool cancelled_ = false;
};

} // namespace

bool editPageSetup(DataSource &table, Prompts &prompts, const QString &pdfFile)
{
    auto printer = printerFor(table, pdfFile);
    if (!prompts.printerDialogs().pageSetupDialog(*printer))
        return false;
    table.setPageSetup(GridPrinter::pageSetupFrom(*printer, table.pageSetup()));
    return true;
}

void preview(DataSource &table, Prompts &prompts, const QString &pdfFile)
{
    auto printer = printerFor(table, pdfFile);
    prompts.printerDialogs().printPreview(*printer, [&table](QPrinter *device) {
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
    if (!prompts.printerDialogs().printDialog(*printer))
        return Status::success();
    const PageSetup chosen = GridPrinter::pageSetupFrom(*printer, table.pageSetup());
    PrintProgress progress;
    bool anyPage = false;
    Status s = GridPrinter(table, chosen).print(*printer, [&](int done, int total) {
        anyPage = true;
        return progress.step(done, total);
    });
    if (progress.cancelled()) {
        // Half a document in a file is no use to anyone.
        if (printer->printerState() != QPrinter::Aborted && !printer->outputFileName().isEmpty())
            QFile::remove(printer->outputFileName());
        return Status::success();
    }
    if (!s)
        return s;
    if (!anyPage) {
        // A range past the end prints nothing: that is not a print.
        const int pages = GridPrinter(table, chosen).pageCount(printer.get());
        const QString range = chosen.lastPage > 0
            ? QStringLiteral("第 %1 至 %2 页").arg(chosen.firstPage).arg(chosen.lastPage)
            : QStringLiteral("第 %1 页起").arg(chosen.firstPage);
        return Status::failure(
            QStringLiteral("没有打印：所选的页码范围（%1）内没有页，这份表格共 %2 页。")
                .arg(range)
                .arg(pages));
    }
    if (printed)
        *printed = true;
    return s;
}

} // namespace GridPrinting
