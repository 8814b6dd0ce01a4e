#include "tableeditor/print_setup_window.h"

#include "common/gbk.h"
#include "common/prompts.h"
#include "grid/grid.h"
#include "grid/grid_printing.h"
#include "tableeditor/printable_table.h"
#include "ui/dialog_look.h"
#include "ui/wait_cursor.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <functional>

// The row-height spinner: two arrows and no number. The down arrow makes the
// data rows lower and their text smaller, the up arrow higher and larger.
class RowHeightSpinner : public QAbstractSpinBox
{
public:
    explicit RowHeightSpinner(QWidget *parent)
        : QAbstractSpinBox(parent)
    {
        lineEdit()->setReadOnly(true);
        setButtonSymbols(UpDownArrows);
        setFixedWidth(24);
    }

    std::function<void(bool smaller)> onStep;

    void stepBy(int steps) override
    {
        for (int i = 0; i < std::abs(steps) && onStep; ++i)
            onStep(steps < 0);
    }

protected:
    StepEnabled stepEnabled() const override { return StepUpEnabled | StepDownEnabled; }
};

namespace {

// The band of controls above the grid, and the grid's distance from the
// window's sides.
constexpr int bandHeight = 27;
constexpr int sideGap = 35;
constexpr int bandGap = 4;
constexpr int bottomGap = 3;
// Lows for the row-height spinner: rows and text never vanish.
constexpr int minimumRowHeight = 5;
constexpr int minimumFontSize = 5;
constexpr int rowHeightStep = 5;
constexpr int zoomStep = 10;
constexpr int titleToBodySize = 45;

} // namespace

PrintSetupWindow::PrintSetupWindow(PrintSetupState &state, Prompts &prompts, QWidget *parent)
    : QDialog(parent)
    , state_(state)
    , prompts_(prompts)
{
    // The window has no caption: the table's title says what it shows.
    DialogLook::apply(this, QStringLiteral("PrintSetupWindow"), QString(), 9);
    setAccessibleName(QStringLiteral("打印表格"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setModal(false);
    table_.setObjectName(QStringLiteral("数据源1"));
    table_.setPageSetup(state_.pageSetup);
    buildControls();
    connect(&table_, &DataSource::layoutReset, this, &PrintSetupWindow::onLayoutChanged);
}

PrintSetupWindow::~PrintSetupWindow()
{
    // The grid goes before the table it shows.
    delete grid_;
}

QStringList PrintSetupWindow::fontNames()
{
    return {QStringLiteral("仿宋_GB2312"), QStringLiteral("楷体_GB2312"), QStringLiteral("黑体"),
        QStringLiteral("华文新魏"), QStringLiteral("华文行楷"), QStringLiteral("宋体"),
        QStringLiteral("隶书")};
}

QStringList PrintSetupWindow::pageNumberPositions()
{
    return {QStringLiteral("无页号"), QStringLiteral("上左"), QStringLiteral("上中"),
        QStringLiteral("上右"), QStringLiteral("下左"), QStringLiteral("下中"),
        QStringLiteral("下右")};
}

QStringList PrintSetupWindow::titleSizes()
{
    QStringList sizes;
    for (int size = 100; size >= 55; size -= 5)
        sizes << QString::number(size);
    return sizes;
}

QString PrintSetupWindow::alignmentCaption(int step)
{
    switch (PrintableTable::alignmentForStep(step + 1)) {
    case CellFormat::MiddleRight:
        return QStringLiteral("右对齐");
    case CellFormat::Centre:
        return QStringLiteral("中对齐");
    default:
        return QStringLiteral("左对齐");
    }
}

QAbstractSpinBox *PrintSetupWindow::rowHeightSpinner() const
{
    return rowHeightSpinner_;
}

void PrintSetupWindow::buildControls()
{
    band_ = new QWidget(this);
    auto *band = new QHBoxLayout(band_);
    band->setContentsMargins(0, 2, 0, 2);
    band->setSpacing(4);

    int buttonNumber = 0;
    const auto button = [&](const QString &caption, void (PrintSetupWindow::*command)()) {
        QPushButton *b = DialogLook::button(band_, ++buttonNumber, caption, {});
        // The band is one line: on a small screen the buttons narrow down to
        // their captions.
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(caption) + 16);
        connect(b, &QPushButton::clicked, this, command);
        band->addWidget(b);
        return b;
    };
    int labelNumber = 0;
    const auto label = [&](const QString &caption, QWidget *buddy) {
        auto *l = new QLabel(caption, band_);
        l->setObjectName(QStringLiteral("标签%1").arg(++labelNumber));
        l->setBuddy(buddy);
        buddy->setAccessibleName(caption);
        band->addWidget(l);
        band->addWidget(buddy);
    };
    int boxNumber = 0;
    const auto comboBox = [&](const QStringList &items) {
        auto *box = new QComboBox(band_);
        box->setObjectName(QStringLiteral("组合框%1").arg(++boxNumber));
        box->addItems(items);
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        return box;
    };

    dateFormatButton_ = button(QStringLiteral("日期格式"), &PrintSetupWindow::cycleDateFormat);
    alignmentButton_
        = button(alignmentCaption(state_.alignmentStep), &PrintSetupWindow::cycleAlignment);

    rowHeightSpinner_ = new RowHeightSpinner(band_);
    rowHeightSpinner_->setObjectName(QStringLiteral("旋转按钮1"));
    rowHeightSpinner_->onStep = [this](bool smaller) {
        changeRowHeight(smaller);
    };
    label(QStringLiteral("行高"), rowHeightSpinner_);

    bodyFontBox_ = comboBox(fontNames());
    connect(bodyFontBox_, &QComboBox::activated, this,
        [this] { setBodyFont(bodyFontBox_->currentText()); });
    label(QStringLiteral("正文字体"), bodyFontBox_);
    moreFontsButton_ = button(QStringLiteral("更多字体"), &PrintSetupWindow::chooseMoreFonts);

    pageNumberBox_ = comboBox(pageNumberPositions());
    connect(pageNumberBox_, &QComboBox::activated, this,
        [this](int index) { setPageNumberPosition(index); });
    label(QStringLiteral("页号位置"), pageNumberBox_);

    zoomOutButton_ = button(QStringLiteral("－缩小"), &PrintSetupWindow::zoomOut);
    zoomInButton_ = button(QStringLiteral("＋放大"), &PrintSetupWindow::zoomIn);

    titleSizeBox_ = comboBox(titleSizes());
    connect(titleSizeBox_, &QComboBox::activated, this,
        [this] { setTitleSize(titleSizeBox_->currentText().toInt()); });
    label(QStringLiteral("标题字尺寸"), titleSizeBox_);
    titleFontBox_ = comboBox(fontNames());
    connect(titleFontBox_, &QComboBox::activated, this,
        [this] { setTitleFont(titleFontBox_->currentText()); });
    label(QStringLiteral("标题字体"), titleFontBox_);

    previewButton_ = button(QStringLiteral("打印预览"), &PrintSetupWindow::preview);
    exitButton_ = button(QStringLiteral("退 出"), &PrintSetupWindow::exit);
    printButton_ = button(QStringLiteral("打 印"), &PrintSetupWindow::print);
    band->addStretch(1);

    grid_ = new Grid(this);
    grid_->setObjectName(QStringLiteral("表格1"));
    grid_->setAccessibleName(QStringLiteral("打印表格"));
    grid_->setDataSource(&table_);
    // The user shapes the table for the paper; the page follows the widths.
    grid_->setColumnsResizable(true);
    grid_->unbind(); // bound once a table has been built
    setTabOrder(printButton_, grid_);
    placeControls();
}

void PrintSetupWindow::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeControls();
}

