#include "ui/window_geometry.h"

#include "common/value_text.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// The frame and caption the forms were drawn for: 4 pixels on each side and a
// caption reaching 23 pixels below the outer top edge.
const QSize designedFrame(4 + 4, 23 + 4);

// How long a drag must pause before its position is written.
constexpr int writePauseMs = 300;

// Marks a key that config.ini does not hold: a value never contains a line
// break, as lines end there.
const QString absent = QStringLiteral("\n");

int wholePixels(const QString &text)
{
    // Far beyond any screen, but keeps the conversion to int defined.
    constexpr double limit = QWIDGETSIZE_MAX;
    return int(std::clamp(std::trunc(number(text)), -limit, limit));
}

// Where a stored frame may go: wholly on the available area of the screen
// holding its corner (else the window's own), moved in and, where it is
// larger, shrunk to it. A hand-edited or damaged config.ini, or one written on
// a larger or second screen, can otherwise open a window with its caption or
// buttons out of reach, or of 32767 pixels square, which takes gigabytes to
// paint.
QRect onScreen(const QRect &frame, const QWidget *window)
{
    const QScreen *screen = QGuiApplication::screenAt(frame.topLeft());
    if (!screen)
        screen = window->screen();
    if (!screen)
        return frame;
    const QRect available = screen->availableGeometry();
    constexpr int smallest = 100; // a side shorter than this hides the controls
    const auto bound = [](int value, int low, int high) {
        return std::max(low, std::min(value, high));
    };
    const int width
        = bound(frame.width(), std::min(smallest, available.width()), available.width());
    const int height
        = bound(frame.height(), std::min(smallest, available.height()), available.height());
    return QRect(
        bound(frame.left(), available.left(), available.left() + available.width() - width),
        bound(frame.top(), available.top(), available.top() + available.height() - height), width,
        height);
}

} // namespace

WindowGeometry::Keys WindowGeometry::keys(int windowNumber)
{
    QSize size;
    switch (windowNumber) {
    case itemWindow:
        size = QSize(600, 550);
        break;
    case parameterWindow:
        // Its form: the group box, the buttons under it and a margin.
        size = QSize(600, 340);
        break;
    case issueNoteWindow:
        size = QSize(800, 650);
        break;
    default:
        return {};
    }
    const QString prefix = QStringLiteral("ck") + QString::number(windowNumber);
    return {
        prefix + u'z', prefix + u'd', prefix + u'k', prefix + u'g', QRect(QPoint(100, 100), size)};
}

QSize WindowGeometry::designedClientSize(int windowNumber)
{
    const Keys windowKeys = keys(windowNumber);
    if (windowKeys.left.isEmpty())
        return {};
    return windowKeys.defaults.size() - designedFrame;
}

WindowGeometry *WindowGeometry::attach(QWidget *window, IniFile config, int windowNumber)
{
    const IniFile::Contents contents = config.load();
    return attach(window, std::move(config), windowNumber, contents);
}

WindowGeometry *WindowGeometry::attach(
    QWidget *window, IniFile config, int windowNumber, const IniFile::Contents &contents)
{
    Keys windowKeys = keys(windowNumber);
    if (!window || windowKeys.left.isEmpty())
        return nullptr;
    delete of(window); // attaching again starts afresh
    auto *geometry = new WindowGeometry(window, std::move(config), std::move(windowKeys));
    geometry->record(designedClientSize(windowNumber));
    geometry->apply(contents);
    window->installEventFilter(geometry);
    return geometry;
}

WindowGeometry *WindowGeometry::of(const QWidget *window)
{
    return window ? window->findChild<WindowGeometry *>(QString(), Qt::FindDirectChildrenOnly)
                  : nullptr;
}

WindowGeometry::WindowGeometry(QWidget *window, IniFile config, Keys keys)
    : QObject(window)
    , window_(window)
    , config_(std::move(config))
    , keys_(std::move(keys))
    , pause_(new QTimer(this))
{
    pause_->setSingleShot(true);
    pause_->setInterval(writePauseMs);
    connect(pause_, &QTimer::timeout, this, &WindowGeometry::flush);
}

WindowGeometry::~WindowGeometry()
{
    flush();
}

