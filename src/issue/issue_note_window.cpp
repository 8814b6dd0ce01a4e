#include "issue/issue_note_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "common/ini_file.h"
#include "common/prompts.h"
#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "grid/grid.h"
#include "grid/grid_printing.h"
#include "issue/goods_issue.h"
#include "issue/issue_note.h"
#include "issue/issue_parameters.h"
#include "table/selection_sum.h"
#include "ui/dialog_look.h"
#include "ui/wait_cursor.h"
#include "ui/window_geometry.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

IssueNoteWindow::IssueNoteWindow(
    AppState &state, RecordStore &store, Prompts &prompts, Clock &clock, QWidget *parent)
    : QDialog(parent)
    , state_(state)
    , store_(store)
    , prompts_(prompts)
    , clock_(clock)
{
    DialogLook::apply(this, QStringLiteral("IssueNoteWindow"), title(), 10);
    note_.setObjectName(QStringLiteral("数据源1"));
    buildControls();
    // One reading of config.ini for the window's place and the parameters.
    const IniFile config(state.path(QStringLiteral("config.ini")));
    const IniFile::Contents contents = config.load();
    WindowGeometry::attach(this, config, WindowGeometry::issueNoteWindow, contents);

    picked_ = state.issueLines.mid(0, AppState::maxIssueLines);
    IssueNoteLayout::build(note_, IssueParameters::load(contents), picked_, clock.now().date());
    note_.setPageSetup(
        IssueNoteLayout::loadPageSetup(IniFile(state.path(QStringLiteral("peizi.ini")))));
    grid_->bind();
    grid_->setCursorCell(IssueNoteLayout::rows, IssueNoteLayout::columns);
    state.issueLines.clear();
    state.pickedRows.clear();
    // Enter books (after its questions), never prints a note not booked.
    issueButton_->setDefault(true);
    issueButton_->setFocus();
}

IssueNoteWindow::~IssueNoteWindow()
{
    // The grid goes before the note it shows.
    delete grid_;
}

void IssueNoteWindow::buildControls()
{
    grid_ = new Grid(this);
    grid_->setObjectName(QStringLiteral("表格1"));
    grid_->setAccessibleName(QStringLiteral("出库单"));
    grid_->setGeometry(9, 8, 767, 496);
    grid_->setDataSource(&note_);
    grid_->unbind(); // bound again once the note is laid out
    connect(grid_, &Grid::cellChanged, this,
        [this](int row, int column) { IssueNoteLayout::recompute(note_, row, column); });
    connect(grid_, &Grid::selectionChangedByUser, this, &IssueNoteWindow::showSelectionSum);
    grid_->installEventFilter(this);

    pageSetupButton_ = DialogLook::button(this, 1, QStringLiteral("打印设置"), {256, 509, 88, 40});
    previewButton_ = DialogLook::button(this, 3, QStringLiteral("打印预览"), {344, 509, 88, 40});
    printButton_ = DialogLook::button(this, 2, QStringLiteral("打印"), {448, 510, 96, 40});
    issueButton_ = DialogLook::button(this, 4, QStringLiteral("出库"), {544, 510, 96, 40});
    connect(pageSetupButton_, &QPushButton::clicked, this, &IssueNoteWindow::editPageSetup);
    connect(previewButton_, &QPushButton::clicked, this, &IssueNoteWindow::preview);
    connect(printButton_, &QPushButton::clicked, this, &IssueNoteWindow::print);
    connect(issueButton_, &QPushButton::clicked, this, &IssueNoteWindow::issue);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("出库状态"));
    status_->setGeometry(9, 556, 767, 30);
    status_->setAlignment(Qt::AlignCenter);
    status_->setAccessibleName(QStringLiteral("出库状态"));

    setTabOrder(grid_, pageSetupButton_);
    setTabOrder(pageSetupButton_, previewButton_);
    setTabOrder(previewButton_, printButton_);
    setTabOrder(printButton_, issueButton_);
}

