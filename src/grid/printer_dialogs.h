#pragma once

#include <functional>

class QPrinter;

// The prompts that take a printer: Qt's print support is a layer above
// common, so Prompts hands these out instead of naming QPrinter itself.
class PrinterDialogs
{
public:
    virtual ~PrinterDialogs() = default;

    // True when the user accepted. The preview calls `paint` whenever it
    // needs the pages.
    virtual bool printDialog(QPrinter &printer) = 0;
    virtual bool pageSetupDialog(QPrinter &printer) = 0;
    virtual void printPreview(QPrinter &printer, const std::function<void(QPrinter *)> &paint) = 0;
};