void WindowGeometry::record(QSize designedClient)
{
    window_->resize(designedClient);
    designedClient_ = designedClient;
    controls_.clear();
    for (QObject *child : window_->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (widget && !widget->isWindow())
            controls_.push_back({widget, widget->geometry()});
    }
}

void WindowGeometry::apply(const IniFile::Contents &contents)
{
    const std::array<const QString *, ValueCount> names {
        &keys_.left, &keys_.top, &keys_.width, &keys_.height};
    const std::array<int, ValueCount> defaults {keys_.defaults.left(), keys_.defaults.top(),
        keys_.defaults.width(), keys_.defaults.height()};
    std::array<int, ValueCount> value {};
    for (int i = 0; i < ValueCount; ++i) {
        const QString text = contents.read(*names[i], *names[i], absent);
        fileText_[i] = text == absent ? std::nullopt : std::optional(text);
        value[i] = fileText_[i] ? wholePixels(text) : defaults[i];
    }
    const QRect frame
        = onScreen(QRect(value[Left], value[Top], value[Width], value[Height]), window_);
    value = {frame.left(), frame.top(), frame.width(), frame.height()};
    // What is applied goes back at once, so that a first opening creates the
    // keys, a hand-edited value reads the same way next time and a value off
    // the screen is not kept.
    for (int i = 0; i < ValueCount; ++i)
        pending_[i] = QString::number(value[i]);
    flush();

    storedOuter_ = frame.size();
    const QSize margins = window_->frameGeometry().size() - window_->size();
    requestedClient_ = storedOuter_ - margins;
    followingStored_ = true;
    window_->move(frame.topLeft());
    window_->resize(requestedClient_);
    // A hidden window gets its resize event only when shown; its controls take
    // their places now already.
    stretch();
}

void WindowGeometry::stretch()
{
    if (designedClient_.isEmpty())
        return;
    const double sx = double(window_->width()) / designedClient_.width();
    const double sy = double(window_->height()) / designedClient_.height();
    for (const Control &control : controls_) {
        if (!control.widget)
            continue;
        const QRect &d = control.designed;
        control.widget->setGeometry(qRound(d.x() * sx), qRound(d.y() * sy), qRound(d.width() * sx),
            qRound(d.height() * sy));
    }
}

bool WindowGeometry::correctForFrame()
{
    if (!followingStored_)
        return false;
    const QSize client = window_->size();
    if (client != requestedClient_) {
        // The user (or the platform's size limits) decided the size: from now
        // on the window is measured as it is.
        followingStored_ = false;
        return false;
    }
    const QSize margins = window_->frameGeometry().size() - client;
    const QSize wanted = storedOuter_ - margins;
    if (wanted == client)
        return false;
    requestedClient_ = wanted;
    window_->resize(wanted);
    return true;
}

void WindowGeometry::queue(std::initializer_list<Value> values)
{
    const QRect frame = window_->frameGeometry();
    const std::array<int, ValueCount> measured {
        frame.x(), frame.y(), frame.width(), frame.height()};
    for (Value value : values)
        pending_[value] = QString::number(measured[value]);
    pause_->start();
}

void WindowGeometry::flush()
{
    pause_->stop();
    const std::array<const QString *, ValueCount> names {
        &keys_.left, &keys_.top, &keys_.width, &keys_.height};
    QList<IniFile::Setting> changed;
    std::array<bool, ValueCount> written {};
    for (int i = 0; i < ValueCount; ++i) {
        if (pending_[i] && pending_[i] != fileText_[i]) {
            changed.append({*names[i], *names[i], *pending_[i]});
            written[i] = true;
        }
    }
    // One rewrite of config.ini for all four values.
    if (!changed.isEmpty() && config_.write(changed)) {
        for (int i = 0; i < ValueCount; ++i)
            if (written[i])
                fileText_[i] = pending_[i];
    }
    for (std::optional<QString> &value : pending_)
        value.reset();
}

bool WindowGeometry::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window_)
        return false;
    switch (event->type()) {
    case QEvent::Resize:
        stretch();
        if (!correctForFrame())
            queue({Left, Top, Width, Height});
        break;
    case QEvent::Move:
        correctForFrame();
        queue({Left, Top});
        break;
    case QEvent::Show:
        correctForFrame();
        break;
    case QEvent::Hide:
        flush();
        break;
    default:
        break;
    }
    return false;
}
