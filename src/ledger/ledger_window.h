#pragma once

#include <QDialog>

class QPlainTextEdit;

// Shows an item's ledger text, read-only, in one text box, under a title
// that names the item (Ledger::title()). Built once when it opens; it does
// not follow later changes.
class LedgerWindow : public QDialog
{
    Q_OBJECT

public:
    LedgerWindow(const QString &ledgerText, const QString &title, QWidget *parent = nullptr);

    QPlainTextEdit *textBox() const { return text_; }

private:
    QPlainTextEdit *text_ = nullptr;
};
