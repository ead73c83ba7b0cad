// AdvancedPreferencesView: the "Advanced" tab of the preferences — hiding the main
// window at launch, and the two ways of clearing the program's data (DataReset):
//   "Purge / Reset"   empties the databases and the folder store; the program runs on;
//   "Clear and Quit"  removes all of the program's data, then quits through the quit
//                     callback (called on the GUI thread).
// Each asks first, in a window-modal box whose default is Cancel; cancelled, nothing
// changes. Accepted, the work runs on a medium-priority pool task.
//
// Thread-safety: GUI thread only. The pool tasks touch no widget; the quit callback is
// queued back to the GUI thread.
#pragma once

#include "app/DataReset.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QPushButton;

namespace trevalin {

class AdvancedPreferencesView : public QWidget {
    Q_OBJECT

public:
    // Answers a confirmation at once: `action` is the button's text; true goes ahead.
    using Confirmation = std::function<bool(const QString& action)>;

    // `quit` ends the program after "Clear and Quit" (may be empty).
    explicit AdvancedPreferencesView(std::function<void()> quit, QWidget* parent = nullptr);

    QCheckBox* hideOnLaunch() const { return m_hide; }
    QPushButton* purgeButton() const { return m_purge; }
    QPushButton* clearButton() const { return m_clear; }

    // Test seams: answers the confirmations instead of the box; the data to clear
    // (default: DataReset::Targets::shared()).
    void setConfirmationForTesting(Confirmation confirmation) { m_confirmation = std::move(confirmation); }
    void setTargetsForTesting(const DataReset::Targets& targets) { m_targets = targets; }

private:
    struct Prompt {
        QString action;      // the button that goes ahead
        QString text;        // the question
        QString informative; // what will be deleted
    };

    // Asks `prompt`; calls `accepted` only when the user goes ahead.
    void confirm(const Prompt& prompt, std::function<void()> accepted);
    void purge();
    void clearAndQuit();

    QCheckBox* m_hide;
    QPushButton* m_purge;
    QPushButton* m_clear;
    std::function<void()> m_quit;
    Confirmation m_confirmation;
    DataReset::Targets m_targets;
};

} // namespace trevalin
