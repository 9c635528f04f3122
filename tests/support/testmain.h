#pragma once
#include "pixels/process.h"
#include <QtTest>

// QTEST_MAIN and QTEST_GUILESS_MAIN, with the process set up first, as the
// program's main() sets it up before any picture is read.
#define TUMBILDER_TEST_MAIN(TestObject) QTEST_MAIN_WRAPPER(TestObject, initPictureProcess(); QTEST_MAIN_SETUP())
#define TUMBILDER_TEST_GUILESS_MAIN(TestObject)                                                              \
    QTEST_MAIN_WRAPPER(TestObject, initPictureProcess(); QTEST_QAPP_SETUP(QCoreApplication))
