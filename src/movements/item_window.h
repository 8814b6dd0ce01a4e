#pragma once

#include <QDialog>

#include <array>
#include <optional>

class Clock;
class Prompts;
class QLineEdit;
class QPushButton;
class RecordStore;
struct AppState;
struct ReceiptInput;

// Shows one stock item in seven boxes (编辑框1 … 编辑框7: 品名, 规格型号, 单位,
// 单价, 数量, 金额, 报警数量), steps through the stock file (按钮3 "上一项",
// 按钮4 "下一项"), deletes the item shown (按钮2 "删除") and books a goods
// receipt or adds a new item (按钮1 "添  加").
//
// Opens on the stock-list row under the cursor (of twins of one key, that
// one) and holds the stock file open under "data" until it closes. A delete
// asks first, then backs up the whole stock file into 备份数据库 (never over
// an earlier backup) and says where. 添  加 books nothing without a 品名 or
// from a number box that is not wholly a number, and books on the record
// shown while the boxes hold its key. 金额 follows 单价 × 数量 as either box
// changes, also while an item is being shown, in number text (which keeps the cents).
//
// A receipt is booked once per intention. Before booking, one Yes/No question
// (No books nothing) gathers what the user may not mean: a key that makes a
// new item, a 数量 that is still the shown item's whole stock (not typed), a
// negative 数量 or 金额 and the stock it leaves. After a booking the boxes
// show the record as stored (its stock quantity, average price and stock
// value in 金额) and 添  加 stays disabled until a box differs from what was
// shown then, or another item is shown. Geometry: window 1 of WindowGeometry
// (keys ck1z … ck1g).
class ItemWindow : public QDialog
{
    Q_OBJECT

public:
    enum Box { Name, Spec, Unit, UnitPrice, Quantity, Amount, Alarm, BoxCount };

    ItemWindow(AppState &state, RecordStore &store, Prompts &prompts, Clock &clock,
        QWidget *parent = nullptr);
    ~ItemWindow() override;

    static QString title() { return QStringLiteral("澄州禾岭供电有限责任公司材料出库单系统"); }

    QLineEdit *box(Box which) const { return boxes_[which]; }
    QPushButton *addButton() const { return addButton_; }
    QPushButton *deleteButton() const { return deleteButton_; }
    QPushButton *previousButton() const { return previousButton_; }
    QPushButton *nextButton() const { return nextButton_; }

    // The buttons' clicks.
    void receive();
    void deleteShown();
    void showPrevious();
    void showNext();

private:
    void buildControls();
    // Makes the stock file current again; says so when it cannot be opened.
    bool selectStock();
    void showCurrent();
    // Shows the record just booked, as stored, and holds 添  加 until a box
    // is changed.
    void showBooked(qint64 recordId);
    void recomputeAmount();
    void updateAddButton();
    std::array<QString, BoxCount> texts() const;
    // The receipt's doubts put to the user; true when there are none or the
    // user says Yes.
    bool confirmed(const ReceiptInput &input);
    // Moves to the selected item's record; false when the key has none.
    bool goToSelected();
    // The safety backup of the whole stock file, its path into `backup`;
    // false (and said) when it failed.
    bool backUpBeforeDelete(int recordNumber, QString *backup);

    AppState &state_;
    RecordStore &store_;
    Prompts &prompts_;
    Clock &clock_;
    std::array<QLineEdit *, BoxCount> boxes_ {};
    QPushButton *addButton_ = nullptr;
    QPushButton *deleteButton_ = nullptr;
    QPushButton *previousButton_ = nullptr;
    QPushButton *nextButton_ = nullptr;
    qint64 shownId_ = 0; // the record last shown, for the receipt
    QString shownName_; // its key
    QString shownSpec_;
    // The stock quantity put into 数量 when the record was shown; null once
    // the user has typed into the box, or when no record is shown.
    QString stockQuantityText_;
    // The boxes as shown after a booking; while they are unchanged the same
    // receipt is not booked again.
    std::optional<std::array<QString, BoxCount>> bookedTexts_;
};
