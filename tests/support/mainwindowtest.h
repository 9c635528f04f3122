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

protected slots:
    // A test with more to set up has an init() and cleanup() of its own that
    // call these.
    void init();
    void cleanup();
};
