#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

class PrinterDialogs; // grid/printer_dialogs.h

// A font as the font dialog hands it back: its family and its size in points
// (0 when the dialog leaves the size to the usual one).
struct FontChoice
{
    QString family;
    int pointSize = 0;
};
Q_DECLARE_METATYPE(FontChoice)

// Every message box, question, input box, file, font and printer dialog of the
// program goes through this interface. The Qt implementation shows real
// dialogs; the tests' implementation records what was shown and answers from
// a queue, so no test ever blocks on a modal dialog.
class Prompts
{
public:
    enum class Icon { None, Information, Warning, Error, Question };

    static QString defaultTitle() { return QStringLiteral("信息："); }

    virtual ~Prompts() = default;

    // A plain message box with an OK button.
    virtual void message(
        const QString &text, const QString &title = defaultTitle(), Icon icon = Icon::None)
        = 0;
    // A Yes/No question with the question icon and No as the default button.
    virtual bool askYesNo(const QString &text, const QString &title) = 0;
    // An input box; nullopt when cancelled.
    virtual std::optional<QString> inputText(
        const QString &prompt, const QString &title, const QString &initial = {})
        = 0;
    virtual std::optional<double> inputNumber(
        const QString &prompt, const QString &title, double initial = 0)
        = 0;
    // An input box for a whole number from `minimum` to `maximum`: other text
    // cannot be typed into it. nullopt when cancelled.
    virtual std::optional<int> inputInteger(
        const QString &prompt, const QString &title, int initial, int minimum, int maximum)
        = 0;
    // File dialogs; the empty text when cancelled. `filter` in Qt's form
    // ("描述 (*.zrb)"). Without a title the dialog says what it does ("打开").
    virtual QString openFileName(
        const QString &startDir, const QString &filter, const QString &title = {})
        = 0;
    // An open-file dialog like openFileName() that lists its files newest
    // first by `timeOf` (the time a backup was taken, say), folders before
    // them. The platform's own dialog takes no order, so the program's is
    // shown. Without an override, openFileName().
    using FileTime = std::function<QDateTime(const QString &path)>;
    virtual QString openNewestFirst(const QString &startDir, const QString &filter,
        const QString &title, const FileTime &timeOf)
    {
        Q_UNUSED(timeOf);
        return openFileName(startDir, filter, title);
    }
    // `start` is a folder, or a folder and a proposed file name.
    virtual QString saveFileName(
        const QString &start, const QString &filter, const QString &title = {})
        = 0;
    // The font dialog, opened on `family` at `pointSize` points (0: the usual
    // size); nullopt when cancelled.
    virtual std::optional<FontChoice> chooseFont(const QString &family, int pointSize) = 0;
    // The printer dialogs, declared with the printing they serve.
    virtual PrinterDialogs &printerDialogs() = 0;

    // Whether a command of the program is at work (its wait cursor is up).
    // The window layers install the answer; without them nothing ever is.
    static void setBusyProbe(bool (*probe)());
    static bool busy();
};
