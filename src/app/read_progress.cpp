#include "app/read_progress.h"

#include "ui/wait_cursor.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>

ReadProgress::ReadProgress(QWidget *parent)
    : parent_(parent)
{ }

ReadProgress::~ReadProgress()
{
    done();
}

void ReadProgress::reading(const QString &path, std::function<void()> cancel)
{
    cancelled_ = false;
    auto *dialog = new QProgressDialog(parent_);
    dialog->setObjectName(QStringLiteral("读取进度"));
    dialog->setWindowTitle(QStringLiteral("从电子表读"));
    dialog->setLabelText(QStringLiteral("正在读取电子表格 %1 ……").arg(QFileInfo(path).fileName()));
    auto *button = new QPushButton(QStringLiteral("取消"), dialog);
    button->setObjectName(QStringLiteral("取消"));
    dialog->setCancelButton(button);
    dialog->setRange(0, 0); // how long a workbook takes cannot be told
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoReset(false);
    dialog->setAutoClose(false);
    QObject::connect(dialog, &QProgressDialog::canceled, dialog, [this, cancel] {
        cancelled_ = true;
        cancel();
    });
    dialog_ = dialog;
    cursor_ = std::make_unique<NormalCursor>();
    dialog->show();
}

void ReadProgress::done()
{
    cursor_.reset();
    delete dialog_.data();
}
