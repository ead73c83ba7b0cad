// StartupHost: what the start-up steps need from the program around them — the
// menu-bar item and the notification receiver, both made on the GUI thread, and the
// taglines model. The application scene is the host; tests put a stand-in.
//
// Thread-safety: a QObject of the GUI thread. The start-up steps call
// createStatusBar() and registerReceiver() there only; taglines() from any thread.
#pragma once

#include <QObject>

#include <memory>

namespace trevalin {

class TaglineSource;

class StartupHost : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Creates the menu-bar item and keeps it; called once.
    virtual void createStatusBar() = 0;
    // Starts listening for the debug notifications; called once, only with debugging on.
    virtual void registerReceiver() = 0;
    // The taglines model, or null while there is none.
    virtual std::shared_ptr<TaglineSource> taglines() = 0;
};

} // namespace trevalin
