#pragma once

#include <QTest>

#include <cstdio>
#include <unistd.h>

// The main of a test that reaches the sound server through Qt Multimedia: the test object runs as
// under QTEST_MAIN, and once it and the application are gone the process ends at once, as the
// program's own end does. Qt Multimedia's PulseAudio engine, an object of static life, drops its
// server connection at exit without its loop's lock; an event from the server at that moment (an
// input going idle as a stream of the last case ends) aborted runs whose every case had passed.
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
        const int status = runTestObject(argc, argv);                                                        \
        std::fflush(nullptr);                                                                                \
        ::_exit(status);                                                                                     \
    }

#define PREGONAL_SOUND_TEST_MAIN(TestObject) PREGONAL_SOUND_TEST_MAIN_WRAPPER(TestObject, QTEST_MAIN_SETUP())
#define PREGONAL_SOUND_TEST_GUILESS_MAIN(TestObject)                                                         \
    PREGONAL_SOUND_TEST_MAIN_WRAPPER(TestObject, QTEST_QAPP_SETUP(QCoreApplication))
