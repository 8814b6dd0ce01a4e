#include "ledger/ledger_window.h"

#include "ui/dialog_look.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

LedgerWindow::LedgerWindow(const QString &ledgerText, const QString &title, QWidget *parent)
    : QDialog(parent)
{
    // Twins share a 品名: the title tells which one's ledger this is.
    DialogLook::apply(this, QStringLiteral("LedgerWindow"), title, 10);
    setGeometry(50, 50, 693, 616);
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("编辑框1"));
    text_->setAccessibleName(QStringLiteral("进出库记录"));
    text_->setReadOnly(true);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Line ends are stored as CR LF; the box wants one break per line.
    QString shown = ledgerText;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text_->setPlainText(shown);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(text_);
}
