#include "support/scripted_prompts.h"

#include <QMetaType>

namespace {

// A queued answer of the wrong kind means the test's script and the program
// disagree about which prompt comes next; going on would only hide that.
[[noreturn]] void wrongAnswer(
    const QString &kind, const QString &text, const QVariant &answer, const char *expected)
{
    qFatal("ScriptedPrompts: the answer queued for the %s \"%s\" is a %s, expected %s",
        qPrintable(kind), qPrintable(text), answer.metaType().name(), expected);
}

bool isNumber(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

} // namespace

QStringList ScriptedPrompts::messages() const
{
    QStringList texts;
    for (const Shown &prompt : shown_) {
        if (prompt.kind == u"message")
            texts << prompt.text;
    }
    return texts;
}

void ScriptedPrompts::record(const QString &kind, const QString &text, const QString &title,
    Icon icon, const QString &dialogTitle)
{
    shown_.push_back({kind, text, title, icon, dialogTitle, busy()});
}

QVariant ScriptedPrompts::takeAnswer()
{
    if (answers_.empty())
        return {};
    QVariant answer = std::move(answers_.front());
    answers_.pop_front();
    return answer;
}

void ScriptedPrompts::message(const QString &text, const QString &title, Icon icon)
{
    record(QStringLiteral("message"), text, title, icon);
}

bool ScriptedPrompts::askYesNo(const QString &text, const QString &title)
{
    record(QStringLiteral("question"), text, title, Icon::Question);
    if (questionHandler_)
        return questionHandler_(text);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return false;
    if (answer.typeId() != QMetaType::Bool)
        wrongAnswer(QStringLiteral("question"), text, answer, "bool");
    return answer.toBool();
}

std::optional<QString> ScriptedPrompts::inputText(
    const QString &prompt, const QString &title, const QString &initial)
{
    Q_UNUSED(initial);
    record(QStringLiteral("inputText"), prompt, title);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return std::nullopt;
    if (answer.typeId() != QMetaType::QString)
        wrongAnswer(QStringLiteral("input box"), prompt, answer, "QString");
    return answer.toString();
}

std::optional<double> ScriptedPrompts::inputNumber(
    const QString &prompt, const QString &title, double initial)
{
    Q_UNUSED(initial);
    record(QStringLiteral("inputNumber"), prompt, title);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return std::nullopt;
    if (!isNumber(answer))
        wrongAnswer(QStringLiteral("number input box"), prompt, answer, "double");
    return answer.toDouble();
}

std::optional<int> ScriptedPrompts::inputInteger(
    const QString &prompt, const QString &title, int initial, int minimum, int maximum)
{
    Q_UNUSED(initial);
    Shown shown {QStringLiteral("inputInteger"), prompt, title, Icon::None, {}};
    shown.minimum = minimum;
    shown.maximum = maximum;
    shown_.push_back(shown);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return std::nullopt;
    if (answer.typeId() != QMetaType::Int)
        wrongAnswer(QStringLiteral("integer input box"), prompt, answer, "int");
    // The real box cannot give a number outside its range.
    const int value = answer.toInt();
    if (value < minimum || value > maximum)
        qFatal("ScriptedPrompts: the answer %d queued for \"%s\" is outside %d..%d", value,
            qPrintable(prompt), minimum, maximum);
    return value;
}

QString ScriptedPrompts::openFileName(
    const QString &startDir, const QString &filter, const QString &title)
{
    record(QStringLiteral("open"), startDir, filter, Icon::None, title);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return {};
    if (answer.typeId() != QMetaType::QString)
        wrongAnswer(QStringLiteral("open-file dialog"), startDir, answer, "QString");
    return answer.toString();
}

QString ScriptedPrompts::saveFileName(
    const QString &start, const QString &filter, const QString &title)
{
    record(QStringLiteral("save"), start, filter, Icon::None, title);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return {};
    if (answer.typeId() != QMetaType::QString)
        wrongAnswer(QStringLiteral("save-file dialog"), start, answer, "QString");
    return answer.toString();
}

std::optional<FontChoice> ScriptedPrompts::chooseFont(const QString &family, int pointSize)
{
    record(QStringLiteral("font"), family);
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return std::nullopt;
    if (answer.typeId() == QMetaType::QString)
        return FontChoice {answer.toString(), pointSize};
    if (answer.metaType() != QMetaType::fromType<FontChoice>())
        wrongAnswer(QStringLiteral("font dialog"), family, answer, "FontChoice or QString");
    return answer.value<FontChoice>();
}

bool ScriptedPrompts::printDialog(QPrinter &printer)
{
    Q_UNUSED(printer);
    return printerDialog(QStringLiteral("print"), QStringLiteral("print dialog"));
}

bool ScriptedPrompts::pageSetupDialog(QPrinter &printer)
{
    Q_UNUSED(printer);
    return printerDialog(QStringLiteral("pageSetup"), QStringLiteral("page setup dialog"));
}

bool ScriptedPrompts::printerDialog(const QString &kind, const QString &what)
{
    record(kind, {});
    if (answers_.empty())
        return true;
    const QVariant answer = takeAnswer();
    if (!answer.isValid())
        return false;
    if (answer.typeId() != QMetaType::Bool)
        wrongAnswer(what, {}, answer, "bool");
    return answer.toBool();
}

void ScriptedPrompts::printPreview(QPrinter &printer, const std::function<void(QPrinter *)> &paint)
{
    record(QStringLiteral("preview"), {});
    // A real preview paints the pages at least once; so does this one, so that
    // tests run the painting code.
    if (paint)
        paint(&printer);
}
