// RecordChanges: one batch of row-level changes of a keyed, ordered collection (the
// content database's records, the folder store's folders), for list models that update
// only the rows concerned. Apply a batch in this order:
//   1. reset: the collection was replaced or emptied as a whole; re-read all of it and
//      ignore the lists (they are empty then).
//   2. removed: these keys are gone; drop their rows.
//   3. inserted: these keys were appended at the end of the collection, in this order.
//   4. changed: these keys are still in place; their contents changed.
// A key appears in at most one of inserted and changed. A key removed and appended again
// within one batch is in removed and in inserted (it moved to the end). A key appended
// and removed again within one batch is in no list.
// Plain value type; safe from any thread.
#pragma once

#include "model/Location.h"

#include <QList>
#include <QMetaType>

namespace trevalin {

struct RecordChanges {
    bool reset = false;
    QList<Location> removed;
    QList<Location> inserted;
    QList<Location> changed;

    bool isEmpty() const { return !reset && removed.isEmpty() && inserted.isEmpty() && changed.isEmpty(); }
};

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::RecordChanges)
