#include "grid/grid_tooltip.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <algorithm>

GridToolTip::GridToolTip(QWidget *owner)
    : QObject(owner)
    , owner_(owner)
    , font_(owner->font())
{
    hideTimer_.setSingleShot(true);
    hideTimer_.setInterval(showMilliseconds);
    connect(&hideTimer_, &QTimer::timeout, this, &GridToolTip::hide);
}

GridToolTip::~GridToolTip()
{
    delete label_;
}

void GridToolTip::setText(const QString &text)
{
    text_ = text;
    if (text_.isEmpty()) {
        hide();
    } else if (isShown()) {
        label_->setText(text_);
        label_->adjustSize();
    }
}

void GridToolTip::setFont(const QFont &font)
{
    font_ = font;
    if (isShown()) {
        label_->setFont(font_);
        label_->adjustSize();
    }
}

void GridToolTip::showAt(const QPoint &globalPos)
{
    if (text_.isEmpty()) {
        hide();
        return;
    }
    if (!label_) {
        // A window of its own (Qt::ToolTip), owned by the grid's window.
        label_ = new QLabel(owner_, Qt::ToolTip | Qt::FramelessWindowHint);
        label_->setForegroundRole(QPalette::ToolTipText);
        label_->setBackgroundRole(QPalette::ToolTipBase);
        label_->setAutoFillBackground(true);
        label_->setFrameStyle(QFrame::Box | QFrame::Plain);
        label_->setMargin(2);
        label_->setTextFormat(Qt::PlainText);
        label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    label_->setFont(font_);
    label_->setText(text_);
    label_->adjustSize();

    QRect geometry(globalPos + QPoint(4, 20), label_->size());
    if (const QScreen *screen = QGuiApplication::screenAt(globalPos)) {
        const QRect area = screen->availableGeometry();
        if (geometry.right() > area.right())
            geometry.moveRight(area.right());
        if (geometry.bottom() > area.bottom())
            geometry.moveBottom(globalPos.y() - 4); // above the mouse instead
        geometry.moveLeft(std::max(geometry.left(), area.left()));
        geometry.moveTop(std::max(geometry.top(), area.top()));
    }
    label_->move(geometry.topLeft());
    label_->show();
    hideTimer_.start();
}

void GridToolTip::hide()
{
    hideTimer_.stop();
    if (label_)
        label_->hide();
}

QLabel *GridToolTip::label() const
{
    return label_;
}

bool GridToolTip::isShown() const
{
    return label_ && label_->isVisible();
}
