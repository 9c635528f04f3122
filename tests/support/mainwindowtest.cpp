#include "mainwindowtest.h"

void MainWindowTest::init()
{
    seam = std::make_unique<ScriptedSeam>();
    main = std::make_unique<Form1>();
}

void MainWindowTest::cleanup()
{
    main.reset();
    seam.reset();
}
