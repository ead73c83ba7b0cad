// Level: the five ordered severities of a log entry. Plain value type.
#pragma once

#include <QString>

namespace trevalin {

enum class Level : int { Verbose = 0, Debug = 1, Info = 2, Warning = 3, Error = 4 };

} // namespace trevalin
