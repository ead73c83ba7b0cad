// The application state machine, with a recording stand-in for the animation, the
// sounds and the taglines and a flush that counts the saves.
#include "engine/Animator.h"
#include "engine/AudioPlayer.h"
#include "engine/EnginePool.h"
#include "engine/FlagStore.h"
#include "engine/Global.h"
#include "engine/Progress.h"
#include "engine/TaglineSource.h"

#include "TestMain.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

using namespace trevalin;
using S = ApplicationState;

namespace {

const QString kEvaluatingSound = "sound:qrc:/sounds/evaluating.wav";
const QString kFinishedSound = "sound:qrc:/sounds/finished.wav";

// One ordered record of what the animation and the sound player were asked to do;
// the taglines, regenerated on the engine pool, are only counted.
class Seams : public Animator, public AudioPlayer, public TaglineSource {
public:
    void start() override { add("anim:start"); }
    void stop() override { add("anim:stop"); }
    void play(const QUrl& url) override { add("sound:" + url.toString()); }
    void regenerate() override { ++taglines; }
    QStringList events() const {
        std::lock_guard lock(m_mutex);
        return m_events;
    }
    std::atomic<int> taglines{0};

private:
    void add(const QString& event) {
        std::lock_guard lock(m_mutex);
        m_events << event;
    }
    mutable std::mutex m_mutex;
    QStringList m_events; // guarded by m_mutex
};

// A state machine with its own progress model and flag store.
struct Rig {
    Progress progress;
    FlagStore flags;
    std::atomic<int> saves{0};
    std::shared_ptr<Seams> seams = std::make_shared<Seams>();
    Global global;

    explicit Rig(S initial)
        : global(initial, progress, flags) {
        flags.setFolderStoreFlush([this] { ++saves; });
        global.setAnimator(seams);
        global.setAudioPlayer(seams);
        global.setTaglines(seams);
    }
    ~Rig() { EnginePool::waitForDone(10000); }
};

} // namespace

class TestGlobal : public QObject {
    Q_OBJECT

private slots:
    void transitions_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("bar"); // value/total, active or passive, remaining jobs
        QTest::addColumn<int>("saves");   // and taglines regenerated

        // Before each row the bar shows a run in progress: "Processing: a.bin SHA1",
        // 5 of 10, active when coming from Processing or Evaluating, 3 remaining.
        auto row = [](const char* name, S from, S to, const QStringList& events, const QString& title,
                      const QString& bar, int saves) {
            QTest::newRow(name) << int(from) << int(to) << events << title << bar << saves;
        };
        // A change that leaves the events, the bar's values and the saves as they were.
        auto quiet = [&](const char* name, S from, S to, const QString& title) {
            const bool active = from == S::Processing || from == S::Evaluating;
            row(name, from, to, {}, title, QLatin1String(active ? "5/10 active 3" : "5/10 passive 3"), 0);
        };
        const QString ended = "1/1 passive 0";
        quiet("Idle -> Idle (same state)", S::Idle, S::Idle, "Processing: a.bin SHA1");
        quiet("Processing -> Processing (same state)", S::Processing, S::Processing,
              "Processing: a.bin SHA1");
        row("Idle -> Processing", S::Idle, S::Processing, {"anim:start"}, "State: Processing",
            "5/10 active 3", 0);
        row("Idle -> Evaluating", S::Idle, S::Evaluating, {"anim:start", kEvaluatingSound},
            "State: Evaluating Changes", "0/0 active 3", 0);
        row("Processing -> Idle", S::Processing, S::Idle, {kFinishedSound, "anim:stop"}, "State: Idle", ended,
            1);
        row("Processing -> Evaluating", S::Processing, S::Evaluating, {kFinishedSound, "anim:stop"},
            "State: Evaluating", ended, 1);
        // An evaluation that found no work: the passive look, no sound.
        row("Evaluating -> Idle", S::Evaluating, S::Idle, {"anim:stop"}, "State: Idle", ended, 1);
        // Transitions outside the table change only the status and the title.
        quiet("Evaluating -> Processing", S::Evaluating, S::Processing, "State: Processing");
        quiet("SplashScreen -> Evaluating", S::SplashScreen, S::Evaluating, "State: Evaluating");
        quiet("SplashScreen -> Idle", S::SplashScreen, S::Idle, "State: Idle");
        quiet("Idle -> Resetting", S::Idle, S::Resetting, "State: Resetting");
        quiet("Processing -> Resetting", S::Processing, S::Resetting, "State: Resetting");
    }
    void transitions() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QStringList, events);
        QFETCH(QString, title);
        QFETCH(QString, bar);
        QFETCH(int, saves);
        const S old = S(from);
        const S wanted = S(to);

        Rig rig(old);
        rig.progress.setTitle("Processing: a.bin SHA1");
        rig.progress.setTotal(10);
        rig.progress.setValue(5);
        rig.progress.setActive(old == S::Processing || old == S::Evaluating);
        rig.progress.setRemaining(3);
        QSignalSpy statusSpy(&rig.global, &Global::statusChanged);

        rig.global.set(wanted);
        QVERIFY(EnginePool::waitForDone(10000));

        QVERIFY(rig.global.status() == wanted);
        const auto s = rig.progress.snapshot();
        QCOMPARE(rig.seams->events(), events);
        QCOMPARE(s.title, title);
        QCOMPARE(QStringLiteral("%1/%2 %3 %4")
                     .arg(s.value)
                     .arg(s.total)
                     .arg(QLatin1String(s.active ? "active" : "passive"))
                     .arg(s.remaining),
                 bar);
        QCOMPARE(rig.saves.load(), saves);
        QCOMPARE(rig.seams->taglines.load(), saves);
        QCOMPARE(statusSpy.count(), old == wanted ? 0 : 1);
    }

    // change() moves on only from the given state and never to the same one; the
    // change it makes is the transition's.
    void changeOnlyFromTheGivenState() {
        Rig rig(S::Processing);
        QVERIFY(!rig.global.change(S::Evaluating, S::Idle));
        QVERIFY(!rig.global.change(S::Processing, S::Processing));
        QVERIFY(rig.global.status() == S::Processing);
        QVERIFY(rig.global.change(S::Processing, S::Idle));
        QVERIFY(EnginePool::waitForDone(10000));
        QCOMPARE(rig.seams->events(), (QStringList{kFinishedSound, "anim:stop"}));
    }

    // Concurrent requests never both act on the same old state: the animation
    // starts and stops strictly alternate, one finished sound and one save per stop.
    void concurrentSetIsSerialised() {
        Rig rig(S::Idle);
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
        for (const QString& e : rig.seams->events()) {
            if (e.startsWith("anim:")) {
                QVERIFY2(e != last, "two starts or two stops in a row");
                last = e;
                (e == "anim:start" ? starts : stops)++;
            } else if (e == kFinishedSound) {
                ++sounds;
            }
        }
        QVERIFY(starts > 0);
        QVERIFY(starts - stops == (rig.global.status() == S::Processing ? 1 : 0));
        QCOMPARE(sounds, stops);
        QCOMPARE(rig.saves.load(), stops);
    }
};

TREVALIN_TEST_MAIN(TestGlobal)
#include "tst_Global.moc"
