#include "layout.h"
#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QFocusFrame>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>

namespace {
// The room a caption has inside its widget, and its text without mnemonics.
QRect roomFor(const Caption &c, QString *text, int *flags)
{
    QWidget *w = c.widget;
    int width = c.visibleWidth >= 0 ? c.visibleWidth : w->width();
    *flags = 0;
    if (auto *label = qobject_cast<QLabel *>(w)) {
        *text = label->text();
        if (label->wordWrap())
            *flags = Qt::TextWordWrap;
    } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
        *text = button->text();
        // Check boxes and option buttons draw their indicator before the text.
        if (button->isCheckable()) {
            QStyle *style = w->style();
            width -= style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, w)
                     + style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, w);
        }
        *flags = Qt::TextShowMnemonic;
    }
    return QRect(0, 0, qMax(1, width), w->height());
}
}

void fitCaptions(std::initializer_list<Caption> captions)
{
    if (captions.size() == 0)
        return;
    QFont font = captions.begin()->widget->font();
    auto fits = [&] {
        const QFontMetrics metrics(font);
        for (const Caption &c : captions) {
            QString text;
            int flags = 0;
            const QRect room = roomFor(c, &text, &flags);
            const QRect need = metrics.boundingRect(QRect(0, 0, room.width(), 10000), flags, text);
            if (need.width() > room.width() || need.height() > room.height())
                return false;
        }
        return true;
    };
    for (int spacing = 98; spacing >= 90 && !fits(); spacing -= 2)
        font.setLetterSpacing(QFont::PercentageSpacing, spacing);
    const int start = font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
    for (int size = start; size > 8 && !fits(); --size)
        font.setPixelSize(size - 1);
    for (const Caption &c : captions)
        c.widget->setFont(font);
}

void setUpWindow(QWidget *window, const char *name, const QString &caption, int widthTwips, int heightTwips,
                 const QWidget *mainWindow)
{
    window->setObjectName(QString::fromUtf8(name));
    window->setWindowTitle(caption);
    if (mainWindow) {
        window->setFont(mainWindow->font());
        window->setWindowIcon(mainWindow->windowIcon());
    }
    window->setFixedSize(widthTwips / 15, heightTwips / 15);
}

void centreOnScreen(QWidget *window)
{
    // Moved explicitly, a dialog no longer centres itself on its parent.
    if (const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen())
        window->move(screen->availableGeometry().center() - window->rect().center());
}

void labelWith(QWidget *box, const QString &spoken, std::initializer_list<QLabel *> labels)
{
    for (QLabel *label : labels)
        label->setBuddy(box);
    box->setAccessibleName(spoken);
}

namespace {
struct Role {
    QAccessible::Role role;
    std::function<void()> press;
};

// Gives `object` the accessible interface `Interface`, which `factory`
// makes from its entry in `table`: the factory installed once, the entry
// gone with the object.
template <class Interface, class Entry>
void adoptInterface(QObject *object, QHash<const QObject *, Entry> &table, Entry entry,
                    QAccessible::InterfaceFactory factory)
{
    static const bool installed = [factory] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
    table.insert(object, std::move(entry));
    QObject::connect(object, &QObject::destroyed, [&table, object] { table.remove(object); });
    // A reader that was already listening may hold the class's own view of it.
    QAccessibleInterface *seen = QAccessible::queryAccessibleInterface(object);
    if (seen && !dynamic_cast<Interface *>(seen)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(seen));
        QAccessible::queryAccessibleInterface(object);
    }
}

QHash<const QObject *, Role> &roles()
{
    static QHash<const QObject *, Role> table;
    return table;
}

class RoleInterface : public QAccessibleWidget {
public:
    RoleInterface(QWidget *w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (press())
            names.prepend(pressAction());
        return names;
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction() && press())
            press()();
        else
            QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString &action) const override
    {
        if (action == pressAction() && press())
            return {QStringLiteral("Space"), QStringLiteral("Return")};
        return QAccessibleWidget::keyBindingsForAction(action);
    }

private:
    std::function<void()> press() const { return roles().value(object()).press; }
};

