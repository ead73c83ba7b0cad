// DragDropDelegate: what the main window does with a drop. The file URLs of the drop
// (text/uri-list, files and folders alike) go to intake: one location through the
// single-location entry, several as one list in the drop's order (DropAggregator).
// A drop without any file URL is logged as an error and refused. Non-file URLs mixed
// into a drop of files are left out with a warning each; the files still go in, as
// the user meant them to.
//
// Thread-safety: GUI thread only (it reads the drop's data); intake itself runs on
// the engine pool.
#pragma once

#include "model/Location.h"

#include <QList>
#include <QMutex>

#include <functional>

class QMimeData;

namespace trevalin {

// Collects the locations of one drop and hands them to intake once all have arrived.
// add() may be called from any thread; `m_mutex` guards `m_urls`, and exactly one call
// sees the full count and submits.
class DropAggregator {
public:
    // Where the locations go: the single-location and the list entries of intake.
    struct Intake {
        std::function<void(const Location&)> single;
        std::function<void(const QList<Location>&)> list;
    };

    DropAggregator(int total, Intake intake);
    void add(const Location& location);

private:
    const int m_total;
    const Intake m_intake;
    QMutex m_mutex;
    QList<Location> m_urls; // guarded by m_mutex
};

class DragDropDelegate {
public:
    // The engine's intake (Process::added) unless a test gives another.
    explicit DragDropDelegate(DropAggregator::Intake intake = {});

    // Whether a drag carries anything this delegate may take (for drag-enter).
    static bool canTake(const QMimeData& data);
    // Takes the drop's file locations to intake; false when it holds none.
    bool performDrop(const QMimeData& data);

private:
    DropAggregator::Intake m_intake;
};

} // namespace trevalin
