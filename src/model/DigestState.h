// Digests and DigestState: the user's choice of algorithms. The selection is one list
// with an entry per algorithm, each switched on or off; the default enables SHA1 only.
//
// Thread-safety: DigestState has one shared instance (shared()), living on the
// application's main thread. Its list is guarded by m_mutex; every public function may
// be called from any thread and is one critical section. algorithmsChanged() is
// emitted after every change (connect with a queued connection from other threads).
#pragma once

#include "model/Digest.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <mutex>
#include <optional>

namespace trevalin {

// One entry of the selection. The id is made fresh whenever an entry is made or decoded
// and is never persisted.
struct Digests {
    QUuid id;
    QString name;
    Digest digest = Digest::SHA1;
    bool enabled = false;

    static Digests make(Digest digest, bool enabled) {
        return {QUuid::createUuid(), toString(digest), digest, enabled};
    }
    // Equal name, digest and enabled flag (the id is ignored).
    bool sameSetting(const Digests& other) const {
        return name == other.name && digest == other.digest && enabled == other.enabled;
    }
};

class DigestState : public QObject {
    Q_OBJECT

public:
    static DigestState& shared();

    // One entry per algorithm in declaration order, SHA1 enabled, the others disabled.
    static QList<Digests> defaultList();
    // JSON text: an array of {"name","digest","enabled"} objects in list order (compact).
    static QByteArray encode(const QList<Digests>& algorithms);
    // Reads the JSON text in any key order. Absent when the text is empty, not JSON, or not
    // an array of such objects (each with a string "name", a known "digest" and a boolean
    // "enabled"). A list that does not hold exactly one entry per algorithm is completed:
    // the first entry of each algorithm is kept in stored order, later ones are dropped,
    // the missing algorithms follow switched off in declaration order, and SHA1 is
    // switched on when nothing is. `completed` (optional) tells whether that happened; a
    // full list is returned as stored, even with nothing enabled.
    static std::optional<QList<Digests>> decode(const QByteArray& data, bool* completed = nullptr);

    explicit DigestState(QObject* parent = nullptr);

    QList<Digests> algorithms() const;
    void setAlgorithms(const QList<Digests>& algorithms);
    // Replaces the list with defaultList().
    void setDefaults();
    // The enabled algorithms in list order.
    QList<Digest> enabledDigests() const;
    int enabledCount() const;
    // Enables every entry for `digest`.
    void enable(Digest digest);
    // Sets the flag of every entry for `digest`.
    void setEnabled(Digest digest, bool enabled);
    // Logs "Algorithms enabled: " + each enabled name followed by a blank (verbose level).
    void report() const;

signals:
    void algorithmsChanged();

private:
    mutable std::mutex m_mutex; // guards m_algorithms
    QList<Digests> m_algorithms;
};

} // namespace trevalin
