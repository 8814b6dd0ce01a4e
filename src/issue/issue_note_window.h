#pragma once

#include "table/data_source.h"

#include <QDialog>

class Clock;
class Grid;
class Prompts;
class QPushButton;
class RecordStore;
struct AppState;

// The issue note as it will be printed (表格1, 15 × 6), laid out from the
// lines picked in the stock list and the parameters in config.ini, with the
// page setup of peizi.ini. The user corrects quantities (amounts and the
// total follow), then 按钮4 "出库" books the issue and prints the note;
// 按钮1 "打印设置", 按钮3 "打印预览" and 按钮2 "打印" print without booking.
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
    // cancelled, or printing failed).
    static QString notPrintedMessage()
    {
        return QStringLiteral("出库已记账，但出库单没有打印。可按“打印”补打这张出库单。");
    }

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

private:
    void buildControls();
    // True when the note went to the printer.
    bool printNote();
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
    QString pdfOutput_;
};
