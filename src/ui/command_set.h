#pragma once

#include <QHash>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QObject;

// The menus and menu commands of a window, found by their exact captions
// ("导入  备份 " with its blanks, "&O.打开表格" with its mnemonic).
class CommandSet
{
public:
    void addMenu(const QString &caption, QMenu *menu) { menus_.insert(caption, menu); }
    void addAction(const QString &caption, QAction *action) { actions_.insert(caption, action); }

    // nullptr when there is none with this caption.
    QAction *action(const QString &caption) const { return actions_.value(caption, nullptr); }
    QMenu *menu(const QString &caption) const { return menus_.value(caption, nullptr); }

    // Connects a command to its handler, replacing an earlier one, and
    // enables it. False when there is no command with this caption.
    bool setCommand(QObject *context, const QString &caption, std::function<void()> handler);

private:
    QHash<QString, QMenu *> menus_;
    QHash<QString, QAction *> actions_;
};
