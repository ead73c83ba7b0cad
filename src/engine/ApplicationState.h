// ApplicationState: the application's coarse activity state. Its raw string
// (equal to the case name) is its identity, its encoded form and its text in log
// lines. Stateless helpers; safe from any thread.
#pragma once

#include <QHashFunctions>
#include <QMetaType>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace trevalin {

enum class ApplicationState : int {
    SplashScreen = 0, // the splash window is showing
    Idle = 1,         // nothing to do
    Evaluating = 2,   // added locations or change events are being sorted into work
    Resetting = 3,    // set only from the debug notification interface
    Processing = 4,   // queued digest jobs are running
    Watching = 5,     // defined and encodable; nothing enters it
};

// All cases in declaration order.
inline constexpr std::array<ApplicationState, 6> kAllApplicationStates{
    ApplicationState::SplashScreen, ApplicationState::Idle,       ApplicationState::Evaluating,
    ApplicationState::Resetting,    ApplicationState::Processing, ApplicationState::Watching};

// The raw string of a state ("SplashScreen", "Idle", ...).
QString toString(ApplicationState state);
// Parses a raw string exactly (case-sensitive); anything else gives nothing.
std::optional<ApplicationState> applicationStateFromString(QStringView text);

inline size_t qHash(ApplicationState state, size_t seed = 0) noexcept {
    return ::qHash(static_cast<int>(state), seed);
}

} // namespace trevalin

Q_DECLARE_METATYPE(trevalin::ApplicationState)
