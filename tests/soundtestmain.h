#pragma once

#include "audio/qtsoundserver.h"

#include <QTest>

// The main of a test that reaches the sound server through Qt Multimedia: the test object runs as
// under QTEST_MAIN, and once it and the application are gone the process ends as the program's
// own end does, leaving the sound engine be (an input going idle as a stream of the last case
// ended aborted runs whose every case had passed).
#define PREGONAL_SOUND_TEST_MAIN_WRAPPER(TestObject, ...)                                                    \
    static int runTestObject(int argc, char *argv[])                                                         \
    {                                                                                                        \
        QT_PREPEND_NAMESPACE(QTest::Internal::callInitMain)<TestObject>();                                   \
        __VA_ARGS__                                                                                          \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }                                                                                                        \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        endLeavingSoundEngine(runTestObject(argc, argv));                                                    \
    }

#define PREGONAL_SOUND_TEST_MAIN(TestObject) PREGONAL_SOUND_TEST_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP())
#define PREGONAL_SOUND_TEST_GUILESS_MAIN(TestObject)                                                         \
    PREGONAL_SOUND_TEST_MAIN_WRAPPER(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
