#include "engine/ApplicationState.h"

namespace trevalin {

QString toString(ApplicationState state) {
    switch (state) {
    case ApplicationState::SplashScreen:
        return QStringLiteral("SplashScreen");
    case ApplicationState::Idle:
        return QStringLiteral("Idle");
    case ApplicationState::Evaluating:
        return QStringLiteral("Evaluating");
    case ApplicationState::Resetting:
        return QStringLiteral("Resetting");
    case ApplicationState::Processing:
        return QStringLiteral("Processing");
    case ApplicationState::Watching:
        return QStringLiteral("Watching");
    }
    return QString();
}

std::optional<ApplicationState> applicationStateFromString(QStringView text) {
    for (ApplicationState state : kAllApplicationStates) {
        if (text == toString(state))
            return state;
    }
    return std::nullopt;
}

} // namespace trevalin
