#include "layout.h"
#include <QAbstractButton>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
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
