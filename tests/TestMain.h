// TREVALIN_TEST_MAIN: the main() of every Qt Test executable. Before any Qt
// object exists it points HOME and the XDG folders at a fresh temporary folder,
// so tests never read or write the real user's settings, data or caches, and it
// names the application as the program does (organisation "corvane", application
// "Trevalin"), so QStandardPaths and QSettings resolve to the same places.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace trevalin::test {

inline void isolateHome(const QString& root) {
    const QByteArray base = root.toUtf8();
    qputenv("HOME", base);
    qputenv("XDG_CONFIG_HOME", base + "/.config");
    qputenv("XDG_DATA_HOME", base + "/.local/share");
    qputenv("XDG_CACHE_HOME", base + "/.cache");
    qputenv("XDG_STATE_HOME", base + "/.local/state");
    for (const char* folder : {"/.config", "/.local/share", "/.cache"})
        QDir().mkpath(root + QLatin1String(folder));
}

} // namespace trevalin::test

#define TREVALIN_TEST_MAIN(TestClass)                                                                        \
    int main(int argc, char** argv) {                                                                        \
        QTemporaryDir home;                                                                                  \
        if (!home.isValid())                                                                                 \
            return 2;                                                                                        \
        ::trevalin::test::isolateHome(home.path());                                                          \
        QCoreApplication app(argc, argv);                                                                    \
        QCoreApplication::setOrganizationName(QStringLiteral("corvane"));                                    \
        QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));                                    \
        TestClass tc;                                                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
