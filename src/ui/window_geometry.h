#pragma once

#include "common/ini_file.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class QTimer;
class QWidget;

// Remembers where the user last put one of the program's dialog windows and
// how large it was, and stretches the window's controls in proportion when it
// is resized.
//
// Window 1 is the item window, 2 the issue-note window, 3 the parameter window.
// Each has four keys in config.ini, every key in a section of its own name:
// ck<n>z left, ck<n>d top, ck<n>k width, ck<n>g height. A key that is missing
// gives its default; otherwise the value's leading number counts, truncated
// to whole pixels, and a value that does not start with a number reads as 0.
// The window is then fitted to the available area of its screen: moved in
// wholly and, where larger, shrunk to it; no side is shorter than 100 pixels
// (unless the screen is); the values applied are written back at once.
//
// Measurement. The values are the outer frame in logical pixels, measured the
// same way when saving and applying: left and top are the frame's corner
// (which move() takes and frameGeometry() gives back), width and height the
// frame's size. Applying sets the client size to the stored size less the
// frame margins. A window that has not been shown yet does not know its frame
// (the platform reports it once the native window exists; under X11 only after
// the window manager has framed it), so until the user resizes the window it
// keeps correcting its client size whenever the frame it learns of changes,
// and no size is saved while a correction is under way. A window opened and
// closed without a change therefore leaves its values as they were, and does
// not grow by its frame on every opening.
//
// Layout. The controls are recorded in their client-area places
// (QWidget::geometry()), not relative to the outer corner less a fixed
// allowance for frame and caption, and they are stretched by the ratio of the
// current client size to the designed client size: at the designed size every
// control sits exactly where the form puts it, whatever frame the platform
// draws. The forms were drawn for a 4-pixel frame under a 23-pixel caption, so
// the designed client size is the default outer size less 8 × 27 pixels.
// Only direct child widgets that are not windows of their own are stretched;
// composite controls (a grid's viewport and scroll bars) lay out their insides
// themselves.
//
// Saving. A value is written only when it differs from what the file holds,
// and a burst of moves or resizes (a drag) is written once it pauses, and at
// the latest when the window is hidden or destroyed, so a drag does not
// rewrite config.ini for every pixel. Write failures are ignored: these are
// settings only.
class WindowGeometry : public QObject
{
    Q_OBJECT

public:
    static constexpr int itemWindow = 1;
    static constexpr int issueNoteWindow = 2;
    static constexpr int parameterWindow = 3;

    struct Keys
    {
        QString left, top, width, height;
        QRect defaults; // outer frame used for missing keys
    };

    // The keys of window 1, 2 or 3; empty keys for any other number.
    static Keys keys(int windowNumber);
    // The client-area size the window's controls were placed for.
    static QSize designedClientSize(int windowNumber);

    // To be called in the window's constructor once its controls are in their
    // designed places (placed by hand: a layout would fight the stretching): sizes the window to
    // its designed client size, records the controls, applies the stored geometry (writing missing
    // or unreadable keys back at once) and from then on follows the window's resize and move
    // events. The helper belongs to the window. nullptr for a window number other than 1, 2 or 3.
    static WindowGeometry *attach(QWidget *window, IniFile config, int windowNumber);
    // The same with the keys of config.ini as the window has read them already.
    static WindowGeometry *attach(
        QWidget *window, IniFile config, int windowNumber, const IniFile::Contents &contents);
    // The helper attached to a window; nullptr when there is none.
    static WindowGeometry *of(const QWidget *window);

    ~WindowGeometry() override;

    // Writes the values still waiting for a pause in the window's movement.
    void flush();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Control
    {
        QPointer<QWidget> widget;
        QRect designed;
    };
    enum Value { Left, Top, Width, Height, ValueCount };

    WindowGeometry(QWidget *window, IniFile config, Keys keys);

    void record(QSize designedClient);
    void apply(const IniFile::Contents &contents);
    void stretch();
    // True when the client size had to be corrected for a frame learnt late.
    bool correctForFrame();
    void queue(std::initializer_list<Value> values);

    QWidget *window_;
    IniFile config_;
    Keys keys_;
    QSize designedClient_;
    std::vector<Control> controls_;

    QSize storedOuter_; // the outer size applied, followed until the user resizes
    QSize requestedClient_; // the client size asked for to get storedOuter_
    bool followingStored_ = false;

    std::array<std::optional<QString>, ValueCount> fileText_; // as config.ini holds it
    std::array<std::optional<QString>, ValueCount> pending_; // measured, not yet written
    QTimer *pause_ = nullptr;
};