void PrintSetupWindow::placeControls()
{
    // The band may use the whole width: on small screens it needs it.
    band_->setGeometry(bandGap, 0, std::max(width() - 2 * bandGap, 0), bandHeight);
    grid_->setGeometry(sideGap, bandHeight, std::max(width() - 2 * sideGap, 0),
        std::max(height() - bandHeight - bottomGap, 0));
}

// --- Showing the table --------------------------------------------------------------

bool PrintSetupWindow::generate(
    RecordStore &store, const QString &queryFile, const DataSource &editor, const QDate &today)
{
    shown_ = false;
    grid_->unbind();
    const Status built = PrintableTable::build(table_, store, queryFile, editor, today);
    if (!built) {
        hide();
        prompts_.message(buildFailedMessage() + built.message());
        return false;
    }
    // The date-format cycle starts at the form the table is built in.
    state_.dateFormatStep = 0;
    showTable();
    return true;
}

void PrintSetupWindow::showTable()
{
    state_.pageSetup = table_.pageSetup();
    showCombo(titleSizeBox_, QString::number(table_.fontSize(1, 1)));
    showCombo(titleFontBox_, table_.fontName(1, 1));
    showCombo(bodyFontBox_, table_.fontName(PrintableTable::firstDataRow, 1));
    pageNumberBox_->setCurrentIndex(
        std::clamp(state_.pageSetup.pageNumberPosition, 0, pageNumberBox_->count() - 1));
    alignmentButton_->setText(alignmentCaption(state_.alignmentStep));

    const QScreen *screen
        = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        setGeometry(area.x(), area.y(), area.width(), std::max(area.height() - 30, 200));
    }
    grid_->bind();
    grid_->setCursorCell(1, 1);
    knownWidths_ = columnWidths();
    shown_ = true;
    setKeptOnTop(true);
    show();
    raise();
    activateWindow();
}

