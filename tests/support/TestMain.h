#pragma once

#include "TestEnvironment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTest>

// Like QTEST_MAIN and QTEST_GUILESS_MAIN, with the test environment isolated first.
#define GARRISON_TEST_MAIN_WITH(Application, TestObject)                                           \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        garrison::test::prepareEnvironment();                                                      \
        Application app(argc, argv);                                                               \
        QCoreApplication::setAttribute(Qt::AA_Use96Dpi, true);                                     \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

#define GARRISON_TEST_MAIN(TestObject) GARRISON_TEST_MAIN_WITH(QApplication, TestObject)
#define GARRISON_TEST_GUILESS_MAIN(TestObject) GARRISON_TEST_MAIN_WITH(QCoreApplication, TestObject)
