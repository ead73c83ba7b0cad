// ThreadSafeCounter: a short-lived counter of finished subtasks (the bookmark
// database's task counter, one per monitored-folder evaluation pass). A signed
// count that starts at 0. It behaves exactly as a CounterActor, so it is one.
//
// Thread-safety: as CounterActor — each operation is one critical section.
#pragma once

#include "model/CounterActor.h"

namespace trevalin {

using ThreadSafeCounter = CounterActor;

} // namespace trevalin
