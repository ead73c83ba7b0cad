// AlgorithmSwitches: one check box per entry of the algorithm selection, in list order,
// labelled with the entry's name and checked by its enabled flag. Toggling a box applies
// the selection rule (apply()); the boxes follow every change of the model, wherever it
// is made. The boxes stand in a column or, for a wide and low place, in a row.
//
// apply() is the rule itself, shared by every place that switches algorithms: at least
// one algorithm stays enabled (SHA1 comes back on when the last one is switched off) and
// the selection is saved on a low-priority pool task.
//
// Thread-safety: the widget belongs to the GUI thread; the model may change on any
// thread (its changes arrive queued). apply() may be called from any thread.
#pragma once

#include "model/DigestState.h"

#include <QList>
#include <QWidget>

#include <utility>

class QCheckBox;
class QBoxLayout;

namespace trevalin {

class AlgorithmSwitches : public QWidget {
    Q_OBJECT

public:
    explicit AlgorithmSwitches(DigestState& state, QWidget* parent = nullptr,
                               Qt::Orientation orientation = Qt::Vertical);

    // Sets the flag of `digest` in `state`; when no entry is left enabled, enables SHA1.
    // Then saves the selection to the "algorithmsData" setting on a low-priority pool
    // task (the newest selection is the one that ends up stored).
    static void apply(DigestState& state, Digest digest, bool enabled);

    // On a low-priority pool task, reads the stored selection into DigestState::shared()
    // (AppSettings::loadAlgorithmStatus(), whose fresh QSettings rereads a file another
    // process changed), so it shows what is stored now. Skipped while a change made by
    // apply() is not saved yet: that change is the newer one and its save follows.
    static void reloadStored();

    // The box of `digest` (null when the list has no entry for it).
    QCheckBox* box(Digest digest) const;

private:
    // Shows the model: rebuilds the boxes when the entries changed, else only sets them.
    void refresh();
    void rebuild(const QList<Digests>& algorithms);

    DigestState& m_state;
    QBoxLayout* m_layout;
    QList<std::pair<Digest, QCheckBox*>> m_boxes; // in list order
};

} // namespace trevalin
