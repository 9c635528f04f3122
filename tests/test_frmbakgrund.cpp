// The background colour window: every swatch where and what it should be,
// and what a click, a click beside the swatches and the close box do to the
// main window's canvas.
#include "app/form1.h"
#include "scriptedseam.h"
#include "windows/frmbakgrund.h"
#include "mainwindowtest.h"
#include "testmain.h"
#include "testpictures.h"
#include <QtTest>
#include <QLabel>

class TestFrmbakgrund : public MainWindowTest {
    Q_OBJECT
private slots:
    void window();
    void swatches_data();
    void swatches();
    void clickChoosesColour_data();
    void clickChoosesColour();
    void clicksBesideSwatches_data();
    void clicksBesideSwatches();
    void closeBoxChangesNothing();
    void keys_data();
    void keys();

private:
    // Something drawn on the canvas, so that erasing it shows.
    void drawSomething()
    {
        QImage red(20, 20, QImage::Format_RGB32);
        red.fill(Qt::red);
        main->canvas().paintStretched(red, QRectF(0, 0, 900, 900));
    }

};

void TestFrmbakgrund::window()
{
    frmbakgrund colours(main.get());
    QCOMPARE(colours.objectName(), QStringLiteral("frmbakgrund"));
    QCOMPARE(colours.windowTitle(), QStringLiteral("Bakgrundsfärg"));
    QCOMPARE(colours.size(), QSize(296, 236));
    QCOMPARE(colours.minimumSize(), colours.maximumSize());
    QVERIFY(!(colours.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(colours.windowIcon().cacheKey(), main->windowIcon().cacheKey());

    auto *label = colours.findChild<QLabel *>(QStringLiteral("Label1"));
    QVERIFY(label);
    QCOMPARE(label->text(), QString::fromUtf8(
        "Om du valt \"Lås både höjd och bredd\" för miniatyrena, kan det hända att bilden inte täcker hela ytan av "
        "\"bakgrunden\", och den överblivna ytan kommer då med i miniatyren. Välj dess färg, genom att klicka på "
        "valfri färg nedan:"));
    QCOMPARE(label->geometry(), QRect(8, 8, 281, 57));
    QVERIFY(label->wordWrap());
    // The whole text is readable inside the label.
    const QRect need = QFontMetrics(label->font()).boundingRect(QRect(QPoint(), label->size()), Qt::TextWordWrap,
                                                                 label->text());
    QVERIFY(need.width() <= label->width() && need.height() <= label->height());

    // The swatches take the focus, the text does not; the first swatch has it.
    QCOMPARE(colours.focusPolicy(), Qt::NoFocus);
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    for (QLabel *swatch : colours.findChildren<QLabel *>(QStringLiteral("lbl")))
        QCOMPARE(swatch->focusPolicy(), Qt::StrongFocus);
    colours.show();
    QCOMPARE(colours.focusWidget(), colours.lbl(0));

    QList<int> indexes;
    for (int i = 0; i <= 27; ++i)
        indexes << i;
    for (int i = 32; i <= 39; ++i)
        indexes << i;
    QCOMPARE(colours.lblIndexes(), indexes);
    QCOMPARE(colours.findChildren<QLabel *>(QStringLiteral("lbl")).size(), 36);
}

void TestFrmbakgrund::swatches_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QPoint>("twips");
    QTest::addColumn<QString>("colour");
    const int lefts[] = {120, 840, 1560, 2280, 3000, 3720};
    const int tops[] = {1200, 1560, 1920, 2280, 2640, 3000};
    const struct {
        int index;
        const char *colour;
    } grid[6][6] = {
        {{0, "#ffffff"}, {10, "#e0e0e0"}, {9, "#c0c0c0"}, {8, "#808080"}, {32, "#404040"}, {7, "#000000"}},
        {{6, "#ff0000"}, {5, "#c00000"}, {33, "#800000"}, {4, "#ffc080"}, {3, "#ff8000"}, {2, "#c04000"}},
        {{1, "#804040"}, {27, "#ffff80"}, {11, "#ffffc0"}, {26, "#ffff00"}, {25, "#c0c000"}, {21, "#00c000"}},
        {{24, "#c0ffc0"}, {23, "#80ff80"}, {22, "#00ff00"}, {15, "#c0c0ff"}, {20, "#004000"}, {19, "#c0ffff"}},
        {{18, "#80ffff"}, {17, "#00ffff"}, {16, "#00c0c0"}, {37, "#ff00ff"}, {14, "#8080ff"}, {13, "#0000ff"}},
        {{12, "#000080"}, {39, "#ffc0ff"}, {38, "#ff80ff"}, {36, "#c000c0"}, {35, "#800080"}, {34, "#400040"}},
    };
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 6; ++column) {
            const auto &cell = grid[row][column];
            QTest::addRow("lbl(%d)", cell.index)
                << cell.index << QPoint(lefts[column], tops[row]) << QString::fromLatin1(cell.colour);
        }
}

