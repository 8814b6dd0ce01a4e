#pragma once

#include "common/status.h"

#include <QString>

class DataSource;
class Prompts;
class QPrinter;

// The three printing commands of a window that shows a table: printer
// settings, preview and print, each through the printer dialogs of Prompts,
// with the table's own page setup. What the user sets in the page settings
// goes back into the table's page setup, so later prints and previews keep
// it; a choice in the print dialog (printer, pages) holds for that print.
//
// A non-empty `pdfFile` prints into that PDF file instead of a printer (the
// print dialog is still asked, so the flow is the same).
namespace GridPrinting {

// The printer dialog's page settings; true when the user accepted.
bool editPageSetup(DataSource &table, Prompts &prompts, const QString &pdfFile = {});

// Shows the preview of the table as it will print.
void preview(DataSource &table, Prompts &prompts, const QString &pdfFile = {});

// Asks for the printer, then prints. A print of more than one page shows its
// progress page by page with a button to cancel it; a cancelled print is
// abandoned by the printer where its driver can, and a file it was writing
// is removed. A cancelled dialog or print is no error (`printed` false); a
// page range that selects no page of the table is (nothing was printed).
Status print(
    DataSource &table, Prompts &prompts, const QString &pdfFile = {}, bool *printed = nullptr);

} // namespace GridPrinting
