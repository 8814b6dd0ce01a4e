#include "ui/frame_placement.h"

#include <QEvent>
#include <QWidget>

FramePlacement::FramePlacement(QWidget *window)
    : QObject(window)
    , window_(window)
{
    setObjectName(QStringLiteral("FramePlacement"));
    window->installEventFilter(this);
}

void FramePlacement::place(QWidget *window, const QRect &outer)
{
    auto *placement = window->findChild<FramePlacement *>(
        QStringLiteral("FramePlacement"), Qt::FindDirectChildrenOnly);
    if (!placement)
        placement = new FramePlacement(window);
    placement->apply(outer);
}

void FramePlacement::apply(const QRect &outer)
{
    const QSize margins = window_->frameGeometry().size() - window_->size();
    outerSize_ = outer.size();
    requestedClient_ = outerSize_ - margins;
    following_ = true;
    window_->resize(requestedClient_);
    window_->move(outer.topLeft());
}

void FramePlacement::correct()
{
    if (!following_)
        return;
    const QSize client = window_->size();
    if (client != requestedClient_) {
        // The user (or the platform's limits) chose the size from here on.
        following_ = false;
        return;
    }
    const QSize wanted = outerSize_ - (window_->frameGeometry().size() - client);
    if (wanted != client) {
        requestedClient_ = wanted;
        window_->resize(wanted);
    }
}

bool FramePlacement::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            correct();
            break;
        default:
            break;
        }
    }
    return false;
}
