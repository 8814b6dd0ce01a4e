#include "app/qt_prompts.h"

#include "common/value_text.h"
#include "ui/wait_cursor.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QFontDatabase>
#include <QFontDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QSortFilterProxyModel>

#include <algorithm>

namespace {

QMessageBox::Icon boxIcon(Prompts::Icon icon)
{
    switch (icon) {
    case Prompts::Icon::Information:
        return QMessageBox::Information;
    case Prompts::Icon::Warning:
        return QMessageBox::Warning;
    case Prompts::Icon::Error:
        return QMessageBox::Critical;
    case Prompts::Icon::Question:
        return QMessageBox::Question;
    case Prompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// Texts come from records and settings files; a "<" in them must show as it is.
void showPlainText(QDialog &dialog)
{
    for (QLabel *label : dialog.findChildren<QLabel *>())
        label->setTextFormat(Qt::PlainText);
}

std::optional<QString> askText(const QString &prompt, const QString &title, const QString &initial)
{
    const NormalCursor pointer;
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    showPlainText(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

// A file dialog's files newest first by a time of each (folders first, by
// name), whichever column the view sorts by.
class NewestFirst : public QSortFilterProxyModel
{
public:
    explicit NewestFirst(Prompts::FileTime timeOf)
        : timeOf_(std::move(timeOf))
    { }

protected:
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override
    {
        const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
        if (!files)
            return QSortFilterProxyModel::lessThan(left, right);
        const bool leftFolder = files->isDir(left);
        const bool rightFolder = files->isDir(right);
        // The view may sort either way: the proxy turns the result round
        // for a descending order.
        const bool ascending = sortOrder() == Qt::AscendingOrder;
        if (leftFolder != rightFolder)
            return leftFolder == ascending;
        if (leftFolder)
            return (files->fileName(left) < files->fileName(right)) == ascending;
        return (timeOf(files->filePath(left)) > timeOf(files->filePath(right))) == ascending;
    }

private:
    QDateTime timeOf(const QString &path) const
    {
        auto known = times_.constFind(path);
        if (known == times_.constEnd())
            known = times_.insert(path, timeOf_(path));
        return *known;
    }

    Prompts::FileTime timeOf_;
    mutable QHash<QString, QDateTime> times_;
};

} // namespace

QWidget *QtPrompts::parent()
{
    return QApplication::activeWindow();
}

void QtPrompts::message(const QString &text, const QString &title, Icon icon)
{
    const NormalCursor pointer;
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent());
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool QtPrompts::askYesNo(const QString &text, const QString &title)
{
    const NormalCursor pointer;
    QMessageBox box(
        QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::inputText(
    const QString &prompt, const QString &title, const QString &initial)
{
    return askText(prompt, title, initial);
}

std::optional<double> QtPrompts::inputNumber(
    const QString &prompt, const QString &title, double initial)
{
    const std::optional<QString> text = askText(prompt, title, numberText(initial));
    if (!text)
        return std::nullopt;
    return number(*text);
}

std::optional<int> QtPrompts::inputInteger(
    const QString &prompt, const QString &title, int initial, int minimum, int maximum)
{
    QInputDialog dialog(parent());
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setIntRange(minimum, maximum);
    dialog.setIntStep(1);
    dialog.setIntValue(std::clamp(initial, minimum, maximum));
    showPlainText(dialog);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.intValue();
}

QString QtPrompts::openFileName(
    const QString &startDir, const QString &filter, const QString &title)
{
    const NormalCursor pointer;
    return QFileDialog::getOpenFileName(parent(), title, startDir, filter);
}

QString QtPrompts::openNewestFirst(
    const QString &startDir, const QString &filter, const QString &title, const FileTime &timeOf)
{
    const NormalCursor pointer;
    QFileDialog dialog(parent(), title, startDir, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    auto *order = new NewestFirst(timeOf);
    order->setDynamicSortFilter(true);
    dialog.setProxyModel(order); // the dialog takes it
    order->sort(0, Qt::AscendingOrder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtPrompts::saveFileName(const QString &start, const QString &filter, const QString &title)
{
    const NormalCursor pointer;
    return QFileDialog::getSaveFileName(parent(), title, start, filter);
}

std::optional<FontChoice> QtPrompts::chooseFont(const QString &family, int pointSize)
{
    const NormalCursor pointer;
    QFont initial(family);
    if (pointSize > 0)
        initial.setPointSize(pointSize);
    // Qt's own dialog: a desktop's native one would not speak Chinese here.
    QFontDialog dialog(initial, parent());
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    showChineseFonts(dialog);
    dialog.setCurrentFont(initial);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont chosen = dialog.selectedFont();
    return FontChoice {chosen.family(), std::max(chosen.pointSize(), 0)};
}

void QtPrompts::showChineseFonts(QFontDialog &dialog)
{
    // The dialog offers no call for its writing system; its list is the
    // combo box whose items are the writing systems' names, in their order.
    const int chinese = QFontDatabase::SimplifiedChinese;
    const QString name = QFontDatabase::writingSystemName(QFontDatabase::SimplifiedChinese);
    for (QComboBox *box : dialog.findChildren<QComboBox *>()) {
        if (box->count() > chinese && box->itemText(chinese) == name) {
            box->setCurrentIndex(chinese);
            emit box->activated(chinese);
            return;
        }
    }
}

bool QtPrompts::printDialog(QPrinter &printer)
{
    const NormalCursor pointer;
    QPrintDialog dialog(&printer, parent());
    // A table may run to many pages: let the user print some of them.
    dialog.setMinMax(1, 9999);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

bool QtPrompts::pageSetupDialog(QPrinter &printer)
{
    const NormalCursor pointer;
    QPageSetupDialog dialog(&printer, parent());
    return dialog.exec() == QDialog::Accepted;
}

void QtPrompts::printPreview(QPrinter &printer, const std::function<void(QPrinter *)> &paint)
{
    const NormalCursor pointer;
    QPrintPreviewDialog dialog(&printer, parent());
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
        [&paint](QPrinter *target) { paint(target); });
    // Large enough to read a table, the page as wide as the window.
    const QScreen *screen = parent() ? parent()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        const QSize size = area.size() * previewShare;
        dialog.resize(size);
        dialog.move(area.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    if (auto *fitWidth = dialog.findChild<QAction *>(QStringLiteral("fitWidthAction")))
        fitWidth->trigger();
    dialog.exec();
}
