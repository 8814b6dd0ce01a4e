#pragma once

#include "common/prompts.h"
#include "grid/printer_dialogs.h"

class QFontDialog;
class QWidget;

// The prompts of the running program: real Qt dialogs, modal over whichever
// window of the program is active.
//
// Every dialog shows the widgets' own cursors, even in the middle of a command
// that shows the wait cursor. The font dialog opens on the given font among
// the fonts that write Chinese; the print preview takes most of the screen and
// shows the page as wide as it is.
//
// Numbers are asked for in a text box and read with number(text), like every
// other number the user types: full-width digits work, the decimal point is a
// point whatever the locale, and the initial value shows as the program writes
// numbers ("1", not "1.0000000000000"). Whole numbers are asked for in a spin
// box, which takes digits within its range only.
class QtPrompts : public Prompts, public PrinterDialogs
{
public:
    void message(const QString &text, const QString &title, Icon icon) override;
    bool askYesNo(const QString &text, const QString &title) override;
    std::optional<QString> inputText(
        const QString &prompt, const QString &title, const QString &initial) override;
    std::optional<double> inputNumber(
        const QString &prompt, const QString &title, double initial) override;
    std::optional<int> inputInteger(const QString &prompt, const QString &title, int initial,
        int minimum, int maximum) override;
    QString openFileName(
        const QString &startDir, const QString &filter, const QString &title = {}) override;
    QString openNewestFirst(const QString &startDir, const QString &filter, const QString &title,
        const FileTime &timeOf) override;
    QString saveFileName(
        const QString &start, const QString &filter, const QString &title) override;
    std::optional<FontChoice> chooseFont(const QString &family, int pointSize) override;
    bool printDialog(QPrinter &printer) override;
    bool pageSetupDialog(QPrinter &printer) override;
    void printPreview(QPrinter &printer, const std::function<void(QPrinter *)> &paint) override;
    PrinterDialogs &printerDialogs() override { return *this; }

    // The part of the screen the print preview takes, each way.
    static constexpr double previewShare = 0.9;

private:
    static QWidget *parent();
    static void showChineseFonts(QFontDialog &dialog);
};
