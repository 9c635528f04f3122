#include "windows/layout.h"
#include "form1.h"
#include "canvasview.h"
#include "picturelist.h"
#include "seam.h"
#include "appicon.h"
#include "files/failure.h"
#include "pixels/process.h"
#include "thumbs/quality.h"
#include "windows/form2.h"
#include "windows/frmweb.h"
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

namespace {


QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &g)
{
    return place(new QLabel(text, parent), name, g);
}
}

Form1::Form1(QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    // A window to a screen reader, not a plain pane.
    setAccessibleRole(this, QAccessible::Window);
    // The designed client area; the load step shows its upper part.
    setUpWindow(this, "Form1", QStringLiteral("Tumbilder"), 7320, 7485);
    // The layout is in twips made for an 8-point face; a smaller pixel size
    // keeps every caption inside its control.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    // The canvas starts with the platform's face colour until a swatch is chosen.
    m_canvas = Canvas(3615, 3615, Canvas::fromColor(palette().color(QPalette::Button)));
    buildControls();
    setTabOrder();
    // One face for the whole window, narrow enough for every caption; the
    // text boxes cover the right part of "Lägg till", and the quality box
    // the end of its label.
    fitCaptions({{Label6, 48 - 8}, {Label7, 48 - 8}, {Label8}, {Label9}, {optlas[0]}, {optlas[1]}, {optlas[2]},
                 {optlas[3], 72 - 8}, {Label10, 184 - 56}, {Label1}, {Label2}, {chkweb}});
    const QFont face = Label6->font();
    for (QWidget *w : findChildren<QWidget *>())
        if (w != Command1)
            w->setFont(face);
    QFont bold = face;
    bold.setBold(true);
    Command1->setFont(bold);
    Form_Load();
}

// The settings window goes first, while this window is whole: its going
// clears the folder mark, which a child deleted by ~QWidget could not.
Form1::~Form1()
{
    delete m_frmweb;
}