void TestFrmbakgrund::swatches()
{
    QFETCH(int, index);
    QFETCH(QPoint, twips);
    QFETCH(QString, colour);
    frmbakgrund colours(main.get());
    QLabel *swatch = colours.lbl(index);
    QVERIFY(swatch);
    QCOMPARE(swatch->objectName(), QStringLiteral("lbl"));
    QCOMPARE(swatch->geometry(), QRect(twips.x() / 15, twips.y() / 15, 41, 17));
    QCOMPARE(swatch->text(), QString());
    QCOMPARE(swatch->frameShape(), QFrame::Box);
    QCOMPARE(swatch->lineWidth(), 1);
    QVERIFY(swatch->autoFillBackground());
    QCOMPARE(swatch->palette().color(QPalette::Window).name(), colour);
    // What gets painted is that colour too.
    const QImage painted = swatch->grab().toImage();
    QCOMPARE(QColor(painted.pixel(painted.width() / 2, painted.height() / 2)).name(), colour);
}

void TestFrmbakgrund::clickChoosesColour_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("value");    // &H00BBGGRR
    QTest::newRow("top left, white") << 0 << 0xFFFFFFu;
    QTest::newRow("top right, black") << 7 << 0x000000u;
    QTest::newRow("orange #FF8000") << 3 << 33023u;
    QTest::newRow("blue #0000FF") << 13 << 0xFF0000u;
    QTest::newRow("navy #000080, bottom left") << 12 << 0x800000u;
    QTest::newRow("#400040, bottom right") << 34 << 0x400040u;
}

void TestFrmbakgrund::clickChoosesColour()
{
    QFETCH(int, index);
    QFETCH(uint, value);
    drawSomething();
    bool stillShown = true;
    int chosen = 0;
    seam->onModal = [&](QDialog *d) {
        auto *colours = qobject_cast<frmbakgrund *>(d);
        QSignalSpy spy(colours, &frmbakgrund::colourChosen);
        d->show();
        QTest::mouseClick(colours->lbl(index), Qt::LeftButton);
        stillShown = d->isVisible();
        chosen = int(spy.count());
    };
    main->Picture1_Click();
    QCOMPARE(seam->shown, QStringList({"frmbakgrund"}));
    QVERIFY(!stillShown);
    QCOMPARE(chosen, 1);
    QCOMPARE(main->canvas().backColour(), ColourValue(value));
    // Choosing a colour erases what the canvas showed.
    QVERIFY(TestPictures::allPixels(main->canvas().persistentImage(), Canvas::toColor(value).rgb()));
}

void TestFrmbakgrund::clicksBesideSwatches_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("button");
    QTest::newRow("explanatory text") << "Label1" << QPoint(20, 20) << int(Qt::LeftButton);
    QTest::newRow("between swatches") << "frmbakgrund" << QPoint(52, 88) << int(Qt::LeftButton);
    QTest::newRow("below the grid") << "frmbakgrund" << QPoint(150, 230) << int(Qt::LeftButton);
    QTest::newRow("right button on a swatch") << "lbl" << QPoint(20, 8) << int(Qt::RightButton);
}

