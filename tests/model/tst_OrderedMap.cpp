// Tests of OrderedMap: in-place replacement, removal in one pass, and a randomised
// comparison with a plain vector model.
#include "model/OrderedMap.h"

#include "TestMain.h"

#include <QString>
#include <QTest>

#include <algorithm>
#include <random>
#include <vector>

using namespace trevalin;

namespace {

using Map = OrderedMap<QString, int>;

std::vector<QString> keysOf(const Map& m) {
    std::vector<QString> out;
    for (const auto& e : m)
        out.push_back(e.first);
    return out;
}

} // namespace

class TestOrderedMap : public QObject {
    Q_OBJECT

private slots:

    void replaceKeepsPositions() {
        Map m{{"a", 1}, {"b", 2}, {"c", 3}};
        QVERIFY(m.replace("b", 20));
        QVERIFY(!m.replace("x", 1)); // replace never inserts
        QVERIFY(m.replaceKey("b", "B", 22));
        QCOMPARE(keysOf(m), (std::vector<QString>{"a", "B", "c"}));
        QCOMPARE(m.value("B"), 22);
        QVERIFY(!m.contains("b"));
        // A key that already lives elsewhere is refused.
        QVERIFY(!m.replaceKey("a", "c"));
        QVERIFY(!m.replaceKey("missing", "x"));
        QCOMPARE(keysOf(m), (std::vector<QString>{"a", "B", "c"}));
        QCOMPARE(m.value("a"), 1);
    }

    void removeIfOnePass() {
        Map m;
        for (int i = 0; i < 100; ++i)
            m.insert(QString::number(i), i);
        QCOMPARE(m.removeIf([](const auto& e) { return e.second % 3 != 0; }), std::size_t(66));
        QCOMPARE(m.size(), std::size_t(34));
        int expect = 0;
        for (const auto& e : m) {
            QCOMPARE(e.second, expect);
            expect += 3;
        }
        QCOMPARE(*m.indexOf("99"), std::size_t(33));
    }

    // Random operations checked against a vector that is the obvious model. A thousand or
    // so live keys among some thousand slots: positions come from a tree of several levels.
    void randomisedAgainstModel() {
        std::mt19937 rng(1234);
        OrderedMap<int, int> m;
        std::vector<std::pair<int, int>> model;
        auto findModel = [&](int k) {
            return std::find_if(model.begin(), model.end(), [k](const auto& e) { return e.first == k; });
        };
        for (int step = 0; step < 20000; ++step) {
            const int op = rng() % 6;
            const int k = rng() % 2000;
            if (op <= 1) {
                const bool inserted = m.insert(k, step);
                QCOMPARE(inserted, findModel(k) == model.end());
                if (inserted)
                    model.emplace_back(k, step);
            } else if (op == 2) {
                const bool had = findModel(k) != model.end();
                QCOMPARE(m.remove(k), had);
                if (had)
                    model.erase(findModel(k));
            } else if (op == 3) {
                auto e = m.takeFirst();
                QCOMPARE(bool(e), !model.empty());
                if (e) {
                    QCOMPARE(e->first, model.front().first);
                    model.erase(model.begin());
                }
            } else if (op == 4) {
                m.insertOrAssign(k, -step);
                if (auto it = findModel(k); it != model.end())
                    it->second = -step;
                else
                    model.emplace_back(k, -step);
            } else {
                auto it = findModel(k);
                auto idx = m.indexOf(k);
                QCOMPARE(bool(idx), it != model.end());
                if (idx) {
                    QCOMPARE(*idx, std::size_t(it - model.begin()));
                    QCOMPARE(m.at(*idx).second, it->second);
                }
            }
            if (step % 97 == 0) {
                QCOMPARE(m.size(), model.size());
                std::vector<std::pair<int, int>> seen(m.begin(), m.end());
                QCOMPARE(seen, model);
            }
            if (step % 7000 == 0)
                m.compact();
        }
    }
};

TREVALIN_TEST_MAIN(TestOrderedMap)
#include "tst_OrderedMap.moc"