bool IssueNoteWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the grid goes to the next row, as in a spreadsheet: passed on,
    // it would press the default button (book the note) while the user is
    // only going through the quantities.
    if (watched == grid_ && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && !(key->modifiers() & ~Qt::KeypadModifier)) {
            if (grid_->hasFocus())
                grid_->setCursorCell(
                    std::min(grid_->cursorRow() + 1, IssueNoteLayout::rows), grid_->cursorColumn());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void IssueNoteWindow::showSelectionSum()
{
    grid_->setToolTipFont(selectionSumFontFamily(), selectionSumFontPointSize());
    grid_->setToolTipText(selectionSumText(note_, grid_->selectedBlock()));
}

void IssueNoteWindow::editPageSetup()
{
    grid_->commitEdit();
    GridPrinting::editPageSetup(note_, prompts_, pdfOutput_);
}

void IssueNoteWindow::preview()
{
    grid_->commitEdit();
    GridPrinting::preview(note_, prompts_, pdfOutput_);
}

void IssueNoteWindow::print()
{
    QString why;
    if (!printNote(&why) && !why.isEmpty())
        prompts_.message(why);
}

bool IssueNoteWindow::printNote(QString *why)
{
    grid_->commitEdit();
    const WaitCursor busy;
    bool printed = false;
    const Status s = GridPrinting::print(note_, prompts_, pdfOutput_, &printed);
    if (!s)
        *why = s.message();
    return printed;
}

bool IssueNoteWindow::confirm(const IssueCheck &check)
{
    if (!check.status) {
        prompts_.message(QStringLiteral("出库失败，库存数据未改变：") + check.status.message());
        return false;
    }
    if (!check.problems.isEmpty()) {
        // Booked whole or not at all: the user corrects the note first.
        prompts_.message(QStringLiteral("出库单有以下问题，没有记账，也没有打印：\n")
            + check.problems.join(u'\n') + QStringLiteral("\n请改正出库单后再按“出库”。"));
        return false;
    }
    if (check.bookings.isEmpty()) {
        prompts_.message(emptyNoteMessage());
        return false;
    }
    const QString question = issueQuestion(check);
    if (!question.isEmpty() && !prompts_.askYesNo(question, title())) {
        status_->setText(QStringLiteral("没有出库：出库单未记账，也没有打印。"));
        return false;
    }
    return true;
}

void IssueNoteWindow::issue()
{
    if (!bookedSummary_.isEmpty())
        return; // a note is booked once
    grid_->commitEdit();
    const IssueNote note = IssueNote::fromGrid(note_, picked_);
    const QString stockPath = StockFile::stockPath(state_.programDir);
    RecordFile *stock = nullptr;
    IssueCheck check;
    check.status = store_.openOrSelect(stockPath, Stock::alias(), &stock);
    if (check.status)
        check = checkIssue(*stock, note);
    if (!confirm(check))
        return;
    const WaitCursor busy;
    QString backupProblem;
    QString diskProblem;
    // Open still, unless a window closed it while the question was asked.
    Status s = store_.openOrSelect(stockPath, Stock::alias(), &stock);
    // The booking checks the note again inside its transaction.
    if (s)
        s = bookIssue(*stock, state_.programDir, note, clock_.now(), &backupProblem, &diskProblem);
    if (!s) {
        // Nothing was booked: the note must not leave the house on paper.
        prompts_.message(QStringLiteral("出库失败，库存数据未改变：") + s.message());
        return;
    }
    booked(check);
    // A printed note needs no words; one that is not must not pass unnoticed.
    QString why;
    if (!printNote(&why))
        prompts_.message(why.isEmpty() ? notPrintedMessage() : notPrintedMessage() + u'\n' + why);
    if (!diskProblem.isEmpty())
        prompts_.message(StockFile::bookedDespiteDiskMessage(QStringLiteral("出库"), diskProblem));
    if (!backupProblem.isEmpty())
        prompts_.message(
            QStringLiteral("出库已记账，但出库备份暂未存好，下次启动程序时补存：") + backupProblem);
}

void IssueNoteWindow::booked(const IssueCheck &check)
{
    bookedSummary_ = QStringLiteral("出库已记账：%1 行物资，金额合计 %2")
                         .arg(check.bookings.size())
                         .arg(amountText(check.bookedAmount()));
    status_->setText(bookedSummary_ + QStringLiteral("。可按“打印”补打。"));
    // The note on paper is the note booked: the numbers booked, no second
    // booking, no edits.
    showBooked(note_, check);
    issueButton_->setEnabled(false);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    printButton_->setDefault(true);
    printButton_->setFocus();
}
