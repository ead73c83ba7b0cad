// CryptoPreferencesView: the "Crypto" tab of the preferences — the heading "Enabled
// Algorithms" over one switch per algorithm of DigestState::shared(), in a row
// (AlgorithmSwitches: its rule and its saving).
//
// Thread-safety: GUI thread only.
#pragma once

#include <QWidget>

namespace trevalin {

class AlgorithmSwitches;

class CryptoPreferencesView : public QWidget {
    Q_OBJECT

public:
    explicit CryptoPreferencesView(QWidget* parent = nullptr);

    AlgorithmSwitches& algorithms() const { return *m_algorithms; }

private:
    AlgorithmSwitches* m_algorithms;
};

} // namespace trevalin
