// The process-wide logger: the destination set, level filtering with lazy
// messages, thread names, synchronous and asynchronous sending, flush, and many
// threads logging at once.
#include "LogTestSupport.h"
#include "TestMain.h"
#include "logging/FileDestination.h"
#include "logging/Logger.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <future>
#include <thread>

using namespace trevalin;
using trevalin::test::RecordingDestination;

namespace {

template <typename D = RecordingDestination, typename... Args> std::shared_ptr<D> added(Args... args) {
    auto d = std::make_shared<D>(args...);
    Logger::addDestination(d);
    return d;
}

} // namespace

class TestLogger : public QObject {
    Q_OBJECT
private slots:
    void init() { Logger::removeAllDestinations(); }
    void cleanup() {
        Logger::flush(10);
        Logger::removeAllDestinations();
    }

    void destinationSetHasIdentity() {
        auto a = added();
        Logger::addDestination(a); // the same one again is not added twice
        auto b = added();
        QCOMPARE(Logger::countDestinations(), 2);
        QVERIFY(Logger::removeDestination(a));
        QVERIFY(!Logger::removeDestination(a));
        TLOG_INFO(QStringLiteral("only b"));
        QVERIFY(Logger::flush(10));
        QVERIFY(a->lines().isEmpty());
        QCOMPARE(b->entries().size(), 1);
    }

    void levelFilteringIsLazy_data() {
        QTest::addColumn<int>("minLevel");
        QTest::newRow("verbose takes all") << 0;
        QTest::newRow("debug") << 1;
        QTest::newRow("info") << 2;
        QTest::newRow("warning") << 3;
        QTest::newRow("error") << 4;
    }
    // A message is evaluated only when a destination takes its level, and then once for
    // all of them, synchronous or not.
    void levelFilteringIsLazy() {
        QFETCH(int, minLevel);
        int evaluations = 0;
        auto message = [&](const char* word) {
            ++evaluations;
            return QString::fromLatin1(word);
        };
        TLOG_ERROR(message("nobody listens"));
        const auto d = added(), sync = added();
        for (const auto& each : {d, sync}) {
            each->setFormat(QStringLiteral("$L $M"));
            each->setMinLevel(Level(minLevel));
        }
        sync->setAsynchronously(false);
        TLOG_VERBOSE(message("v"));
        TLOG_DEBUG(message("d"));
        TLOG_INFO(message("i"));
        TLOG_WARNING(message("w"));
        TLOG_ERROR(message("e"));
        QCOMPARE(evaluations, 5 - minLevel);
        QVERIFY(Logger::flush(10));
        const QStringList all = {"VERBOSE v", "DEBUG d", "INFO i", "WARNING w", "ERROR e"};
        QCOMPARE(d->lines(), all.mid(minLevel));
        QCOMPARE(sync->lines(), all.mid(minLevel));
    }

