#pragma once

#include "common/prompts.h"
#include "grid/printer_dialogs.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

// Records every prompt and answers from a queue of prepared answers. With an
// empty queue: questions are answered No, inputs and file dialogs are
// cancelled, printer dialogs are accepted.
class ScriptedPrompts : public Prompts, public PrinterDialogs
{
public:
    struct Shown
    {
        QString kind; // "message", "question", "inputText", "inputNumber", "open", "save",
                      // "font", "print", "pageSetup", "preview"
        QString text; // message, question or prompt; the start folder for file dialogs;
                      // the initial family for the font dialog
        QString title; // title; the filter for file dialogs
        Icon icon = Icon::None;
        QString dialogTitle; // the title of a file dialog
        bool busy = false; // shown while a command's wait cursor was up
        int minimum = 0; // the range of an integer input box
        int maximum = 0;
    };

    // Queues an answer: bool for questions and printer dialogs, QString for text
    // inputs and file dialogs, double for number inputs, int for integer
    // inputs (within the box's range), FontChoice for the font dialog (or a QString: the family at
    // the size it was opened with); an invalid QVariant cancels (a
    // question is then answered No, a printer dialog is rejected). An answer of the wrong type ends
    // the test with qFatal: the script and the program disagree about the next prompt.
    void answer(QVariant value) { answers_.push_back(std::move(value)); }

    const std::vector<Shown> &shown() const { return shown_; }
    // The texts of all message boxes so far, in order.
    QStringList messages() const;
    void clearShown() { shown_.clear(); }
    // Drops the answers no prompt took.
    void clearAnswers() { answers_.clear(); }
    int pendingAnswers() const { return int(answers_.size()); }
    // Answers Yes/No questions by their text instead of from the queue.
    void setQuestionHandler(std::function<bool(const QString &)> handler)
    {
        questionHandler_ = std::move(handler);
    }

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
    QString saveFileName(
        const QString &start, const QString &filter, const QString &title) override;
    std::optional<FontChoice> chooseFont(const QString &family, int pointSize) override;
    bool printDialog(QPrinter &printer) override;
    bool pageSetupDialog(QPrinter &printer) override;
    void printPreview(QPrinter &printer, const std::function<void(QPrinter *)> &paint) override;
    PrinterDialogs &printerDialogs() override { return *this; }

private:
    QVariant takeAnswer();
    void record(const QString &kind, const QString &text, const QString &title = {},
        Icon icon = Icon::None, const QString &dialogTitle = {});
    // The print and page setup dialogs: accepted unless answered otherwise.
    bool printerDialog(const QString &kind, const QString &what);

    std::deque<QVariant> answers_;
    std::function<bool(const QString &)> questionHandler_;
    std::vector<Shown> shown_;
};