void Form1::buildControls()
{
    Frame2 = place(new QGroupBox(this), "Frame2", tw(120, 0, 1815, 1095), QStringLiteral("Storlek i pixlar"));
    Label1 = label(Frame2, "Label1", QStringLiteral("Höjd"), tw(120, 240, 375, 255));
    Text1 = place(new QLineEdit(QStringLiteral("237"), Frame2), "Text1", tw(720, 240, 615, 285));
    Label3 = label(Frame2, "Label3", QStringLiteral("pxl"), tw(1440, 240, 195, 195));
    Label2 = label(Frame2, "Label2", QStringLiteral("Bredd"), tw(120, 600, 495, 255));
    Text2 = place(new QLineEdit(QStringLiteral("237"), Frame2), "Text2", tw(720, 600, 615, 285));
    Label4 = label(Frame2, "Label4", QStringLiteral("pxl"), tw(1440, 600, 195, 195));
    for (QLineEdit *readout : {Text1, Text2}) {
        readout->setEnabled(false);
        readout->setMaxLength(3);
    }
    for (QLabel *pxl : {Label3, Label4})
        pxl->adjustSize();
    labelWith(Text1, QStringLiteral("Höjd i pixlar"), {Label1, Label3});
    labelWith(Text2, QStringLiteral("Bredd i pixlar"), {Label2, Label4});

    Frame1 = place(new QGroupBox(this), "Frame1", tw(2040, 0, 1575, 1095), QStringLiteral("Storleksläge"));
    const char *optNames[] = {"Lås höjd", "Lås bredd", "Lås båda", "Procent"};
    const QRect optGeometry[] = {tw(120, 120, 1215, 195), tw(120, 360, 1095, 195), tw(120, 600, 1215, 195),
                                 tw(120, 840, 855, 195)};
    auto *group = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        optlas[i] = place(new QRadioButton(QString::fromUtf8(optNames[i]), Frame1), "optlås", optGeometry[i]);
        optlas[i]->setProperty("index", i);
        group->addButton(optlas[i], i);
    }
    optlas[2]->setChecked(true);
    connect(group, &QButtonGroup::idClicked, this, [this](int id) { optlas_Click(id); });
    cmdprocent = place(new QPushButton(QStringLiteral("..."), Frame1), "cmdprocent", tw(1080, 795, 255, 225),
                       QStringLiteral("Ange procent"));
    connect(cmdprocent, &QPushButton::clicked, this, [this] { cmdprocent_Click(); });

    Frame3 = place(new QGroupBox(this), "Frame3", tw(3720, 0, 3495, 1095), QStringLiteral("Tillägg till filnamnet"));
    Label6 = label(Frame3, "Label6", QStringLiteral("Lägg till"), tw(120, 240, 975, 255));
    plusfilnamn1 = place(new QLineEdit(Frame3), "plusfilnamn1", tw(720, 240, 1095, 285));
    Label8 = label(Frame3, "Label8", QStringLiteral("innan filnamnet."), tw(1920, 240, 1215, 255));
    Label7 = label(Frame3, "Label7", QStringLiteral("Lägg till"), tw(120, 600, 855, 255));
    plusfilnamn2 = place(new QLineEdit(QStringLiteral("_s"), Frame3), "plusfilnamn2", tw(720, 600, 1095, 285));
    Label9 = label(Frame3, "Label9", QStringLiteral("efter filnamnet."), tw(1920, 600, 1095, 255));
    labelWith(plusfilnamn1, QStringLiteral("Lägg till innan filnamnet"), {Label6, Label8});
    labelWith(plusfilnamn2, QStringLiteral("Lägg till efter filnamnet"), {Label7, Label9});

    Image1 = place(new QLabel(this), "Image1", tw(6720, 120, 480, 480), QStringLiteral("Tumbilders ikon"));
    // The program's icon, sharp at any scaling; the window takes it at load.
    Image1->setPixmap(appIcon().pixmap(32));

    HScroll1 = place(new QScrollBar(Qt::Horizontal, this), "HScroll1", tw(360, 1200, 3615, 255),
                     QStringLiteral("Miniatyrens bredd"));
    VScroll1 = place(new QScrollBar(Qt::Vertical, this), "VScroll1", tw(120, 1440, 255, 3615),
                     QStringLiteral("Miniatyrens höjd"));
    for (QScrollBar *bar : {HScroll1, VScroll1}) {
        bar->setRange(1215, 3615);
        bar->setSingleStep(25);
        bar->setPageStep(100);
        bar->setValue(3615);
        // Tab stops, so the canvas size can be set from the keyboard too.
        bar->setFocusPolicy(Qt::StrongFocus);
        // Read as the thumbnail's size, as the read-outs show it, not in twips.
        setAccessibleReading(
            bar, [](int twips) { return twipsToPixels(float(twips)) - 2 * CanvasBorderPixels; },
            [](int pixels) { return int((pixels + 2 * CanvasBorderPixels) * TwipsPerPixel); },
            QStringLiteral("bildpunkter"));
    }
    // A value change and a drag run the same steps, so the canvas follows the thumb.
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });

    Picture1 = new CanvasView(&m_canvas, this);
    place(Picture1, "Picture1", tw(360, 1440, 3615, 3615), QStringLiteral("Förhandsvisning, klicka för bakgrundsfärg"));
    Picture1->setToolTip(QStringLiteral("Klicka för att välja bakgrundsfärg"));
    connect(Picture1, &CanvasView::clicked, this, [this] { Picture1_Click(); });

    Label5 = label(this, "Label5", QStringLiteral("Dra & släpp dina bilder i listan nedan."), tw(4080, 1200, 3255, 255));
    List1 = new PictureList(this);
    place(List1, "List1", tw(4080, 1440, 3135, 2595), QStringLiteral("Bildlista"));
    List1->setAccessibleDescription(Label5->text());
    List1->setAcceptDrops(true);
    List1->setDragDropMode(QAbstractItemView::DropOnly);
    connect(List1, &PictureList::filesDropped, this, [this](const QStringList &p, int bad) { List1_OLEDragDrop(p, bad); });
    connect(List1, &PictureList::addRequested, this, [this] { addPictures(); });
    connect(List1, &PictureList::addTreeRequested, this, [this] { addPictureTree(); });
    connect(List1, &PictureList::removeRequested, this, [this] { removeSelectedPictures(); });
    connect(List1, &PictureList::clearRequested, this, [this] { cmd_tomlista_Click(); });

    cmdtestabild = place(new QPushButton(QStringLiteral("Testa markerad bild"), this), "cmdtestabild",
                         tw(4080, 4080, 1815, 375));
    connect(cmdtestabild, &QPushButton::clicked, this, [this] { cmdtestabild_Click(); });
    cmd_tomlista = place(new QPushButton(QStringLiteral("Töm lista"), this), "cmd_tömlista", tw(6000, 4080, 1215, 375));
    connect(cmd_tomlista, &QPushButton::clicked, this, [this] { cmd_tomlista_Click(); });
    Command1 = place(new QPushButton(QStringLiteral("Kör!"), this), "Command1", tw(4080, 4560, 1815, 495));
    QFont bold = Command1->font();
    bold.setBold(true);
    Command1->setFont(bold);
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    cmdhelp = place(new QPushButton(QStringLiteral("&Hjälp"), this), "cmdhelp", tw(6000, 4560, 1215, 495));
    connect(cmdhelp, &QPushButton::clicked, this, [this] { cmdhelp_Click(); });

    Frame4 = place(new QGroupBox(QStringLiteral("Spara som"), this), "Frame4", tw(120, 5160, 3855, 1095));
    optbmp = place(new QRadioButton(QStringLiteral("BMP"), Frame4), "optbmp", tw(120, 240, 735, 255));
    optjpg = place(new QRadioButton(QStringLiteral("JPG"), Frame4), "optjpg", tw(120, 480, 615, 255));
    Label10 = label(Frame4, "Label10", QStringLiteral("-------> Kvalitet (1 - 100):"), tw(840, 480, 1935, 255));
    txtjpg = place(new QLineEdit(QStringLiteral("65"), Frame4), "txtjpg", tw(2760, 480, 735, 285));
    // Read without the arrow and the colon.
    Label10->setAccessibleName(QStringLiteral("Kvalitet (1 - 100)"));
    labelWith(txtjpg, Label10->accessibleName(), {Label10});
    optgif = place(new QRadioButton(QStringLiteral("GIF"), Frame4), "optgif", tw(120, 720, 615, 255));
    optbmp->setChecked(true);   // the stored layout; Form_Load selects JPG
    connect(txtjpg, &QLineEdit::textChanged, this, [this] { txtjpg_Change(); });
    txtjpg->installEventFilter(this);

    Frame5 = place(new QGroupBox(QStringLiteral("Websida"), this), "Frame5", tw(4080, 5160, 3135, 1095));
    chkweb = place(new QCheckBox(QStringLiteral("Skapa websida med bilderna"), Frame5), "chkweb",
                   tw(120, 240, 2895, 255));
    connect(chkweb, &QCheckBox::clicked, this, [this] { chkweb_Click(); });
    cmdweb = place(new QPushButton(QStringLiteral("Inställningar..."), Frame5), "cmdweb", tw(1200, 600, 1335, 375));
    cmdweb->setEnabled(false);
    connect(cmdweb, &QPushButton::clicked, this, [this] { cmdweb_Click(); });

    enterPressesFocusedButton(this);
    // The canvas and the scroll bars show no focus of their own.
    showFocusFrame({Picture1, HScroll1, VScroll1});
}

