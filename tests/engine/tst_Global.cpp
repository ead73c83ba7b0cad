// Tests of the application state machine: every transition of the table and the
// ones without effects, driven with recording stand-ins for the icon animation,
// the sound player and the taglines, and a flag store whose folder-store flush
// counts the saves; plus the state names, serialised concurrent changes and the
// shared instance's initial state.
#include "engine/Animator.h"
#include "engine/AudioPlayer.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Global.h"
#include "engine/Progress.h"
#include "engine/TaglineSource.h"

#include "LogRecorder.h"
#include "TestMain.h"
#include "store/AppSettings.h"
#include "store/Debugging.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace trevalin;
using trevalin::test::LogRecorder;
using S = ApplicationState;

namespace {

// One ordered record of what the seams were asked to do.
class Recorder {
public:
    void add(const QString& event) {
        std::lock_guard lock(m_mutex);
        m_events << event;
    }
    QStringList events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_events;
};

class RecordingAnimator : public Animator {
public:
    explicit RecordingAnimator(Recorder& r)
        : m_r(r) {}
    void start() override { m_r.add("anim:start"); }
    void stop() override { m_r.add("anim:stop"); }

private:
    Recorder& m_r;
};

class RecordingAudio : public AudioPlayer {
public:
    explicit RecordingAudio(Recorder& r)
        : m_r(r) {}
    void play(const QUrl& url) override {
        if (url == QUrl("qrc:/sounds/evaluating.wav"))
            m_r.add("sound:evaluating");
        else if (url == QUrl("qrc:/sounds/finished.wav"))
            m_r.add("sound:finished");
        else
            m_r.add("sound:" + url.toString());
    }

private:
    Recorder& m_r;
};

class CountingTaglines : public TaglineSource {
public:
    void regenerate() override { ++count; }
    std::atomic<int> count{0};
};

// A state machine with its own progress model and flag store.
struct Rig {
    Progress progress;
    FlagStore flags;
    Recorder recorder;
    std::atomic<int> saves{0};
    std::shared_ptr<CountingTaglines> taglines = std::make_shared<CountingTaglines>();
    Global global;

    Rig(S initial, bool withAnimator)
        : global(initial, progress, flags) {
        flags.setFolderStoreFlush([this] { ++saves; });
        global.setAudioPlayer(std::make_shared<RecordingAudio>(recorder));
        global.setTaglines(taglines);
        if (withAnimator)
            global.setAnimator(std::make_shared<RecordingAnimator>(recorder));
    }
    ~Rig() { EnginePool::waitForDone(10000); }
};

} // namespace

class TestGlobal : public QObject {
    Q_OBJECT

private slots:
    void init() { Debugging::setFlagForTesting(false); }

    void transitions_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("withAnimator");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("title");
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("total");
        QTest::addColumn<bool>("active");
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("saves");

