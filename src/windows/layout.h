#pragma once
#include <QAccessible>
#include <QList>
#include <QRect>
#include <QString>
#include <Qt>
#include <functional>
#include <initializer_list>

class QAbstractSlider;
class QLabel;
class QWidget;

// The secondary windows: fixed size, a title bar with a close box only.
constexpr Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                                        | Qt::MSWindowsFixedSizeDialogHint;

// Names a window and gives it its caption (the whole title), its fixed
// client size in twips and, when there is one, the main window's font and
// icon, so every window of the program looks the same.
void setUpWindow(QWidget *window, const char *name, const QString &caption, int widthTwips, int heightTwips,
                 const QWidget *mainWindow = nullptr);

// Puts a window in the centre of the screen it will show on.
void centreOnScreen(QWidget *window);

// Window layouts are given in twips; 15 twips are one pixel.
inline QRect tw(int left, int top, int width, int height)
{
    return QRect(left / 15, top / 15, width / 15, height / 15);
}

// Names a control and puts it where the layout says. `spoken` is what a
// screen reader calls it where its own caption doesn't say (or says wrongly).
template <typename W>
W *place(W *w, const char *name, const QRect &geometry, const QString &spoken = QString())
{
    w->setObjectName(QString::fromUtf8(name));
    w->setGeometry(geometry);
    if (!spoken.isEmpty())
        w->setAccessibleName(spoken);
    return w;
}

// A box named by the labels beside it: they become its buddies, so a screen
// reader finds them as its labels, and `spoken` is its name, the labels read
// together. (A buddy alone doesn't name every kind of box.)
void labelWith(QWidget *box, const QString &spoken, std::initializer_list<QLabel *> labels);

// What a screen reader takes a widget for where its class says otherwise: a
// window made of a plain widget, a picture or a swatch pressed like a button.
// `press` is what the reader's "press" action does.
void setAccessibleRole(QWidget *w, QAccessible::Role role, std::function<void()> press = {});

// What a screen reader reads as a slider's value where its own numbers mean
// nothing to the user (the canvas's scroll bars hold twips): `toShown` turns
// a value into the number read, followed by `unit` ("237 bildpunkter");
// `fromShown` is its inverse, for a reader that sets the value.
void setAccessibleReading(QAbstractSlider *slider, std::function<int(int)> toShown,
                          std::function<int(int)> fromShown, const QString &unit);

// In a window that is no dialog, Enter presses the focused button, as Space
// does and as it does in a dialog. For the buttons `window` holds now.
void enterPressesFocusedButton(QWidget *window);

// Controls that show no keyboard focus of their own get the style's focus
// frame around them while they have it.
void showFocusFrame(const QList<QWidget *> &widgets);

// A caption and the width of it that can be seen (-1: the widget's own
// width; less where a neighbour covers part of it).
struct Caption {
    Caption(QWidget *w, int visible = -1) : widget(w), visibleWidth(visible) {}
    QWidget *widget;
    int visibleWidth;
};

// The layouts were drawn for a narrower face than we may get: captions that
// would be cut off are set a little tighter and, only if that is not enough,
// in a smaller size, until all of them fit. They then share that font.
void fitCaptions(std::initializer_list<Caption> captions);
