#include "movements/item_window.h"

#include "common/app_state.h"
#include "common/clock.h"
#include "common/ini_file.h"
#include "common/prompts.h"
#include "common/value_text.h"
#include "data/record_store.h"
#include "data/stock_file.h"
#include "data/stock_layout.h"
#include "movements/receipt.h"
#include "ui/dialog_look.h"
#include "ui/wait_cursor.h"
#include "ui/window_geometry.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

struct BoxPlace
{
    const char *caption;
    QRect label;
    QRect box;
};

// The designed places in the client area.
const std::array<BoxPlace, ItemWindow::BoxCount> places = {{
    {"品名", {50, 41, 140, 24}, {200, 41, 220, 24}},
    {"规格型号", {50, 88, 140, 24}, {200, 88, 220, 24}},
    {"单位", {50, 136, 140, 24}, {200, 136, 220, 24}},
    {"单价", {50, 183, 140, 24}, {200, 183, 220, 24}},
    {"数量", {50, 232, 140, 24}, {200, 232, 72, 24}},
    {"金额", {50, 280, 140, 24}, {200, 280, 220, 24}},
    {"报警数量", {280, 232, 72, 24}, {357, 232, 64, 24}},
}};

} // namespace

ItemWindow::ItemWindow(
    AppState &state, RecordStore &store, Prompts &prompts, Clock &clock, QWidget *parent)
    : QDialog(parent)
    , state_(state)
    , store_(store)
    , prompts_(prompts)
    , clock_(clock)
{
    DialogLook::apply(this, QStringLiteral("ItemWindow"), title(), 10);
    buildControls();
    WindowGeometry::attach(
        this, IniFile(state.path(QStringLiteral("config.ini"))), WindowGeometry::itemWindow);

    boxes_[Name]->setText(state.selectedItem.name);
    boxes_[Spec]->setText(state.selectedItem.spec);
    if (selectStock() && goToSelected())
        showCurrent();
    else if (store_.failed())
        prompts_.message(QStringLiteral("无法读取库存数据：") + store_.lastError());
    // A window opened from the main window starts a new choice of lines.
    state.issueLines.clear();
    state.pickedRows.clear();
}

ItemWindow::~ItemWindow()
{
    store_.close(Stock::alias());
}

void ItemWindow::buildControls()
{
    for (int i = 0; i < BoxCount; ++i) {
        const QString caption = QString::fromUtf8(places[i].caption);
        auto *label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("标签%1").arg(i + 1));
        label->setGeometry(places[i].label);
        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("编辑框%1").arg(i + 1));
        box->setGeometry(places[i].box);
        box->setAccessibleName(caption);
        label->setBuddy(box);
        boxes_[i] = box;
    }
    // The amount follows the price and the quantity, also while an item is
    // being shown (price first, so the last value is that item's own).
    connect(boxes_[UnitPrice], &QLineEdit::textChanged, this, [this] {
        if (!boxes_[Quantity]->text().isEmpty())
            recomputeAmount();
    });
    connect(boxes_[Quantity], &QLineEdit::textChanged, this, [this] {
        if (!boxes_[UnitPrice]->text().isEmpty())
            recomputeAmount();
    });
    // A quantity the user typed is meant, even when it equals the stock.
    connect(boxes_[Quantity], &QLineEdit::textEdited, this, [this] { stockQuantityText_.clear(); });
    for (QLineEdit *box : boxes_)
        connect(box, &QLineEdit::textChanged, this, &ItemWindow::updateAddButton);

    addButton_ = DialogLook::button(this, 1, QStringLiteral("添  加"), {225, 344, 96, 40});
    deleteButton_ = DialogLook::button(this, 2, QStringLiteral("删除"), {81, 345, 87, 37});
    previousButton_ = DialogLook::button(this, 3, QStringLiteral("上一项"), {345, 352, 52, 24});
    nextButton_ = DialogLook::button(this, 4, QStringLiteral("下一项"), {397, 352, 52, 24});
    connect(addButton_, &QPushButton::clicked, this, &ItemWindow::receive);
    connect(deleteButton_, &QPushButton::clicked, this, &ItemWindow::deleteShown);
    connect(previousButton_, &QPushButton::clicked, this, &ItemWindow::showPrevious);
    connect(nextButton_, &QPushButton::clicked, this, &ItemWindow::showNext);

    // Tab goes down the boxes as they stand: 报警数量 shares the row of 数量,
    // 金额 lies below both.
    const std::array<Box, BoxCount> onScreen {Name, Spec, Unit, UnitPrice, Quantity, Alarm, Amount};
    for (int i = 0; i + 1 < BoxCount; ++i)
        setTabOrder(boxes_[onScreen[i]], boxes_[onScreen[i + 1]]);
    setTabOrder(boxes_[Amount], addButton_);
    setTabOrder(addButton_, deleteButton_);
    setTabOrder(deleteButton_, previousButton_);
    setTabOrder(previousButton_, nextButton_);
}