QAccessibleInterface *roleFactory(const QString &, QObject *object)
{
    const auto found = roles().constFind(object);
    if (found == roles().cend() || !object->isWidgetType())
        return nullptr;
    return new RoleInterface(static_cast<QWidget *>(object), found->role);
}
}

void setAccessibleRole(QWidget *w, QAccessible::Role role, std::function<void()> press)
{
    adoptInterface<RoleInterface>(w, roles(), Role{role, std::move(press)}, roleFactory);
}

namespace {
struct Reading {
    std::function<int(int)> toShown, fromShown;
    QString unit;
};

QHash<const QObject *, Reading> &readings()
{
    static QHash<const QObject *, Reading> table;
    return table;
}

// A slider read in the unit it stands for: its value, bounds and steps as
// numbers of that unit, and its value as text with the unit's name.
class ReadingInterface : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    ReadingInterface(QAbstractSlider *slider, QAccessible::Role role) : QAccessibleWidget(slider, role) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QStringLiteral("%1 %2").arg(shown(slider()->value())).arg(reading().unit);
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return shown(slider()->value()); }
    void setCurrentValue(const QVariant &value) override { slider()->setValue(reading().fromShown(value.toInt())); }
    QVariant maximumValue() const override { return shown(slider()->maximum()); }
    QVariant minimumValue() const override { return shown(slider()->minimum()); }
    QVariant minimumStepSize() const override
    {
        return shown(slider()->minimum() + slider()->singleStep()) - shown(slider()->minimum());
    }

private:
    QAbstractSlider *slider() const { return static_cast<QAbstractSlider *>(object()); }
    Reading reading() const { return readings().value(object()); }
    int shown(int value) const { return reading().toShown(value); }
};

QAccessibleInterface *readingFactory(const QString &, QObject *object)
{
    auto *slider = qobject_cast<QAbstractSlider *>(object);
    if (!slider || !readings().contains(object))
        return nullptr;
    return new ReadingInterface(slider, qobject_cast<QScrollBar *>(object) ? QAccessible::ScrollBar
                                                                           : QAccessible::Slider);
}
}

void setAccessibleReading(QAbstractSlider *slider, std::function<int(int)> toShown,
                          std::function<int(int)> fromShown, const QString &unit)
{
    adoptInterface<ReadingInterface>(slider, readings(), Reading{std::move(toShown), std::move(fromShown), unit},
                                     readingFactory);
}

namespace {
// Puts the frame around whichever watched widget has the focus, and takes it
// away when the focus goes (also to another window).
class FocusFollower : public QObject {
public:
    explicit FocusFollower(QFocusFrame *frame) : QObject(frame), m_frame(frame) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *w = static_cast<QWidget *>(watched);
        if (event->type() == QEvent::FocusIn)
            m_frame->setWidget(w);
        else if (event->type() == QEvent::FocusOut && m_frame->widget() == w)
            m_frame->setWidget(nullptr);
        return false;
    }

private:
    QFocusFrame *m_frame;
};
}

void showFocusFrame(const QList<QWidget *> &widgets)
{
    if (widgets.isEmpty())
        return;
    auto *frame = new QFocusFrame(widgets.first()->parentWidget());
    // Named as Qt names the parts it adds: not one of the window's controls.
    frame->setObjectName(QStringLiteral("qt_focusframe"));
    frame->hide();
    auto *follower = new FocusFollower(frame);
    for (QWidget *w : widgets) {
        w->installEventFilter(follower);
        if (w->hasFocus())
            frame->setWidget(w);
    }
}

namespace {
class EnterPresses : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            || (key->modifiers() & ~Qt::KeypadModifier))
            return false;
        // A held key presses once: its repeats would land in whatever
        // window the button opened.
        if (!key->isAutoRepeat())
            static_cast<QPushButton *>(watched)->click();
        return true;
    }
};
}

void enterPressesFocusedButton(QWidget *window)
{
    auto *filter = new EnterPresses(window);
    for (QPushButton *button : window->findChildren<QPushButton *>())
        button->installEventFilter(filter);
}
