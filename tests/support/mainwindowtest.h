#pragma once
#include "app/form1.h"
#include "scriptedseam.h"
#include <QObject>
#include <memory>

// A test whose every function starts with a fresh main window and a scripted
// seam, as the windows it opens need them.
class MainWindowTest : public QObject {
    Q_OBJECT
protected:
    std::unique_ptr<ScriptedSeam> seam;
    std::unique_ptr<Form1> main;

private slots:
    void init();
    void cleanup();
};