void TestFrmbakgrund::clicksBesideSwatches()
{
    QFETCH(QString, target);
    QFETCH(QPoint, at);
    QFETCH(int, button);
    frmbakgrund colours(main.get());
    QSignalSpy spy(&colours, &frmbakgrund::colourChosen);
    colours.show();
    QWidget *receiver = target == colours.objectName() ? &colours : colours.findChild<QWidget *>(target);
    QVERIFY(receiver);
    QTest::mouseClick(receiver, Qt::MouseButton(button), {}, at);
    QCOMPARE(spy.count(), 0);
    QVERIFY(colours.isVisible());
}

void TestFrmbakgrund::closeBoxChangesNothing()
{
    drawSomething();
    const ColourValue before = main->canvas().backColour();
    const QImage drawn = main->canvas().persistentImage();
    seam->onModal = [](QDialog *d) {
        d->show();
        d->close();
    };
    main->Picture1_Click();
    QCOMPARE(main->canvas().backColour(), before);
    QCOMPARE(main->canvas().persistentImage(), drawn);
}

void TestFrmbakgrund::keys_data()
{
    // A negative key is a repeat of that key held down.
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("chosen");   // the swatch's index; -1: none
    QTest::addColumn<bool>("closed");
    using K = QList<int>;
    QTest::newRow("Enter on the first swatch") << K{Qt::Key_Return} << 0 << true;
    QTest::newRow("Space") << K{Qt::Key_Space} << 0 << true;
    QTest::newRow("right") << K{Qt::Key_Right, Qt::Key_Return} << 10 << true;
    QTest::newRow("right stops at the row's end")
        << K{Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right, Qt::Key_Right,
             Qt::Key_Return}
        << 7 << true;
    QTest::newRow("down") << K{Qt::Key_Down, Qt::Key_Return} << 6 << true;
    QTest::newRow("down stops at the bottom")
        << K{Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down,
             Qt::Key_Space}
        << 12 << true;
    QTest::newRow("End") << K{Qt::Key_End, Qt::Key_Return} << 7 << true;
    QTest::newRow("End of the second row") << K{Qt::Key_Down, Qt::Key_End, Qt::Key_Return} << 2 << true;
    QTest::newRow("Tab goes along the row") << K{Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Return} << 9 << true;
    QTest::newRow("Escape chooses nothing") << K{Qt::Key_Right, Qt::Key_Escape} << -1 << true;
    QTest::newRow("a held Enter chooses nothing") << K{-Qt::Key_Return, -Qt::Key_Space} << -1 << false;
    QTest::newRow("other keys choose nothing") << K{Qt::Key_A, Qt::Key_1, Qt::Key_Delete} << -1 << false;
}

// Keyboard only: the keys go where the focus is, as they do from a keyboard.
void TestFrmbakgrund::keys()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, chosen);
    QFETCH(bool, closed);
    const ColourValue before = main->canvas().backColour();
    bool shown = false;
    seam->onModal = [&](QDialog *d) {
        d->show();
        for (int key : keys) {
            QWidget *focus = d->focusWidget();
            QVERIFY(focus);
            if (key < 0) {
                QKeyEvent held(QEvent::KeyPress, -key, Qt::NoModifier, QString(), true);
                QCoreApplication::sendEvent(focus, &held);
            } else {
                QTest::keyClick(focus, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
            }
        }
        shown = d->isVisible();
    };
    main->Picture1_Click();
    QCOMPARE(!shown, closed);
    if (chosen < 0) {
        QCOMPARE(main->canvas().backColour(), before);
    } else {
        frmbakgrund colours(main.get());
        QCOMPARE(main->canvas().backColour(), Canvas::fromColor(colours.lbl(chosen)->palette().color(QPalette::Window)));
    }
}

TUMBILDER_TEST_MAIN(TestFrmbakgrund)
#include "test_frmbakgrund.moc"