void PrintSetupWindow::showCombo(QComboBox *box, const QString &text)
{
    int index = box->findText(text);
    if (index < 0 && box != titleSizeBox_ && !text.isEmpty()) {
        box->addItem(text);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

void PrintSetupWindow::setKeptOnTop(bool onTop)
{
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
        return;
    // Changing a flag hides the window; show it again where it was.
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (visible)
        show();
}

void PrintSetupWindow::applyPageSetup(const PageSetup &setup)
{
    table_.setPageSetup(setup);
    state_.pageSetup = setup;
}

std::vector<int> PrintSetupWindow::columnWidths() const
{
    std::vector<int> widths;
    widths.reserve(size_t(table_.columnCount()));
    for (int column = 1; column <= table_.columnCount(); ++column)
        widths.push_back(table_.columnWidth(column));
    return widths;
}

void PrintSetupWindow::onLayoutChanged()
{
    // While a table is being built its widths change all the time; the
    // build sets up the page itself.
    if (!shown_)
        return;
    std::vector<int> widths = columnWidths();
    if (widths == knownWidths_)
        return;
    knownWidths_ = std::move(widths);
    PrintableTable::relayout(table_);
    state_.pageSetup = table_.pageSetup();
}

// --- Commands -------------------------------------------------------------------

void PrintSetupWindow::setTitleFont(const QString &name)
{
    table_.setFontName({1, 1, 1, 1}, name);
}

void PrintSetupWindow::setTitleSize(int size)
{
    table_.setFontSize({1, 1, 1, 1}, size);
    table_.setFontSize({2, 1, 2, table_.columnCount()}, size - titleToBodySize);
}

void PrintSetupWindow::setBodyFont(const QString &name)
{
    table_.setFontName({2, 1, table_.rowCount(), table_.columnCount()}, name);
}

void PrintSetupWindow::chooseMoreFonts()
{
    setKeptOnTop(false);
    const std::optional<FontChoice> font = prompts_.chooseFont(table_.fontName(1, 1), 0);
    if (!font)
        return;
    const QString name = Gbk::firstBytes(font->family, CellFormat::maxFontNameBytes);
    if (name.isEmpty())
        return;
    for (QComboBox *box : {bodyFontBox_, titleFontBox_}) {
        if (box->findText(name) < 0)
            box->addItem(name);
    }
    titleFontBox_->setCurrentIndex(titleFontBox_->findText(name));
    setTitleFont(name);
}

void PrintSetupWindow::changeRowHeight(bool smaller)
{
    const int first = PrintableTable::firstDataRow;
    const int rows = table_.rowCount() - first + 1;
    if (rows <= 0)
        return;
    const int change = smaller ? -rowHeightStep : rowHeightStep;
    const int height = std::max(table_.rowHeight(first) + change, minimumRowHeight);
    const int size = std::max(table_.fontSize(first, 1) + change, minimumFontSize);
    table_.setRowHeights(first, rows, height);
    table_.setFontSize({first, 1, rows, table_.columnCount()}, size);
}

void PrintSetupWindow::cycleAlignment()
{
    ++state_.alignmentStep;
    // The data rows only: the footer keeps its own alignment.
    const int first = PrintableTable::firstDataRow;
    table_.setAlignment({first, 1, table_.rowCount() - first, table_.columnCount()},
        PrintableTable::alignmentForStep(state_.alignmentStep));
    alignmentButton_->setText(alignmentCaption(state_.alignmentStep));
}

void PrintSetupWindow::cycleDateFormat()
{
    ++state_.dateFormatStep;
    const int column = grid_->cursorColumn();
    if (!table_.text(PrintableTable::headerRows, column).contains(u'日')) {
        setKeptOnTop(false);
        prompts_.message(dateColumnMessage());
        state_.dateFormatStep = 0;
        return;
    }
    // Unbound, a long column is rewritten without drawing every cell.
    grid_->unbind();
    for (int row = PrintableTable::firstDataRow; row <= table_.rowCount(); ++row) {
        table_.setText(row, column,
            PrintableTable::dateFormatForStep(table_.text(row, column), state_.dateFormatStep));
    }
    grid_->bind();
    grid_->setCursorCell(PrintableTable::headerRows, column);
}

void PrintSetupWindow::setPageNumberPosition(int position)
{
    PageSetup setup = table_.pageSetup();
    setup.pageNumberPosition = position;
    applyPageSetup(setup);
    if (pageNumberBox_->currentIndex() != position)
        pageNumberBox_->setCurrentIndex(position);
}

void PrintSetupWindow::zoomIn()
{
    grid_->setZoom(grid_->zoom() + zoomStep);
}

void PrintSetupWindow::zoomOut()
{
    grid_->setZoom(grid_->zoom() - zoomStep);
}

void PrintSetupWindow::preview()
{
    grid_->commitEdit();
    setKeptOnTop(false);
    GridPrinting::preview(table_, prompts_, pdfOutput_);
}

void PrintSetupWindow::print()
{
    grid_->commitEdit();
    setKeptOnTop(false);
    const WaitCursor busy;
    const Status printed = GridPrinting::print(table_, prompts_, pdfOutput_);
    if (!printed)
        prompts_.message(printed.message());
}

void PrintSetupWindow::exit()
{
    // The next table gets page numbers again only when it needs more than
    // one page.
    setPageNumberPosition(PageSetup::NoPageNumber);
    close();
}
