#include "issue/parameter_window.h"

#include "common/app_state.h"
#include "common/prompts.h"
#include "ui/dialog_look.h"
#include "ui/window_geometry.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The designed places in the client area. The boxes stand in two columns of
// five; each label sits 5 pixels below the top of its box.
constexpr int boxWidth = 180, boxHeight = 32;
constexpr int labelWidth = 80, labelHeight = 24, labelDrop = 5;
constexpr std::array<int, 2> labelLeft {15, 291};
constexpr std::array<int, 2> boxLeft {100, 375};
constexpr std::array<int, IssueParameters::count> boxTop {
    19, 64, 110, 156, 205, 18, 62, 110, 156, 205};
const QRect groupPlace(8, 0, 560, 248);
// Side by side under the group box, around its middle.
const QRect okPlace(184, 256, 80, 40);
const QRect cancelPlace(312, 256, 80, 40);

// The size every window 3 got before it was fitted to its form, written back
// at its first opening: no one chose it, so it gives way to the new default.
void forgetFormerDefaultSize(IniFile &config)
{
    const WindowGeometry::Keys keys = WindowGeometry::keys(WindowGeometry::parameterWindow);
    const IniFile::Contents stored = config.load();
    if (stored.read(keys.width, keys.width).trimmed() != QStringLiteral("600")
        || stored.read(keys.height, keys.height).trimmed() != QStringLiteral("550"))
        return;
    // Settings only: when it cannot be written, the window is as large as before.
    (void)config.write({{keys.width, keys.width, QString::number(keys.defaults.width())},
        {keys.height, keys.height, QString::number(keys.defaults.height())}});
}

} // namespace

ParameterWindow::ParameterWindow(AppState &state, Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , config_(state.path(QStringLiteral("config.ini")))
    , prompts_(prompts)
{
    DialogLook::apply(this, QStringLiteral("ParameterWindow"), title(), 11);
    buildControls();
    forgetFormerDefaultSize(config_);
    // One reading of config.ini for the window's place and the parameters.
    const IniFile::Contents contents = config_.load();
    WindowGeometry::attach(this, config_, WindowGeometry::parameterWindow, contents);
    showParameters(IssueParameters::load(contents));
}

void ParameterWindow::buildControls()
{
    // The group box only frames the controls, which are children of the
    // window itself, so that they stretch with it; made first, it lies below
    // them.
    group_ = new QGroupBox(this);
    group_->setObjectName(QStringLiteral("分组框1"));
    group_->setAccessibleName(QStringLiteral("出库单参数"));
    group_->setGeometry(groupPlace);

    QWidget *previous = nullptr;
    const auto &fields = IssueParameters::fields();
    for (int i = 0; i < IssueParameters::count; ++i) {
        const int column = i / 5;
        const QString number = QString::number(i + 1);

        auto *label = new QLabel(fields[i].caption, this);
        label->setObjectName(QStringLiteral("标签") + number);
        label->setGeometry(labelLeft[column], boxTop[i] + labelDrop, labelWidth, labelHeight);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

        auto *box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("编辑框") + number);
        box->setGeometry(boxLeft[column], boxTop[i], boxWidth, boxHeight);
        box->setAccessibleName(fields[i].caption);
        label->setBuddy(box);
        edits_[i] = box;

        // Down the left column, then down the right one, as the boxes are
        // numbered.
        if (previous)
            setTabOrder(previous, box);
        previous = box;
    }

    okButton_ = DialogLook::button(this, 1, QStringLiteral("确定"), okPlace);
    okButton_->setDefault(true);
    setTabOrder(previous, okButton_);
    connect(okButton_, &QPushButton::clicked, this, &ParameterWindow::confirm);
    cancelButton_ = DialogLook::button(this, 2, QStringLiteral("取消"), cancelPlace);
    setTabOrder(okButton_, cancelButton_);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    edits_.front()->setFocus();
}

QLineEdit *ParameterWindow::edit(int number) const
{
    if (number < 1 || number > IssueParameters::count)
        return nullptr;
    return edits_[number - 1];
}

IssueParameters ParameterWindow::parameters() const
{
    IssueParameters parameters;
    const auto &fields = IssueParameters::fields();
    for (int i = 0; i < IssueParameters::count; ++i)
        parameters.*fields[i].value = edits_[i]->text();
    return parameters;
}

void ParameterWindow::showParameters(const IssueParameters &parameters)
{
    const auto &fields = IssueParameters::fields();
    for (int i = 0; i < IssueParameters::count; ++i)
        edits_[i]->setText(parameters.*fields[i].value);
}

void ParameterWindow::confirm()
{
    // Never "saved" for values that are not: the next note would lack them.
    if (const Status saved = parameters().save(config_); !saved) {
        prompts_.message(QStringLiteral("参数未能保存：") + saved.message());
        return;
    }
    prompts_.message(savedMessage());
    accept();
}
