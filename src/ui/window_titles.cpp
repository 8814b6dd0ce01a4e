#include "ui/window_titles.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace WindowTitles {
namespace {

class TitleFollower : public QObject
{
public:
    explicit TitleFollower(QWidget *window)
        : QObject(window)
        , window_(window)
        , lastTitle_(window->windowTitle())
    {
        setObjectName(QStringLiteral("TitleFollower"));
        if (window->accessibleName().isEmpty() && !lastTitle_.isEmpty())
            window->setAccessibleName(lastTitle_);
        window->installEventFilter(this);
        blankIfUntitled();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != window_)
            return false;
        if (event->type() == QEvent::WindowTitleChange) {
            const QString title = window_->windowTitle();
            const QString spoken = window_->accessibleName();
            if (spoken.isEmpty() || spoken == lastTitle_)
                window_->setAccessibleName(title);
            lastTitle_ = title;
            blankIfUntitled();
        } else if (event->type() == QEvent::Show || event->type() == QEvent::WinIdChange) {
            // The native window may be new: it starts with Qt's own fallback.
            blankIfUntitled();
        }
        return false;
    }

private:
    void blankIfUntitled()
    {
        QWindow *handle = window_->windowHandle();
        if (handle && window_->windowTitle().isEmpty())
            handle->setTitle(QString::fromUtf16(blankCaption));
    }

    QWidget *window_;
    QString lastTitle_;
};

} // namespace

void follow(QWidget *window)
{
    if (!window)
        return;
    // TitleFollower has no meta-object of its own: findChild<TitleFollower *>
    // would take any child (a main window's layout) for one and follow nothing.
    const QObjectList &children = window->children();
    if (std::any_of(children.begin(), children.end(),
            [](const QObject *child) { return dynamic_cast<const TitleFollower *>(child); }))
        return;
    new TitleFollower(window);
}

} // namespace WindowTitles