bool ItemWindow::goToSelected()
{
    // The row under the list's cursor, which tells twins of one key apart,
    // while it still holds the key; else the first record of the key.
    const SelectedItem &item = state_.selectedItem;
    if (item.recordId != 0 && store_.goToId(item.recordId)
        && store_.readText(Stock::Name) == item.name && store_.readText(Stock::Spec) == item.spec)
        return true;
    return store_.findFirstEqual(Stock::Name, item.name, Stock::Spec, item.spec);
}

void ItemWindow::recomputeAmount()
{
    // Read as a receipt reads them: a box that is no number gives no amount.
    const std::optional<double> price = wholeNumber(boxes_[UnitPrice]->text());
    const std::optional<double> quantity = wholeNumber(boxes_[Quantity]->text());
    boxes_[Amount]->setText(price && quantity ? numberText(round2(*price * *quantity)) : QString());
}

std::array<QString, ItemWindow::BoxCount> ItemWindow::texts() const
{
    std::array<QString, BoxCount> result;
    for (int i = 0; i < BoxCount; ++i)
        result[i] = boxes_[i]->text();
    return result;
}

void ItemWindow::updateAddButton()
{
    if (!addButton_)
        return; // still being built
    const bool again = bookedTexts_ && *bookedTexts_ == texts();
    addButton_->setEnabled(!again);
    addButton_->setToolTip(again ? QStringLiteral("已入库。改动任一栏后才能再次添加") : QString());
}

void ItemWindow::showCurrent()
{
    boxes_[Name]->setText(store_.readText(Stock::Name));
    boxes_[Spec]->setText(store_.readText(Stock::Spec));
    boxes_[Unit]->setText(store_.readText(Stock::Unit));
    boxes_[UnitPrice]->setText(numberText(store_.readNumber(Stock::UnitPrice)));
    boxes_[Quantity]->setText(numberText(store_.readNumber(Stock::Quantity)));
    boxes_[Alarm]->setText(numberText(store_.readNumber(Stock::AlarmQuantity)));
    shownId_ = store_.recordId();
    const bool onRecord = !store_.atStart() && !store_.atEnd();
    shownName_ = onRecord ? boxes_[Name]->text() : QString();
    shownSpec_ = onRecord ? boxes_[Spec]->text() : QString();
    stockQuantityText_ = onRecord ? boxes_[Quantity]->text() : QString();
    // Equal texts raise no change signal: an amount typed for the previous
    // item must not stay for this one.
    recomputeAmount();
    // Another item shown is another intention.
    bookedTexts_.reset();
    updateAddButton();
}

void ItemWindow::showBooked(qint64 recordId)
{
    if (!selectStock() || !store_.goToId(recordId))
        return;
    showCurrent();
    // The stock value as the list shows it, not 单价 × 数量 of the average.
    boxes_[Amount]->setText(numberText(store_.readNumber(Stock::Amount)));
    bookedTexts_ = texts();
    updateAddButton();
}

bool ItemWindow::selectStock()
{
    if (store_.openOrSelect(state_.path(Stock::fileName()), Stock::alias()))
        return true;
    prompts_.message(QStringLiteral("无法打开库存数据文件：") + store_.lastError());
    return false;
}

void ItemWindow::showPrevious()
{
    if (!selectStock())
        return;
    if (store_.recordNumber() <= 1)
        previousButton_->setEnabled(false);
    nextButton_->setEnabled(true);
    store_.skip(-1);
    showCurrent();
}

void ItemWindow::showNext()
{
    if (!selectStock())
        return;
    if (store_.recordNumber() >= store_.recordCount())
        nextButton_->setEnabled(false);
    previousButton_->setEnabled(true);
    store_.skip(1);
    showCurrent();
}

bool ItemWindow::backUpBeforeDelete(int recordNumber, QString *backup)
{
    // The whole stock file is kept first, as before a clear: a restore brings
    // the item back.
    const WaitCursor busy;
    const Status saved = StockFile::safetyBackup(store_, state_.programDir, clock_.now(), backup);
    // The backup works on the same file: back to the item shown.
    const bool back = store_.openOrSelect(state_.path(Stock::fileName()), Stock::alias())
        && store_.goTo(recordNumber);
    if (saved && back)
        return true;
    prompts_.message(QStringLiteral("删除前的备份没有做成，项目未删除：")
        + (saved ? store_.lastError() : saved.message()));
    return false;
}

