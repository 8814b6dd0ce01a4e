#pragma once

#include <QDialog>

#include <array>

class Clock;
class Prompts;
class QLineEdit;
class QPushButton;
class RecordStore;
struct AppState;

// Shows one stock item in seven boxes (编辑框1 … 编辑框7: 品名, 规格型号, 单位,
// 单价, 数量, 金额, 报警数量), steps through the stock file (按钮3 "上一项",
// 按钮4 "下一项"), deletes the item shown (按钮2 "删除") and books a goods
// receipt or adds a new item (按钮1 "添  加").
//
// Opens on the item last clicked in the stock list and holds the stock file
// open under "data" until it closes. A delete asks nothing, but first backs up
// the whole stock file into 备份数据库 (never over an earlier backup). 金额 follows 单价 × 数量 as
// either box changes, also while an item is being shown. Geometry: window 1 of WindowGeometry (keys
// ck1z … ck1g).
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
    void recomputeAmount();
    // The safety backup of the whole stock file; false (and said) when it failed.
    bool backUpBeforeDelete(int recordNumber);

    AppState &state_;
    RecordStore &store_;
    Prompts &prompts_;
    Clock &clock_;
    std::array<QLineEdit *, BoxCount> boxes_ {};
    QPushButton *addButton_ = nullptr;
    QPushButton *deleteButton_ = nullptr;
    QPushButton *previousButton_ = nullptr;
    QPushButton *nextButton_ = nullptr;
};
