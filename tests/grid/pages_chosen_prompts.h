#pragma once

#include "support/scripted_prompts.h"

#include <QPrinter>

// A print dialog the user leaves with "pages from … to …" set.
class PagesChosenPrompts : public ScriptedPrompts
{
public:
    PagesChosenPrompts(int from, int to)
        : from_(from)
        , to_(to)
    { }
    bool printDialog(QPrinter &printer) override
    {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(from_, to_);
        return ScriptedPrompts::printDialog(printer);
    }

private:
    int from_, to_;
};