        // Before each row the bar shows a run in progress: "Processing: a.bin SHA1",
        // 5 of 10, active when coming from Processing or Evaluating, 3 remaining.
        const QString before = "Processing: a.bin SHA1";
        auto row = [](const char* name, S from, S to, bool anim) -> QTestData& {
            return QTest::newRow(name) << int(from) << int(to) << anim;
        };
        // A change that leaves the events, the bar's values and the saves as they were.
        auto quiet = [&](const char* name, S from, S to, const QString& title) {
            row(name, from, to, true) << QStringList{} << title << 5.0 << 10.0
                                      << (from == S::Processing || from == S::Evaluating) << 3 << 0;
        };
        quiet("Idle -> Idle (same state)", S::Idle, S::Idle, before);
        quiet("Processing -> Processing (same state)", S::Processing, S::Processing, before);
        row("Idle -> Processing", S::Idle, S::Processing, true)
            << QStringList{"anim:start"} << "State: Processing" << 5.0 << 10.0 << true << 3 << 0;
        row("Idle -> Processing, no animator", S::Idle, S::Processing, false)
            << QStringList{} << "State: Processing" << 5.0 << 10.0 << true << 3 << 0;
        row("Idle -> Evaluating", S::Idle, S::Evaluating, true)
            << QStringList{"anim:start", "sound:evaluating"} << "State: Evaluating Changes" << 0.0 << 0.0
            << true << 3 << 0;
        row("Idle -> Evaluating, no animator", S::Idle, S::Evaluating, false)
            << QStringList{"sound:evaluating"} << "State: Evaluating Changes" << 0.0 << 0.0 << true << 3 << 0;
        row("Processing -> Idle", S::Processing, S::Idle, true)
            << QStringList{"sound:finished", "anim:stop"} << "State: Idle" << 1.0 << 1.0 << false << 0 << 1;
        row("Processing -> Idle, no animator", S::Processing, S::Idle, false)
            << QStringList{"sound:finished"} << "State: Idle" << 1.0 << 1.0 << false << 0 << 1;
        row("Processing -> Evaluating", S::Processing, S::Evaluating, true)
            << QStringList{"sound:finished", "anim:stop"} << "State: Evaluating" << 1.0 << 1.0 << false << 0
            << 1;
        // An evaluation that found no work: the passive look, no sound.
        row("Evaluating -> Idle", S::Evaluating, S::Idle, true)
            << QStringList{"anim:stop"} << "State: Idle" << 1.0 << 1.0 << false << 0 << 1;
        row("Evaluating -> Idle, no animator", S::Evaluating, S::Idle, false)
            << QStringList{} << "State: Idle" << 1.0 << 1.0 << false << 0 << 1;
        // Transitions outside the table change only the status and the title.
        quiet("Evaluating -> Processing", S::Evaluating, S::Processing, "State: Processing");
        quiet("SplashScreen -> Evaluating", S::SplashScreen, S::Evaluating, "State: Evaluating");
        quiet("SplashScreen -> Idle", S::SplashScreen, S::Idle, "State: Idle");
        quiet("SplashScreen -> Processing", S::SplashScreen, S::Processing, "State: Processing");
        quiet("Idle -> Resetting", S::Idle, S::Resetting, "State: Resetting");
        quiet("Resetting -> Idle", S::Resetting, S::Idle, "State: Idle");
        quiet("Processing -> Resetting", S::Processing, S::Resetting, "State: Resetting");
        quiet("Idle -> Watching", S::Idle, S::Watching, "State: Watching");
    }
    void transitions() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, withAnimator);
        QFETCH(QStringList, events);
        QFETCH(QString, title);
        QFETCH(double, value);
        QFETCH(double, total);
        QFETCH(bool, active);
        QFETCH(int, remaining);
        QFETCH(int, saves);
        const S old = S(from);
        const S wanted = S(to);

        Rig rig(old, withAnimator);
        rig.progress.setTitle("Processing: a.bin SHA1");
        rig.progress.setTotal(10);
        rig.progress.setValue(5);
        rig.progress.setActive(old == S::Processing || old == S::Evaluating);
        rig.progress.setRemaining(3);
        QSignalSpy statusSpy(&rig.global, &Global::statusChanged);
        LogRecorder log;

        rig.global.set(wanted);
        QVERIFY(EnginePool::waitForDone(10000));

        QVERIFY(rig.global.status() == wanted);
        const auto s = rig.progress.snapshot();
        QCOMPARE(rig.recorder.events(), events);
        QCOMPARE(s.title, title);
        QCOMPARE(s.value, value);
        QCOMPARE(s.total, total);
        QCOMPARE(s.active, active);
        QCOMPARE(s.remaining, remaining);
        QCOMPARE(rig.saves.load(), saves);
        QCOMPARE(rig.taglines->count.load(), saves);
        if (old == wanted) {
            QCOMPARE(statusSpy.count(), 0);
            QCOMPARE(log.messages(Level::Warning),
                     QStringList{"Requested same state as existing value: " + toString(old) + " -> " +
                                 toString(wanted) + " [ Global.set(_:) ]"});
        } else {
            QCOMPARE(statusSpy.count(), 1);
            QVERIFY(log.messages(Level::Warning).isEmpty());
        }
    }

    void stateChangeLineOnlyWhenDebugging() {
        Rig rig(S::Idle, true);
        LogRecorder log;
        rig.global.set(S::Resetting);
        QCOMPARE(log.countContaining("State change:"), 0);
        Debugging::setFlagForTesting(true);
        rig.global.set(S::Idle);
        QCOMPARE(log.messages(Level::Debug),
                 QStringList{"State change: Resetting -> Idle [ Global.set(_:) ]"});
    }

    void changeOnlyFromTheGivenState() {
        Rig rig(S::Processing, true);
        LogRecorder log;
        QVERIFY(!rig.global.change(S::Evaluating, S::Idle));
        QVERIFY(!rig.global.change(S::Processing, S::Processing));
        QVERIFY(rig.global.status() == S::Processing);
        QVERIFY(log.entries().isEmpty());
        QVERIFY(rig.global.change(S::Processing, S::Idle));
        QVERIFY(EnginePool::waitForDone(10000));
        QCOMPARE(rig.recorder.events(), (QStringList{"sound:finished", "anim:stop"}));
    }

    void absentSeamsAreSkipped() {
        Progress progress;
        FlagStore flags;
        Global global(S::Idle, progress, flags);
        global.set(S::Evaluating);
        global.set(S::Processing);
        global.set(S::Idle);
        global.set(S::Processing);
        global.set(S::Evaluating);
        QVERIFY(EnginePool::waitForDone(10000));
        QVERIFY(global.status() == S::Evaluating);
        QCOMPARE(progress.value(), 1.0);
    }

    void evaluatingTitleRules() {
        Rig rig(S::Idle, false);
        rig.progress.setTitle("");
        rig.global.evaluating(QString("New"));
        QCOMPARE(rig.progress.title(), QString("")); // an empty title is kept
        rig.progress.setTitle("Old");
        rig.global.evaluating(std::nullopt);
        QCOMPARE(rig.progress.title(), QString("Old")); // no title given: kept
        rig.global.evaluating(QString("New"));
        QCOMPARE(rig.progress.title(), QString("New"));
        QCOMPARE(rig.recorder.events(),
                 (QStringList{"sound:evaluating", "sound:evaluating", "sound:evaluating"}));
    }

    void scheduleSaveSavesFlaggedThenTagline() {
        Rig rig(S::Idle, false);
        QStringList order;
        std::mutex m;
        rig.flags.setContentSaver([&] {
            std::lock_guard lock(m);
            order << "content";
            return true;
        });
        rig.flags.set(SubSystem::database, Flag::save, true);
        rig.global.scheduleSave();
        QVERIFY(EnginePool::waitForDone(10000));
        QCOMPARE(order, QStringList{"content"});
        QCOMPARE(rig.saves.load(), 1);
        QCOMPARE(rig.taglines->count.load(), 1);
    }

    // Concurrent requests never both act on the same old state: the animation
    // starts and stops strictly alternate, one finished sound and one save per stop.
    void concurrentSetIsSerialised() {
        Rig rig(S::Idle, true);
        std::vector<std::thread> threads;
        for (int t = 0; t < 16; ++t) {
            threads.emplace_back([&, t] {
                std::mt19937 rng(t);
                for (int i = 0; i < 200; ++i)
                    rig.global.set(rng() % 2 ? S::Processing : S::Idle);
            });
        }
        for (auto& t : threads)
            t.join();
        QVERIFY(EnginePool::waitForDone(20000));
        int starts = 0, stops = 0, sounds = 0;
        QString last = "anim:stop";
        for (const QString& e : rig.recorder.events()) {
            if (e.startsWith("anim:")) {
                QVERIFY2(e != last, "two starts or two stops in a row");
                last = e;
                (e == "anim:start" ? starts : stops)++;
            } else if (e == "sound:finished") {
                ++sounds;
            }
        }
        QVERIFY(starts > 0);
        QVERIFY(starts - stops == (rig.global.status() == S::Processing ? 1 : 0));
        QCOMPARE(sounds, stops);
        QCOMPARE(rig.saves.load(), stops);
    }

    void sharedInstanceStartsFromSplashSetting() {
        // A fresh settings store: the splash screen setting defaults to true.
        QVERIFY(AppSettings::shared().splashScreen());
        Global& g = Global::shared();
        QVERIFY(g.status() == S::SplashScreen);
        QCOMPARE(g.thread(), QCoreApplication::instance()->thread());
        LogRecorder log;
        g.start();
        QCOMPARE(log.messages(), (QStringList{"Splash screen will be shown due to application settings",
                                              "AppState subsystem initialised [ Global.start() ]"}));
        AppSettings::shared().setSplashScreen(false);
        log.clear();
        g.start();
        QCOMPARE(log.messages(), QStringList{"AppState subsystem initialised [ Global.start() ]"});
        // The first change out of the splash screen only changes the title.
        g.set(S::Evaluating);
        QCOMPARE(Progress::shared().title(), QString("State: Evaluating"));
        QCOMPARE(Progress::shared().value(), 100.0);
    }
};

TREVALIN_TEST_MAIN(TestGlobal)
#include "tst_Global.moc"
