// list-run: the main window's list over a large content database, for the figures of
// bench/list-figures. In a fresh temporary home it copies the given database file in,
// optionally shows the main window (offscreen), loads the database as start-up does and
// prints one line:
//
//   window=0|1 records=N ready_ms=R shown_ms=S rss_mib=M update_us=U max_late_ms=L
//
// ready_ms: from the start of loading to the database ready; shown_ms: from ready to the
// file list holding every record and painted once more (window only); rss_mib: the
// resident memory once everything is shown; update_us: the GUI thread's time to take
// one changed record into the list and repaint it (median of 200, on screen and off);
// scroll_us: the time to scroll to a far place and draw the rows there (median of 100);
// menu_us: the time to pop up the context menu of a file far down the list (median of 20);
// max_late_ms: the worst lateness of a 10 ms timer on the GUI thread from the start of
// loading until the list was shown.
//
//   list-run DATABASE.plist [--window]
#include "../RunSupport.h"
#include "engine/Engine.h"
#include "engine/EnginePool.h"
#include "store/AppSettings.h"
#include "store/Database.h"
#include "ui/ContentListView.h"
#include "ui/FileListModel.h"
#include "ui/MainLayoutView.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QConcatenateTablesProxyModel>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFutureWatcher>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace trevalin;

namespace {

double residentMiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return -1;
}

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s DATABASE.plist [--window]\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const bool window = argc > 2 && std::strcmp(argv[2], "--window") == 0;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    bench::isolateHome(home);

    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Trevalin"));
    QDir().mkpath(QFileInfo(Database::defaultFile()).path());
    if (!QFile::copy(source, Database::defaultFile())) {
        std::fprintf(stderr, "cannot copy %s\n", argv[1]);
        return 2;
    }
    AppSettings::shared().setSplashScreen(false);
    AppSettings::shared().setWindowVisible(true);
    Engine::start({.persistence = true, .flags = true, .algorithms = true});

    std::unique_ptr<MainWindow> mainWindow;
    PaintCounter paints;
    if (window) {
        mainWindow = std::make_unique<MainWindow>();
        mainWindow->bringForward();
        mainWindow->view().mainLayout().list().viewport()->installEventFilter(&paints);
        QCoreApplication::processEvents();
    }

    QElapsedTimer clock;
    bench::LatenessProbe probe(clock);

    Database& database = Database::shared();
    qint64 readyNs = -1;
    qint64 shownNs = -1;
    int paintsAtReady = 0;
    QFutureWatcher<void> loading;
    QObject::connect(&loading, &QFutureWatcher<void>::finished, [&] {
        readyNs = clock.nsecsElapsed();
        paintsAtReady = paints.paints;
    });
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (readyNs < 0)
            return;
        const bool shown =
            !mainWindow || (mainWindow->view().mainLayout().fileModel().rowCount() == int(database.count()) &&
                            paints.paints > paintsAtReady);
        if (!shown)
            return;
        shownNs = clock.nsecsElapsed();
        app.quit();
    });
    clock.start();
    probe.start();
    poll.start();
    loading.setFuture(QtConcurrent::run(&EnginePool::pool(), [] { Engine::loadContent(); }));
    app.exec();
    probe.stop();
    poll.stop();
    EnginePool::waitForDone();
    QCoreApplication::processEvents();
    const double rss = residentMiB();

    // One changed record at a time, as the database reports it, into the list and on screen.
    double updateUs = 0;
    double scrollUs = 0;
    double menuUs = 0;
    if (mainWindow) {
        FileListModel& model = mainWindow->view().mainLayout().fileModel();
        ContentListView& list = mainWindow->view().mainLayout().list();
        const auto* sections = qobject_cast<const QConcatenateTablesProxyModel*>(list.model());
        QWidget* viewport = list.viewport();
        std::vector<double> times;
        for (int i = 0; i < 200; ++i) {
            // Every other record is on screen; the rest lie far below.
            const int row = i % 2 == 0 ? (i / 2) % 8 : model.rowCount() - 1 - i;
            RecordChanges changes;
            changes.changed.append(model.location(row));
            QElapsedTimer one;
            one.start();
            model.apply(changes);
            // What the view repaints for it: the row, when it is on screen.
            const QRect shown = list.visualRect(sections->mapFromSource(model.index(row))) & viewport->rect();
            if (!shown.isEmpty())
                viewport->grab(shown);
            times.push_back(one.nsecsElapsed() / 1e3);
        }
        std::sort(times.begin(), times.end());
        updateUs = times[times.size() / 2];

        // Scrolling to far places and drawing the rows shown there.
        QScrollBar* bar = mainWindow->view().mainLayout().list().verticalScrollBar();
        times.clear();
        for (int i = 0; i < 100; ++i) {
            QElapsedTimer one;
            one.start();
            bar->setValue(int((i * 7919L) % (bar->maximum() + 1)));
            viewport->grab();
            times.push_back(one.nsecsElapsed() / 1e3);
        }
        std::sort(times.begin(), times.end());
        scrollUs = times[times.size() / 2];

        // The context menu of a file far down the list (its five checksums), popped up.
        times.clear();
        for (int i = 0; i < 20; ++i) {
            const QModelIndex index = sections->mapFromSource(model.index(model.rowCount() - 1 - i * 997));
            QElapsedTimer one;
            one.start();
            emit list.menuRequested(index, QPoint(10, 10));
            times.push_back(one.nsecsElapsed() / 1e3);
            if (QMenu* menu = mainWindow->view().mainLayout().openMenu())
                menu->close();
            QCoreApplication::processEvents();
        }
        std::sort(times.begin(), times.end());
        menuUs = times[times.size() / 2];
        if (qEnvironmentVariableIsSet("LIST_RUN_VERBOSE"))
            std::fprintf(stderr, "paints %d, update max %.0f us\n", paints.paints, times.back());
    }

    std::printf(
        "window=%d records=%lld ready_ms=%.0f shown_ms=%.0f rss_mib=%.0f update_us=%.0f scroll_us=%.0f "
        "menu_us=%.0f max_late_ms=%.1f\n",
        window ? 1 : 0, static_cast<long long>(database.count()), readyNs / 1e6, (shownNs - readyNs) / 1e6,
        rss, updateUs, scrollUs, menuUs, probe.worstMs());
    return 0;
}
