// Tests of OrderedSet: removal keeps order, in-place replacement, draining from the
// front (de-duplication of batches is tested through the location queue).
#include "model/OrderedSet.h"

#include "TestMain.h"

#include <QTest>
#include <QUrl>

#include <vector>

using namespace trevalin;

class TestOrderedSet : public QObject {
    Q_OBJECT

private slots:
    void urlsHashThroughQt() {
        OrderedSet<QUrl> s;
        QVERIFY(s.append(QUrl::fromLocalFile("/a/b")));
        QVERIFY(!s.append(QUrl::fromLocalFile("/a/b")));
        QVERIFY(s.append(QUrl::fromLocalFile("/a/c")));
        QCOMPARE(*s.indexOf(QUrl::fromLocalFile("/a/c")), std::size_t(1));
    }

    void removeReplaceAndTakeKeepOrder() {
        using V = std::vector<QString>;
        OrderedSet<QString> s{"a", "b", "c", "d"};
        QVERIFY(s.remove("b"));
        QVERIFY(!s.remove("b"));
        QVERIFY(s.replace("c", "C"));
        QVERIFY(!s.replace("a", "d")); // would duplicate
        QVERIFY(s.replace("a", "a"));  // same element: no change
        QCOMPARE(s.toVector(), (V{"a", "C", "d"}));
        QVERIFY(!(s == OrderedSet<QString>{"a", "d", "C"})); // order matters
        QCOMPARE(*s.indexOf("d"), std::size_t(2));
        QCOMPARE(s.at(1), QString("C"));
        QCOMPARE(*s.last(), QString("d"));
        QCOMPARE(*s.takeFirst(), QString("a"));
        QCOMPARE(*s.first(), QString("C"));
        s.takeFirst();
        s.takeFirst();
        QVERIFY(!s.takeFirst());
        QVERIFY(s.isEmpty());
        QVERIFY(s.append("x")); // usable again after draining
        QVERIFY(s == OrderedSet<QString>{"x"});
    }
};

TREVALIN_TEST_MAIN(TestOrderedSet)
#include "tst_OrderedSet.moc"
