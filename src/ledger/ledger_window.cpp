#include "ledger/ledger_window.h"

#include "ui/dialog_look.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

LedgerWindow::LedgerWindow(const QString &ledgerText, QWidget *parent)
    : QDialog(parent)
{
    // The window has no title of its own: the text says whose ledger it is.
    DialogLook::apply(this, QStringLiteral("LedgerWindow"), QString(), 10);
    setAccessibleName(QStringLiteral("进出库簿"));
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
