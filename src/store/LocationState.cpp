#include "store/LocationState.h"

#include "model/FileSystem.h"

namespace trevalin {

LocationState& LocationState::shared() {
    static LocationState instance;
    return instance;
}

bool LocationState::hasAccess(const Location& location) const {
    std::lock_guard lock(m_mutex);
    return m_db.value(location, false);
}

void LocationState::set(const Location& location, bool access) {
    std::lock_guard lock(m_mutex);
    m_db.insert(location, access);
}

void LocationState::remove(const Location& location) {
    std::lock_guard lock(m_mutex);
    m_db.remove(location);
}

void LocationState::clear() {
    std::lock_guard lock(m_mutex);
    m_db.clear();
}

int LocationState::count() const {
    std::lock_guard lock(m_mutex);
    return int(m_db.size());
}

bool LocationState::startAccessing(const Location& location) {
    if (!FileSystem(location).isReadable())
        return false;
    set(location, true);
    return true;
}

void LocationState::stopAccessing(const Location& location) {
    remove(location);
}

} // namespace trevalin
