#pragma once

#include "table/data_source.h"
#include "table/page_setup.h"

#include <QDate>
#include <QDialog>
#include <QStringList>

#include <vector>

class Grid;
class Prompts;
class QAbstractSpinBox;
class QComboBox;
class QLabel;
class QPushButton;
class RecordStore;
class RowHeightSpinner;

// What the print window keeps for the whole run, owned by the caller: the
// page setup of the printable table (written into the table after every
// change and read back from it) and the step counters of the alignment and
// date-format buttons.
struct PrintSetupState
{
    PageSetup pageSetup;
    int alignmentStep = 0;
    int dateFormatStep = 0; // starts afresh with every table
};

// The print window of the table editor: the printable table (PrintableTable)
// in the grid 表格1 over the table 数据源1, and above it one band of controls
// to adjust it before printing: title font and size, body font, row height and
// body font size, alignment of the data rows, the format of a date column,
// the page-number position and the zoom of the view; then preview or print.
//
// Not modal: shown by the table editor's "&C.生成打印表格" over the editor, its
// parent, and kept above other windows until it opens the preview, a message
// or a dialog (which must not open behind it). "退 出" turns page numbers off for the next table,
// then closes; the close box only closes. Closing hides the window; the owner deletes it or sets
// Qt::WA_DeleteOnClose.
//
// The drop-down lists act when the user picks an entry, not when code shows
// one. The user drags the borders between the field names to change column
// widths (or double-clicks one to fit its column); a change of the column
// widths (whatever makes it) turns the page and centres the table again
// (PrintableTable::relayout()).
class PrintSetupWindow : public QDialog
{
    Q_OBJECT

public:
    PrintSetupWindow(PrintSetupState &state, Prompts &prompts, QWidget *parent = nullptr);
    ~PrintSetupWindow() override;

    static QStringList fontNames();
    static QStringList pageNumberPositions();
    static QStringList titleSizes();
    static QString dateColumnMessage()
    {
        return QStringLiteral("请先选择需要调整日期格式的日期列,光标放在该列的任一行即可");
    }
    static QString buildFailedMessage() { return QStringLiteral("无法生成打印表格："); }

    DataSource &table() { return table_; }
    Grid *grid() const { return grid_; }

    // Rebuilds the printable table from the query file as the editor shows
    // it and shows it (PrintableTable::build(), then showTable()); the
    // date-format cycle starts afresh. When the file cannot be read the user
    // is told why (buildFailedMessage() and the reason), the window stays
    // hidden and the result is false.
    bool generate(
        RecordStore &store, const QString &queryFile, const DataSource &editor, const QDate &today);
    // Shows the table built into table(): the controls show its title size,
    // title font, body font and page-number position, the grid is bound with
    // the cursor on (1, 1), and the window appears in front, staying above
    // other windows.
    void showTable();

    // Prints into this PDF file instead of a printer (the dialogs are still
    // asked); for tests.
    void setPdfOutput(const QString &path) { pdfOutput_ = path; }

    // --- The controls ---------------------------------------------------------

    QPushButton *dateFormatButton() const { return dateFormatButton_; }
    QPushButton *alignmentButton() const { return alignmentButton_; }
    // The row-height spinner: its down arrow lowers, its up arrow raises.
    QAbstractSpinBox *rowHeightSpinner() const;
    QComboBox *bodyFontBox() const { return bodyFontBox_; }
    QPushButton *moreFontsButton() const { return moreFontsButton_; }
    QComboBox *pageNumberBox() const { return pageNumberBox_; }
    QPushButton *zoomOutButton() const { return zoomOutButton_; }
    QPushButton *zoomInButton() const { return zoomInButton_; }
    QComboBox *titleSizeBox() const { return titleSizeBox_; }
    QComboBox *titleFontBox() const { return titleFontBox_; }
    QPushButton *previewButton() const { return previewButton_; }
    QPushButton *exitButton() const { return exitButton_; }
    QPushButton *printButton() const { return printButton_; }

    // --- The commands ---------------------------------------------------------

    void setTitleFont(const QString &name);
    // Title at `size`, rows 2 and 3 at size − 45.
    void setTitleSize(int size);
    // Every row from row 2 on.
    void setBodyFont(const QString &name);
    void chooseMoreFonts();
    // Height and font size of the rows from row 4 on, 5 at a time.
    void changeRowHeight(bool smaller);
    void cycleAlignment();
    void cycleDateFormat();
    void setPageNumberPosition(int position);
    void zoomIn();
    void zoomOut();
    void preview();
    void print();
    void exit();

    // The caption of the alignment button: the alignment its next click gives.
    static QString alignmentCaption(int step);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    void placeControls();
    void applyPageSetup(const PageSetup &setup);
    void setKeptOnTop(bool onTop);
    void showCombo(QComboBox *box, const QString &text);
    void onLayoutChanged();
    std::vector<int> columnWidths() const;

    PrintSetupState &state_;
    Prompts &prompts_;
    DataSource table_;
    QString pdfOutput_;
    bool shown_ = false; // the table is complete and on screen
    std::vector<int> knownWidths_;

    QWidget *band_ = nullptr;
    Grid *grid_ = nullptr;
    QPushButton *dateFormatButton_ = nullptr;
    QPushButton *alignmentButton_ = nullptr;
    RowHeightSpinner *rowHeightSpinner_ = nullptr;
    QComboBox *bodyFontBox_ = nullptr;
    QPushButton *moreFontsButton_ = nullptr;
    QComboBox *pageNumberBox_ = nullptr;
    QPushButton *zoomOutButton_ = nullptr;
    QPushButton *zoomInButton_ = nullptr;
    QComboBox *titleSizeBox_ = nullptr;
    QComboBox *titleFontBox_ = nullptr;
    QPushButton *previewButton_ = nullptr;
    QPushButton *exitButton_ = nullptr;
    QPushButton *printButton_ = nullptr;
};