    void entryPointsCarryLevelAndSource() {
        auto d = added();
        const QVariant context(QStringLiteral("ctx"));
        Logger::verbose([] { return QStringLiteral("a"); }, "/p/A.cpp", "f(x:)", 1);
        Logger::debug([] { return QStringLiteral("b"); }, "/p/B.cpp", "g", 2, context);
        Logger::info([] { return QStringLiteral("c"); }, "/p/C.cpp", "h()", 3);
        Logger::warning([] { return QStringLiteral("d"); }, "/p/D.cpp", "i", 4);
        Logger::error([] { return QStringLiteral("e"); }, "/p/E.cpp", "j", 5);
        Logger::custom(
            Level::Info, [] { return QStringLiteral("f"); }, "/p/F.cpp", "k", 6);
        QVERIFY(Logger::flush(10));
        const QList<LogEntry> entries = d->entries();
        QCOMPARE(entries.size(), 6);
        const Level levels[] = {Level::Verbose, Level::Debug, Level::Info,
                                Level::Warning, Level::Error, Level::Info};
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(entries[i].level, levels[i]);
            QCOMPARE(entries[i].line, i + 1);
            QCOMPARE(entries[i].message, QString(QChar(u'a' + i)));
            QVERIFY(entries[i].thread.isEmpty()); // logged on the main thread
        }
        QCOMPARE(entries[0].file, QStringLiteral("/p/A.cpp"));
        QCOMPARE(entries[0].function, QStringLiteral("f()"));
        QCOMPARE(entries[1].context, context);
        QVERIFY(QDateTime::currentMSecsSinceEpoch() * 1000 - entries[0].timeUs < 60 * 1000000LL);
    }

    void shortenFunctionName_data() {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* name, const char* function, const char* expected) {
            QTest::newRow(name) << QString::fromUtf8(function) << QString::fromUtf8(expected);
        };
        row("no parentheses", "triage", "triage");
        row("first parenthesis", "a(b(c))(d)", "a()");
        row("signature", "void trevalin::Process::triage(bool)", "void trevalin::Process::triage()");
        row("empty", "", "");
        row("only parenthesis", "(", "()");
    }
    void shortenFunctionName() {
        QFETCH(QString, function);
        QFETCH(QString, expected);
        QCOMPARE(Logger::shortenFunctionName(function), expected);
    }

    // The main thread has no name (entryPointsCarryLevelAndSource).
    void threadNames() {
        QVERIFY(Logger::isMainThread());

        QString named;
        std::unique_ptr<QThread> thread(QThread::create([&] { named = Logger::currentThreadName(); }));
        thread->setObjectName(QStringLiteral("digest-worker"));
        thread->start();
        thread->wait();
        QCOMPARE(named, QStringLiteral("digest-worker"));

        QString plain, labelled, cleared;
        bool mainThere = true;
        std::thread([&] {
            mainThere = Logger::isMainThread();
            plain = Logger::currentThreadName();
            Logger::setThreadLabel(QStringLiteral("intake-queue"));
            labelled = Logger::currentThreadName();
            Logger::setThreadLabel({});
            cleared = Logger::currentThreadName();
        }).join();
        QVERIFY(!mainThere);
        QVERIFY2(plain.startsWith(QStringLiteral("<Thread: 0x")), qPrintable(plain));
        QCOMPARE(labelled, QStringLiteral("intake-queue"));
        QCOMPARE(cleared, plain);
        // A destination's queue is named by its label: synchronousSendingMayLogAgain.
    }

    // One of two asynchronous destinations has its queue held shut: the callers return
    // before any of its lines is written, and flush gives up until it is let go; then
    // flush returns once both are done, a file destination's lines being in its file.
    void flushWaitsForEveryQueue() {
        QTemporaryDir dir;
        auto file = added<FileDestination>(dir.filePath(QStringLiteral("flush.log")));
        auto held = added();
        std::promise<void> release;
        held->queue().async(
            [gate = release.get_future().share()] { gate.wait_for(std::chrono::seconds(10)); });
        for (int i = 0; i < 10; ++i)
            TLOG_INFO(QStringLiteral("line %1").arg(i));
        QVERIFY(held->lines().isEmpty());
        QVERIFY(!Logger::flush(0.05));
        release.set_value();
        QVERIFY(Logger::flush(10));
        QCOMPARE(held->lines().size(), 10);
        QCOMPARE(test::readAll(file->logFilePath()).count('\n'), 10);
    }

    void eightThreadsLoseNoLine() {
        QTemporaryDir dir;
        auto file = added<FileDestination>(dir.filePath(QStringLiteral("threads.log")));
        file->setFormat(QStringLiteral("$T|$M"));
        auto sync = added();
        sync->setAsynchronously(false);

        const int threads = 8;
        const int perThread = 2000;
        // Long enough that a torn write would show.
        const QString padding(200, u'x');
        std::vector<std::thread> workers;
        std::atomic<int> ready{0};
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                Logger::setThreadLabel(QStringLiteral("t%1").arg(t));
                ++ready;
                while (ready.load() < threads)
                    std::this_thread::yield();
                for (int i = 0; i < perThread; ++i)
                    TLOG_INFO(QStringLiteral("%1 %2 %3").arg(t).arg(i).arg(padding));
            });
        }
        for (auto& w : workers)
            w.join();
        QVERIFY(Logger::flush(30));

        QList<QByteArray> lines = test::readAll(file->logFilePath()).split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        QCOMPARE(lines.size(), threads * perThread);
        const QRegularExpression pattern(QStringLiteral("^t(\\d)\\|(\\d) (\\d+) x{200}$"));
        std::vector<int> next(threads, 0);
        for (const QByteArray& line : lines) {
            const QRegularExpressionMatch m = pattern.match(QString::fromUtf8(line));
            QVERIFY2(m.hasMatch(), line.left(80).constData());
            const int t = m.captured(2).toInt();
            QCOMPARE(m.captured(1).toInt(), t);
            // Each thread's lines arrive in the order it logged them.
            QCOMPARE(m.captured(3).toInt(), next[t]);
            ++next[t];
        }
        for (int t = 0; t < threads; ++t)
            QCOMPARE(next[t], perThread);
        QCOMPARE(sync->lines().size(), threads * perThread);
    }

    // A synchronous destination's lines are there when the call returns, written on its
    // queue; its writing may log again without a deadlock.
    void synchronousSendingMayLogAgain() {
        class Chatty : public RecordingDestination {
        public:
            std::optional<QString> send(const LogEntry& entry) override {
                if (entry.message == QStringLiteral("outer"))
                    TLOG_INFO(QStringLiteral("inner"));
                return RecordingDestination::send(entry);
            }
        };
        auto d = added<Chatty>();
        d->setFormat(QStringLiteral("$T $M"));
        d->setAsynchronously(false);
        TLOG_INFO(QStringLiteral("outer"));
        QCOMPARE(d->lines(),
                 (QStringList{d->queueLabel() + QStringLiteral(" inner"), QStringLiteral(" outer")}));
    }
};

TREVALIN_TEST_MAIN(TestLogger)
#include "tst_Logger.moc"