void Form1::setTabOrder()
{
    const QList<QWidget *> order = {Picture1, List1, HScroll1, VScroll1, cmd_tomlista, Command1, cmdtestabild,
                                    cmdhelp, optlas[0], optlas[1], optlas[2], Text2, Text1, plusfilnamn2,
                                    plusfilnamn1, optjpg, optgif, optbmp, txtjpg, optlas[3], cmdprocent,
                                    chkweb, cmdweb};
    for (int i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Picture1->setFocus();
}

void Form1::Form_Load()
{
    setWindowIcon(appIcon());
    // The upper part of the designed client area (6330 twips) is all there
    // is to see.
    setFixedHeight(6330 / 15);
    optjpg->setChecked(true);
    centreOnScreen(this);
}

QSize Form1::picture2Inner() const
{
    const int border = 2 * CanvasBorderPixels;
    return QSize(twipsToPixels(float(HScroll1->value())) - border, twipsToPixels(float(VScroll1->value())) - border);
}

SizeMode Form1::sizeMode() const
{
    for (int i = 0; i < 4; ++i)
        if (optlas[i]->isChecked())
            return SizeMode(i);
    return SizeMode::None;
}

OutputFormat Form1::outputFormat() const
{
    if (optjpg->isChecked())
        return OutputFormat::Jpg;
    if (optgif->isChecked())
        return OutputFormat::Gif;
    return OutputFormat::Bmp;
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // The rule is for the focus moving to another control of the window, not
    // for the box's own menu opening or the user turning to another window.
    if (watched == txtjpg && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
            txtjpg_LostFocus();
    }
    return QWidget::eventFilter(watched, event);
}

namespace {
// Replaces the text only when it differs, so the caret stays put while the
// user types a number that needs no change.
void normaliseQualityBox(QLineEdit *box, bool whileTyping)
{
    const auto next = normalisedQuality(box->text(), whileTyping);
    if (next && *next != box->text())
        box->setText(*next);
}
}

void Form1::txtjpg_Change()
{
    normaliseQualityBox(txtjpg, true);
}

void Form1::txtjpg_LostFocus()
{
    normaliseQualityBox(txtjpg, false);
}

void Form1::chkweb_Click()
{
    cmdweb->setEnabled(chkweb->checkState() == Qt::Checked);
}

void Form1::optlas_Click(int index)
{
    if (index == 3 && m_procentTag.isEmpty()) {
        m_procentTag = QStringLiteral("50");
        cmdprocent->setToolTip(QStringLiteral("50%"));
    }
}

void Form1::HScroll1_Change()
{
    m_canvas.setWidth(float(HScroll1->value()));
    Picture1->sync();
    Text2->setText(QString::number(picture2Inner().width()));
}

void Form1::VScroll1_Change()
{
    m_canvas.setHeight(float(VScroll1->value()));
    Picture1->sync();
    Text1->setText(QString::number(picture2Inner().height()));
}

void Form1::cmdprocent_Click()
{
    int answer = 0;
    while (answer < 1 || answer > 100) {
        const auto text = Seam::current().inputBox(
            this, QStringLiteral("Ange önskad storlek av originalstorleken, i procent (1 - 100)"),
            QStringLiteral("Procent av original"), QStringLiteral("50"));
        // Cancel, Escape and the close box keep the percentage there is.
        if (!text)
            return;
        if (const auto v = textToInt16(*text))
            answer = *v;
    }
    m_procentTag = QString::number(answer);
    cmdprocent->setToolTip(m_procentTag + QLatin1Char('%'));
}

Form2 *Form1::report()
{
    if (!m_form2)
        m_form2 = new Form2(this);
    return m_form2;
}

void Form1::appendReport(const QString &line)
{
    report()->appendLine(line);
}

QString Form1::reportText() const
{
    return m_form2 ? m_form2->reportText() : QString();
}

void Form1::showDrawn(const DrawResult &drawn)
{
    m_canvas.setWidth(drawn.canvas.width);
    m_canvas.setHeight(drawn.canvas.height);
    if (!drawn.loadedPicture.isNull())
        m_canvas.setPicture(drawn.loadedPicture);
    else
        m_canvas.setPersistentImage(drawn.image);
    Picture1->sync();
}

void Form1::scaleFailed(const Failure &f)
{
    Seam::current().message(this,
                            failureMessage(QStringLiteral("Ett fel uppstod då bilden skulle skalas om: "), f),
                            QStringLiteral("Felmeddelande"), Seam::Icon::Warning);
}

void Form1::cmdtestabild_Click()
{
    QListWidgetItem *item = List1->currentItem();
    const QString path = item && item->isSelected() ? item->text() : QString();
    if (path.isEmpty()) {
        Seam::current().message(this, QStringLiteral("Markera en bild i listan för att se den som miniatyr!"),
                                QStringLiteral("Tumbilder"), Seam::Icon::Warning);
        return;
    }
    // The run's drawing, without the size mode: the picture is fitted into
    // the canvas as the scroll bars or the last drawing left it.
    DrawSettings s = drawSettings();
    s.applySizeMode = false;
    const DrawResult drawn = drawThumbnail(s, path);
    // A run of one picture: what it kept for the next goes back.
    releaseFreeMemory();
    if (drawn.status == DrawResult::Drawn)
        showDrawn(drawn);
    else if (drawn.status == DrawResult::ScaleFailed)
        scaleFailed(drawn.failure);
}
