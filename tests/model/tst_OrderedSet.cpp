// Tests of OrderedSet: removal keeps order, in-place replacement, draining from the
// front (de-duplication of batches is tested through the location queue).
#include "model/OrderedSet.h"

#include "TestMain.h"

#include <QTest>
#include <QUrl>

#include <memory>
#include <vector>

using namespace trevalin;

namespace {

template <typename S> QStringList textOf(const S& s) {
    QStringList out;
    for (const auto& e : s)
        out << e;
    return out;
}

} // namespace

class TestOrderedSet : public QObject {
    Q_OBJECT

private slots:
    void urlsHashThroughQt() {
        OrderedSet<QUrl> s;
        QVERIFY(s.append(QUrl::fromLocalFile("/a/b")));
        QVERIFY(!s.append(QUrl::fromLocalFile("/a/b")));
        QVERIFY(s.append(QUrl::fromLocalFile("/a/c")));
        QCOMPARE(s.size(), std::size_t(2));
        QCOMPARE(*s.indexOf(QUrl::fromLocalFile("/a/c")), std::size_t(1));
    }

    void removeAndReplaceKeepOrder() {
        OrderedSet<QString> s{"a", "b", "c", "d"};
        QVERIFY(s.remove("b"));
        QVERIFY(!s.remove("b"));
        QCOMPARE(textOf(s), (QStringList{"a", "c", "d"}));
        QVERIFY(s.replace("c", "C"));
        QCOMPARE(textOf(s), (QStringList{"a", "C", "d"}));
        QVERIFY(!s.replace("a", "d")); // would duplicate
        QVERIFY(s.replace("a", "a"));  // same element: no change
        QCOMPARE(textOf(s), (QStringList{"a", "C", "d"}));
        QCOMPARE(*s.indexOf("d"), std::size_t(2));
        QCOMPARE(s.at(1), QString("C"));
        QCOMPARE(*s.first(), QString("a"));
        QCOMPARE(*s.last(), QString("d"));
    }

    void takeFirstUntilEmpty() {
        OrderedSet<QString> s{"x", "y"};
        QCOMPARE(*s.takeFirst(), QString("x"));
        QCOMPARE(*s.takeFirst(), QString("y"));
        QVERIFY(!s.takeFirst());
        QVERIFY(s.isEmpty());
        QVERIFY(s.append("x")); // usable again after draining
        QCOMPARE(textOf(s), QStringList{"x"});
    }

    void popFrontAtScale() {
        OrderedSet<int> s;
        const int n = 200000;
        for (int i = 0; i < n; ++i)
            s.append(i);
        long long sum = 0;
        while (auto v = s.takeFirst())
            sum += *v;
        QCOMPARE(sum, (long long)n * (n - 1) / 2);
        QCOMPARE(s.capacitySlots(), std::size_t(0));
    }

    void equalityIsOrderSensitive() {
        OrderedSet<QString> a{"a", "b"};
        OrderedSet<QString> b{"b", "a"};
        OrderedSet<QString> c{"a", "b"};
        QVERIFY(!(a == b));
        QVERIFY(a == c);
        QCOMPARE(a.toVector(), (std::vector<QString>{"a", "b"}));
    }
};

TREVALIN_TEST_MAIN(TestOrderedSet)
#include "tst_OrderedSet.moc"
