#include "ui/command_set.h"

#include <QAction>

bool CommandSet::setCommand(QObject *context, const QString &caption, std::function<void()> handler)
{
    QAction *command = action(caption);
    if (!command)
        return false;
    QObject::disconnect(command, &QAction::triggered, context, nullptr);
    QObject::connect(
        command, &QAction::triggered, context, [handler = std::move(handler)] { handler(); });
    command->setEnabled(true);
    return true;
}
