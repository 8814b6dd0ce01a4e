#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLabel;
class QWidget;

// A plain tooltip over a widget: a small frameless label near the mouse with
// a text and a font of the owner's choosing. Text and font are kept while the
// tip is hidden; an empty text shows nothing.
class GridToolTip : public QObject
{
    Q_OBJECT

public:
    explicit GridToolTip(QWidget *owner);
    ~GridToolTip() override;

    void setText(const QString &text);
    const QString &text() const { return text_; }
    void setFont(const QFont &font);
    const QFont &font() const { return font_; }

    // Shows the tip just below and right of a screen position.
    void showAt(const QPoint &globalPos);
    void hide();
    bool isShown() const;

    // The label while it exists (tests look at it).
    QLabel *label() const;

    // How long a tip stays up without the mouse moving away.
    static constexpr int showMilliseconds = 10000;

private:
    QWidget *owner_;
    QString text_;
    QFont font_;
    QPointer<QLabel> label_;
    QTimer hideTimer_;
};
