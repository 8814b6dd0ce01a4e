#pragma once

#include "workbook/workbook_reader.h"

#include <QPointer>

#include <memory>

class QProgressDialog;
class QWidget;
class NormalCursor;

// The progress dialog of "从电子表读": shown when the reading child takes a
// while, application-modal so that nothing else starts meanwhile, with a
// 取消 button that ends the child.
class ReadProgress : public WorkbookReadWatcher
{
public:
    explicit ReadProgress(QWidget *parent);
    ~ReadProgress() override;
    ReadProgress(const ReadProgress &) = delete;
    ReadProgress &operator=(const ReadProgress &) = delete;

    void reading(const QString &path, std::function<void()> cancel) override;
    void done() override;

    // Whether the user ended the last read.
    bool cancelled() const { return cancelled_; }

private:
    QWidget *parent_;
    QPointer<QProgressDialog> dialog_;
    std::unique_ptr<NormalCursor> cursor_;
    bool cancelled_ = false;
};
