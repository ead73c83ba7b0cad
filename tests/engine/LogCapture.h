// The engine tests' older name for the shared log recorder.
#pragma once

#include "LogRecorder.h"

namespace trevalin::test {
using LogCapture = LogRecorder;
} // namespace trevalin::test
