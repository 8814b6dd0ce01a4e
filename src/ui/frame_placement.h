#pragma once

#include <QObject>
#include <QRect>
#include <QSize>

class QWidget;

// Puts a top-level window so that its outer frame, caption bar included,
// covers a given rectangle of the screen: move() places the frame's corner,
// and the client is sized to the rectangle less the frame. A window not yet
// shown does not know its frame (under X11 not before the window manager has
// framed it), so until the user resizes the window its client size is
// corrected whenever the frame it learns of changes.
class FramePlacement : public QObject
{
    Q_OBJECT

public:
    // Places the window; a later call replaces the rectangle.
    static void place(QWidget *window, const QRect &outer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit FramePlacement(QWidget *window);
    void apply(const QRect &outer);
    void correct();

    QWidget *window_;
    QSize outerSize_;
    QSize requestedClient_;
    bool following_ = false;
};
