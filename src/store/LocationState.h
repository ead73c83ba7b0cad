// LocationState: the locations to which this run has opened (or restored) access. On
// this platform opening access means the location is readable; there is nothing to
// release when access stops. Never persisted; starts empty.
//
// Thread-safety: the map is guarded by m_mutex; each public function is one critical
// section (an actor).
#pragma once

#include "model/Location.h"

#include <QHash>

#include <mutex>

namespace trevalin {

class LocationState {
public:
    static LocationState& shared();

    // An entry with value true exists for `location`.
    bool hasAccess(const Location& location) const;
    void set(const Location& location, bool access);
    void remove(const Location& location);
    void clear();
    int count() const;

    // Opens access to `location`: true (and recorded) when it is readable.
    bool startAccessing(const Location& location);
    // Ends access to `location` and forgets it.
    void stopAccessing(const Location& location);

private:
    mutable std::mutex m_mutex;
    QHash<Location, bool> m_db; // guarded by m_mutex
};

} // namespace trevalin
