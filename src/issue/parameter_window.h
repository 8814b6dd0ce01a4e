#pragma once

#include "common/ini_file.h"
#include "issue/issue_parameters.h"

#include <QDialog>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Prompts;
struct AppState;

// Edits the ten issue-note parameters kept in config.ini: ten labelled edit
// boxes (编辑框1 … 编辑框10) in the group box 分组框1, the button 按钮1 "确定",
// which writes all ten, says so and closes the window, and the button 按钮2
// "取消", which closes it without writing (as Escape does). Enter anywhere
// presses "确定". Geometry: window 3 of WindowGeometry (keys ck3z … ck3g),
// sized to its form; a stored 600 × 550, the size every window 3 was given
// before, counts as never chosen.
//
// Opened modally with exec(); the values take effect on the next issue note
// that is laid out.
class ParameterWindow : public QDialog
{
    Q_OBJECT

public:
    ParameterWindow(AppState &state, Prompts &prompts, QWidget *parent = nullptr);

    static QString title() { return QStringLiteral("澄州禾岭供电有限责任公司材料出库单系统"); }
    static QString savedMessage() { return QStringLiteral("各项参数设置成功"); }

    // 编辑框1 … 编辑框10 by their number; nullptr outside 1 … 10.
    QLineEdit *edit(int number) const;
    QPushButton *okButton() const { return okButton_; }
    QPushButton *cancelButton() const { return cancelButton_; }
    // The texts of the ten boxes as they stand.
    IssueParameters parameters() const;

    // The click of "确定": writes all ten, then the message, then closes
    // (accepted). A write that fails is told and the window stays.
    void confirm();

private:
    void buildControls();
    void showParameters(const IssueParameters &parameters);

    IniFile config_;
    Prompts &prompts_;
    QGroupBox *group_ = nullptr;
    std::array<QLineEdit *, IssueParameters::count> edits_ {};
    QPushButton *okButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
};
