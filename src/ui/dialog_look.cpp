#include "ui/dialog_look.h"

#include "ui/window_titles.h"

#include <QDialog>
#include <QPushButton>

namespace DialogLook {

void apply(QDialog *window, const QString &objectName, const QString &title, int pointSize)
{
    window->setObjectName(objectName);
    window->setWindowTitle(title);
    WindowTitles::follow(window);
    QFont songTi(QStringLiteral("宋体"), pointSize);
    songTi.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun")});
    window->setFont(songTi);
}

QPushButton *button(QWidget *parent, int number, const QString &caption, const QRect &place)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QStringLiteral("按钮%1").arg(number));
    b->setAccessibleName(caption.simplified());
    b->setGeometry(place);
    b->setAutoDefault(false);
    return b;
}

} // namespace DialogLook
