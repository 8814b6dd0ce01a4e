#pragma once

#include "common/app_state.h"
#include "table/data_source.h"

#include <QDialog>
#include <QList>

class Clock;
class Grid;
class Prompts;
class QLabel;
class QPushButton;
class RecordStore;
struct IssueCheck;

// The issue note as it will be printed (表格1, 15 × 6), laid out from the
// lines picked in the stock list and the parameters in config.ini, with the
// page setup of peizi.ini. The user corrects quantities (amounts and the
// total follow), then 按钮4 "出库" (the default button) books the issue and
// prints the note; 按钮1 "打印设置", 按钮3 "打印预览" and 按钮2 "打印" print
// without booking, and until the note is booked its title says so
// (未记账). Enter in the grid moves to the next row. A note is booked once,
// whole: a line that matches no item or holds no number refuses the whole
// note, and one that takes an item to zero or below, exceeds its value or
// holds a negative number is asked about first. Once it is booked the note
// shows the numbers booked, 出库 is disabled and the note can no longer be
// edited, so a reprint is what was booked. The header and signature cells
// show each parameter beside its caption; an edit there keeps the caption.
// Geometry: window 2 of WindowGeometry (keys ck2z … ck2g).
//
// Consumes the picked lines: the lists of the application state are empty
// once the note is laid out.
class IssueNoteWindow : public QDialog
{
    Q_OBJECT

public:
    IssueNoteWindow(AppState &state, RecordStore &store, Prompts &prompts, Clock &clock,
        QWidget *parent = nullptr);
    ~IssueNoteWindow() override;

    static QString title() { return QStringLiteral("澄州禾岭供电有限责任公司材料出库单系统"); }
    // Said after "出库" when the note did not print (the print dialog was
    // cancelled, or printing failed: then the reason follows).
    static QString notPrintedMessage()
    {
        return QStringLiteral("出库已记账，但出库单没有打印。可按“打印”补打这张出库单。");
    }
    static QString emptyNoteMessage()
    {
        return QStringLiteral("出库单上没有要出库的物资，没有记账。");
    }

    // What the note booked, once it is booked ("" before): shown under the
    // buttons, and for the main window once this one is closed.
    QString bookedSummary() const { return bookedSummary_; }
    QLabel *statusLabel() const { return status_; }

    Grid *grid() const { return grid_; }
    DataSource &note() { return note_; }
    QPushButton *pageSetupButton() const { return pageSetupButton_; }
    QPushButton *printButton() const { return printButton_; }
    QPushButton *previewButton() const { return previewButton_; }
    QPushButton *issueButton() const { return issueButton_; }

    // Prints into this PDF file instead of a printer (tests, and "print to
    // file" set-ups).
    void setPdfOutput(const QString &path) { pdfOutput_ = path; }

    // The buttons' clicks.
    void editPageSetup();
    void preview();
    void print();
    void issue();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    // True when the note went to the printer; otherwise `why` holds the
    // reason when there is one (a cancel has none).
    bool printNote(QString *why);
    // Asks what must be asked before booking; false when nothing is to be
    // booked (and the user has been told why).
    bool confirm(const IssueCheck &check);
    void booked(const IssueCheck &check);
    void showSelectionSum();

    AppState &state_;
    RecordStore &store_;
    Prompts &prompts_;
    Clock &clock_;
    DataSource note_;
    Grid *grid_ = nullptr;
    QPushButton *pageSetupButton_ = nullptr;
    QPushButton *printButton_ = nullptr;
    QPushButton *previewButton_ = nullptr;
    QPushButton *issueButton_ = nullptr;
    QLabel *status_ = nullptr;
    QString pdfOutput_;
    // The lines the note was laid out from, by row: their records are booked.
    QList<IssueLine> picked_;
    QString bookedSummary_;
};
