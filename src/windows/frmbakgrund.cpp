#include "windows/layout.h"
#include "frmbakgrund.h"
#include "platform/canvas.h"
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>

namespace {

struct Swatch {
    int index;
    int left, top;   // twips
    QRgb colour;     // #RRGGBB
};

// Six columns of six, row by row; indexes 28 to 31 were never made.
constexpr Swatch Swatches[] = {
    {0, 120, 1200, 0xFFFFFF},  {10, 840, 1200, 0xE0E0E0}, {9, 1560, 1200, 0xC0C0C0},
    {8, 2280, 1200, 0x808080}, {32, 3000, 1200, 0x404040}, {7, 3720, 1200, 0x000000},
    {6, 120, 1560, 0xFF0000},  {5, 840, 1560, 0xC00000},  {33, 1560, 1560, 0x800000},
    {4, 2280, 1560, 0xFFC080}, {3, 3000, 1560, 0xFF8000}, {2, 3720, 1560, 0xC04000},
    {1, 120, 1920, 0x804040},  {27, 840, 1920, 0xFFFF80}, {11, 1560, 1920, 0xFFFFC0},
    {26, 2280, 1920, 0xFFFF00}, {25, 3000, 1920, 0xC0C000}, {21, 3720, 1920, 0x00C000},
    {24, 120, 2280, 0xC0FFC0}, {23, 840, 2280, 0x80FF80}, {22, 1560, 2280, 0x00FF00},
    {15, 2280, 2280, 0xC0C0FF}, {20, 3000, 2280, 0x004000}, {19, 3720, 2280, 0xC0FFFF},
    {18, 120, 2640, 0x80FFFF}, {17, 840, 2640, 0x00FFFF}, {16, 1560, 2640, 0x00C0C0},
    {37, 2280, 2640, 0xFF00FF}, {14, 3000, 2640, 0x8080FF}, {13, 3720, 2640, 0x0000FF},
    {12, 120, 3000, 0x000080}, {39, 840, 3000, 0xFFC0FF}, {38, 1560, 3000, 0xFF80FF},
    {36, 2280, 3000, 0xC000C0}, {35, 3000, 3000, 0x800080}, {34, 3720, 3000, 0x400040},
};

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
        auto *swatch = place(new QLabel(this), "lbl", tw(s.left, s.top, 615, 255));
        swatch->setProperty("index", s.index);
        swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
        swatch->setLineWidth(1);
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, QColor::fromRgb(s.colour));
        palette.setColor(QPalette::WindowText, Qt::black);
        swatch->setPalette(palette);
        swatch->setAutoFillBackground(true);
        swatch->installEventFilter(this);
        m_lbl.insert(s.index, swatch);
    }
    // Chosen with the mouse only: nothing here takes the keyboard focus.
    setFocusPolicy(Qt::NoFocus);

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

bool frmbakgrund::eventFilter(QObject *watched, QEvent *event)
{
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