void ItemWindow::deleteShown()
{
    if (!selectStock())
        return;
    const int recordNumber = store_.recordNumber();
    if (store_.atEnd() || store_.atStart())
        return; // no item is shown: nothing to delete
    // The button sits beside 添  加: one slip must not remove an item.
    const QString question
        = QStringLiteral("确定删除项目 %1 %2 吗？它的库存数量是 %3 %4。")
              .arg(store_.readText(Stock::Name), store_.readText(Stock::Spec),
                  numberText(store_.readNumber(Stock::Quantity)), store_.readText(Stock::Unit));
    if (store_.failed()) {
        prompts_.message(QStringLiteral("无法读取库存数据：") + store_.lastError());
        return;
    }
    if (!prompts_.askYesNo(question, QStringLiteral("提醒询问：")))
        return;
    QString backup;
    if (!backUpBeforeDelete(recordNumber, &backup))
        return;
    {
        RecordStore::Transaction transaction(store_);
        const bool deleted = transaction.active() && store_.deleteRecord() && store_.purge();
        const Status committed
            = deleted ? transaction.commit() : Status::failure(store_.lastError());
        if (!committed) {
            prompts_.message(QStringLiteral("删除失败：") + committed.message());
            return;
        }
    }
    prompts_.message(QStringLiteral("项目已删除\n删除前的库存数据已备份在 备份数据库 文件夹的 %1")
                         .arg(QFileInfo(backup).fileName()));
    // Record 0, before the first, is a place too: the boxes show it empty.
    (void)store_.goTo(recordNumber - 1);
    showCurrent();
}

bool ItemWindow::confirmed(const ReceiptInput &input)
{
    ReceiptPreview preview;
    // The look-up moves the cursor; 上一项 and 下一项 go on from the item shown.
    const int place = store_.recordNumber();
    const Status read = previewReceipt(*store_.file(Stock::alias()), input, &preview);
    (void)store_.goTo(place);
    if (!read) {
        prompts_.message(QStringLiteral("无法读取库存数据，未入库：") + read.message());
        return false;
    }
    QStringList doubts = receiptDoubts(preview);
    // The quantity the window put there is the whole stock, proposed by no
    // one: booking it unread would double the stock.
    const QString quantity = boxes_[Quantity]->text();
    if (!stockQuantityText_.isNull() && quantity == stockQuantityText_
        && wholeNumber(quantity).value_or(0) != 0)
        doubts.insert(preview.newItem ? 1 : 0, wholeStockDoubt(shownName_, shownSpec_, quantity));
    return doubts.isEmpty()
        || prompts_.askYesNo(receiptQuestion(doubts), QStringLiteral("提醒询问："));
}

void ItemWindow::receive()
{
    // Booked already, and nothing changed since: the same entry again.
    if (!addButton_->isEnabled() || !selectStock())
        return;
    const ReceiptInput input {
        boxes_[Name]->text(),
        boxes_[Spec]->text(),
        boxes_[Unit]->text(),
        boxes_[UnitPrice]->text(),
        boxes_[Quantity]->text(),
        boxes_[Amount]->text(),
        boxes_[Alarm]->text(),
        shownId_,
    };
    // Nothing is booked from an empty 品名 or a box that is no number.
    if (const Status checked = checkReceipt(input); !checked) {
        prompts_.message(checked.message());
        return;
    }
    if (!confirmed(input))
        return;
    ReceiptOutcome outcome;
    // selectStock() has opened it.
    RecordFile &stock = *store_.file(Stock::alias());
    const Status s = bookReceipt(stock, state_.programDir, input, clock_.now(), &outcome);
    if (!s) {
        prompts_.message(QStringLiteral("入库失败，库存数据未改变：") + s.message());
        return;
    }
    // Behind the message the window already shows what was booked.
    showBooked(outcome.recordId);
    prompts_.message(outcome.diskProblem.isEmpty()
            ? QStringLiteral("添加成功返回主界面后刷新可显示")
            : StockFile::bookedDespiteDiskMessage(QStringLiteral("入库"), outcome.diskProblem));
    if (!outcome.backupProblem.isEmpty())
        prompts_.message(QStringLiteral("进库已记账，但进库备份暂未存好，下次启动程序时补存：")
            + outcome.backupProblem);
}
