#include "ui/wait_cursor.h"

#include "common/prompts.h"

#include <QGuiApplication>

WaitCursor::WaitCursor()
{
    // The prompts note whether a command was at work when they were shown.
    Prompts::setBusyProbe(&WaitCursor::active);
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

bool WaitCursor::active()
{
    const QCursor *cursor = QGuiApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

NormalCursor::NormalCursor()
{
    while (const QCursor *cursor = QGuiApplication::overrideCursor()) {
        lifted_.append(*cursor);
        QGuiApplication::restoreOverrideCursor();
    }
}

NormalCursor::~NormalCursor()
{
    for (auto it = lifted_.crbegin(); it != lifted_.crend(); ++it)
        QGuiApplication::setOverrideCursor(*it);
}
