#pragma once

#include <QRect>
#include <QString>

class QDialog;
class QPushButton;
class QWidget;

// What the program's dialog windows share: their name, title and font, and
// buttons named and placed as their forms have them.
namespace DialogLook {

// Names the window, gives it its title (also as its accessible name, which
// follows later titles: see WindowTitles) and the font 宋体 at the given size
// (SimSun where the face is known only by its English name).
void apply(QDialog *window, const QString &objectName, const QString &title, int pointSize);

// A push button 按钮<number> with its caption at its designed place. Enter
// does not press it unless it is made the default.
QPushButton *button(QWidget *parent, int number, const QString &caption, const QRect &place);

} // namespace DialogLook
