#include "ui/AlgorithmSwitches.h"

#include "engine/EnginePool.h"
#include "store/AppSettings.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QSignalBlocker>

#include <atomic>
#include <cstdint>
#include <mutex>

namespace trevalin {

namespace {

// Saves run on pool threads and may run in any order: each carries the number of the
// change it saves, and a save older than the one already written is dropped. A change
// is numbered before it is made, so a reload that finds nothing waiting to be saved
// never overwrites a change that is being made.
std::mutex saveMutex;
std::atomic<std::uint64_t> lastChange{0};
std::uint64_t lastWritten = 0; // guarded by saveMutex

} // namespace

AlgorithmSwitches::AlgorithmSwitches(DigestState& state, QWidget* parent, Qt::Orientation orientation)
    : QWidget(parent)
    , m_state(state)
    , m_layout(new QBoxLayout(orientation == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight,
                              this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(orientation == Qt::Vertical ? 6 : 16);
    rebuild(m_state.algorithms());
    connect(&m_state, &DigestState::algorithmsChanged, this, &AlgorithmSwitches::refresh,
            Qt::QueuedConnection);
}

void AlgorithmSwitches::apply(DigestState& state, Digest digest, bool enabled) {
    const std::uint64_t change = ++lastChange;
    state.setEnabled(digest, enabled);
    if (state.enabledCount() == 0)
        state.enable(Digest::SHA1);
    const QList<Digests> selection = state.algorithms();
    EnginePool::runLow([selection, change] {
        std::lock_guard lock(saveMutex);
        if (change <= lastWritten)
            return;
        lastWritten = change;
        AppSettings::saveAlgorithmStatus(selection);
    });
}

void AlgorithmSwitches::reloadStored() {
    EnginePool::runLow([] {
        std::lock_guard lock(saveMutex);
        // A change still waiting for its save is newer than the stored selection.
        if (lastChange.load() > lastWritten)
            return;
        AppSettings::loadAlgorithmStatus();
    });
}

QCheckBox* AlgorithmSwitches::box(Digest digest) const {
    for (const auto& [entry, box] : m_boxes) {
        if (entry == digest)
            return box;
    }
    return nullptr;
}

void AlgorithmSwitches::refresh() {
    const QList<Digests> algorithms = m_state.algorithms();
    bool same = algorithms.size() == m_boxes.size();
    for (qsizetype i = 0; same && i < algorithms.size(); ++i)
        same = algorithms[i].digest == m_boxes[i].first && algorithms[i].name == m_boxes[i].second->text();
    if (!same) {
        rebuild(algorithms);
        return;
    }
    for (qsizetype i = 0; i < algorithms.size(); ++i) {
        const QSignalBlocker blocker(m_boxes[i].second);
        m_boxes[i].second->setChecked(algorithms[i].enabled);
    }
}

void AlgorithmSwitches::rebuild(const QList<Digests>& algorithms) {
    for (const auto& entry : m_boxes)
        entry.second->deleteLater();
    m_boxes.clear();
    for (const Digests& entry : algorithms) {
        auto* box = new QCheckBox(entry.name, this);
        box->setChecked(entry.enabled);
        const Digest digest = entry.digest;
        connect(box, &QCheckBox::toggled, this, [this, digest](bool checked) {
            apply(m_state, digest, checked);
            // The rule may have switched another algorithm back on: show it at once.
            refresh();
        });
        m_layout->addWidget(box);
        m_boxes.append({digest, box});
    }
}

} // namespace trevalin
