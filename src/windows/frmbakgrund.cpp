#include "windows/layout.h"
#include "frmbakgrund.h"
#include "pixels/canvas.h"
#include "windows/swatches.h"
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {
// The swatches' grid: six columns of six.
constexpr int Columns = 6;
}

frmbakgrund::frmbakgrund(QWidget *mainWindow)
    : QDialog(mainWindow, DialogFlags)
{
    setUpWindow(this, "frmbakgrund", QStringLiteral("Bakgrundsfärg"), 4440, 3540, mainWindow);

    Label1 = place(new QLabel(QStringLiteral(
                            "Om du valt \"Lås både höjd och bredd\" för miniatyrena, kan det hända att bilden "
                            "inte täcker hela ytan av \"bakgrunden\", och den överblivna ytan kommer då med i "
                            "miniatyren. Välj dess färg, genom att klicka på valfri färg nedan:"),
                        this), "Label1", tw(120, 120, 4215, 855));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fitCaptions({Label1});

    for (const Swatch &s : Swatches) {
        auto *swatch = place(new QLabel(this), "lbl", tw(s.left, s.top, 615, 255), QString::fromUtf8(s.name));
        swatch->setProperty("index", s.index);
        swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
        swatch->setLineWidth(1);
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(s.colour));
        palette.setColor(QPalette::WindowText, Qt::black);
        swatch->setPalette(palette);
        swatch->setAutoFillBackground(true);
        swatch->installEventFilter(this);
        // Chosen by keyboard too: the swatches take the focus, in rows.
        swatch->setFocusPolicy(Qt::StrongFocus);
        if (!m_grid.isEmpty())
            QWidget::setTabOrder(m_grid.last(), swatch);
        setAccessibleRole(swatch, QAccessible::Button, [this, index = s.index] { lbl_Click(index); });
        m_lbl.insert(s.index, swatch);
        m_grid.append(swatch);
    }
    setFocusPolicy(Qt::NoFocus);
    showFocusFrame(QList<QWidget *>(m_grid.begin(), m_grid.end()));
    m_grid.first()->setFocus();

    centreOnScreen(this);
}

void frmbakgrund::lbl_Click(int index)
{
    const QLabel *swatch = lbl(index);
    if (!swatch)
        return;
    // The swatch's own background is the colour it stands for.
    emit colourChosen(Canvas::fromColor(swatch->palette().color(QPalette::Window)));
    accept();
}

// Arrows move to the neighbour in the grid, Home and End to the ends of the
// row; Enter and Space choose as a click does. A key held down chooses
// nothing: its repeats would choose the swatch that happens to be there.
bool frmbakgrund::swatchKey(QLabel *swatch, const QKeyEvent *key)
{
    const int at = int(m_grid.indexOf(swatch));
    if (at < 0 || (key->modifiers() & ~Qt::KeypadModifier))
        return false;
    const int row = at / Columns, column = at % Columns, rows = int(m_grid.size()) / Columns;
    int to = -1;
    switch (key->key()) {
    case Qt::Key_Left: to = row * Columns + qMax(0, column - 1); break;
    case Qt::Key_Right: to = row * Columns + qMin(Columns - 1, column + 1); break;
    case Qt::Key_Up: to = qMax(0, row - 1) * Columns + column; break;
    case Qt::Key_Down: to = qMin(rows - 1, row + 1) * Columns + column; break;
    case Qt::Key_Home: to = row * Columns; break;
    case Qt::Key_End: to = row * Columns + Columns - 1; break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (!key->isAutoRepeat())
            lbl_Click(swatch->property("index").toInt());
        return true;
    default:
        return false;
    }
    m_grid.at(to)->setFocus(Qt::OtherFocusReason);
    return true;
}

bool frmbakgrund::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *swatch = qobject_cast<QLabel *>(watched);
        if (swatch && swatchKey(swatch, static_cast<QKeyEvent *>(event)))
            return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto *swatch = qobject_cast<QLabel *>(watched);
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A click is a left press and release over the same swatch.
        if (swatch && mouse->button() == Qt::LeftButton && swatch->rect().contains(mouse->position().toPoint())
            && m_lbl.value(swatch->property("index").toInt()) == swatch) {
            lbl_Click(swatch->property("index").toInt());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
