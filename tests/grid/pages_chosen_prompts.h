#pragma once

#include "common/prompts.h"

#include <QPrinter>

// Prompts whose print dialog comes back with "pages from … to …" set, as a
// user leaves it; everything else as ScriptedPrompts.
class PagesChosenPrompts : public ScriptedPrompts
{
public:
    PagesChosenPrompts(int from, int to)
        : from_(from)
        , to_(to)
    { }

    bool printDialog(QPrinter &printer) override
    {
        if (!ScriptedPrompts::printDialog(printer))
            return false;
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(from_, to_);
        return true;
    }

private:
    int from_;
    int to_;
};
