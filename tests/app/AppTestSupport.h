// Shared by the desktop program's tests: a main() with a QApplication (widgets on the
// offscreen platform) and a fresh HOME, and a way to wait for a log line.
#pragma once

#include "LogRecorder.h"
#include "TestMain.h"

#include <QApplication>
#include <QTest>

#define TREVALIN_GUI_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char** argv) {                                                                        \
        QTemporaryDir home;                                                                                  \
        if (!home.isValid())                                                                                 \
            return 2;                                                                                        \
        ::trevalin::test::isolateHome(home.path());                                                          \
        QApplication app(argc, argv);                                                                        \
        QCoreApplication::setOrganizationName(QStringLiteral("corvane"));                                    \
        QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));                                    \
        TestClass tc;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

namespace trevalin::test {

// Whether `recorder` holds a line equal to `line` ("LEVEL: message"), waiting up to 5 s.
inline bool waitForLine(const LogRecorder& recorder, const QString& line) {
    return QTest::qWaitFor([&] { return recorder.lines().contains(line); }, 5000);
}

} // namespace trevalin::test
