// window-run: one run of N small files (default 10,000) through the whole engine — a
// folder added, triaged, every file checksummed, the database saved — in a fresh
// temporary home, with or without the main window shown, while a 10 ms timer on the
// GUI thread measures how late the event loop serves it. Prints one line:
//
//   window=0|1 files=N seconds=S max_late_ms=L gui_cpu_ms=C rows=R
//
// gui_cpu_ms is the processor time the GUI thread spent during the run.
//
// With the window the run ends when the engine is idle again and the window's file
// list holds every record (the view has caught up). bench/window-figures runs it in
// both modes and compares.
//
//   window-run [--window] [--files N]
//
// WINDOW_RUN_FOLDER=DIR takes the files already in DIR instead (for profiling the run
// without making them).
#include "../RunSupport.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "engine/Global.h"
#include "engine/Process.h"
#include "store/AppSettings.h"
#include "store/Database.h"
#include "ui/FileListModel.h"
#include "ui/MainLayoutView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFutureWatcher>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <ctime>

using namespace trevalin;

int main(int argc, char** argv) {
    bool window = false;
    int files = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window") == 0)
            window = true;
        else if (std::strcmp(argv[i], "--files") == 0 && i + 1 < argc)
            files = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--window] [--files N]\n", argv[0]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    bench::isolateHome(home);
    // The files are made in the home unless WINDOW_RUN_FOLDER names a folder that holds them.
    QString folder = qEnvironmentVariable("WINDOW_RUN_FOLDER");
    if (!folder.isEmpty()) {
        files = int(QDir(folder).entryList(QDir::Files).size());
    } else {
        folder = home.path() + QStringLiteral("/files");
        QDir().mkpath(folder);
    }
    for (int i = 0; i < files && !qEnvironmentVariableIsSet("WINDOW_RUN_FOLDER"); ++i) {
        QFile file(folder + QStringLiteral("/file-%1.txt").arg(i, 5, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(i).repeated(64)) <= 0)
            return 2;
    }

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));
    AppSettings::shared().setSplashScreen(false);
    AppSettings::shared().setWindowVisible(true);
    Engine::start({.persistence = true, .flags = true, .algorithms = true, .databases = true});
    Global& global = Global::shared();
    if (global.status() != ApplicationState::Idle)
        global.set(ApplicationState::Idle);

    std::unique_ptr<MainWindow> mainWindow;
    if (window) {
        mainWindow = std::make_unique<MainWindow>();
        mainWindow->bringForward();
        QCoreApplication::processEvents();
    }

    // Start-up work (the clean-up that follows loading) ends before the clock starts.
    EnginePool::waitForDone();
    QCoreApplication::processEvents();

    // The probe: a 10 ms timer whose every lateness is recorded.
    QElapsedTimer clock;
    bench::LatenessProbe probe(clock);

    bool engineDone = false;
    QFutureWatcher<void> watcher;
    const auto finished = [&] {
        // The save that ends the run is done when the pool is idle (asked without waiting).
        if (!engineDone || !EnginePool::waitForDone(0))
            return;
        if (mainWindow && mainWindow->view().mainLayout().fileModel().rowCount() < files)
            return;
        app.quit();
    };
    QObject::connect(&watcher, &QFutureWatcher<void>::finished, [&] {
        engineDone = true;
        if (qEnvironmentVariableIsSet("WINDOW_RUN_VERBOSE"))
            std::fprintf(stderr, "intake finished at %.3f s\n", clock.nsecsElapsed() / 1e9);
        finished();
    });
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, finished);

    const auto threadCpuMs = [] {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
    };
    const double cpuAtStart = threadCpuMs();
    clock.start();
    probe.start();
    poll.start();
    watcher.setFuture(Process::added(Location(folder)));
    app.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    const double guiCpuMs = threadCpuMs() - cpuAtStart;

    const int rows =
        mainWindow ? mainWindow->view().mainLayout().fileModel().rowCount() : int(Database::shared().count());
    std::printf("window=%d files=%d seconds=%.3f max_late_ms=%.1f gui_cpu_ms=%.0f rows=%d\n", window ? 1 : 0,
                files, seconds, probe.worstMs(), guiCpuMs, rows);
    return rows == files && int(Database::shared().count()) == files ? 0 : 1;
}
