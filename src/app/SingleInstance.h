// SingleInstance: one desktop program per session. The first Trevalin owns the bus
// name org.corvane.Trevalin and serves the object /org/corvane/Trevalin (interface
// org.corvane.Trevalin): the method Open(s url) routes a URL such as
// "Trevalin://MainView" into the program, and the read-only property
// MainWindowVisible says whether the main window is shown. A later start finds the
// name taken, forwards its URL with Open() and ends.
//
// Thread-safety: a QObject of the GUI thread; the bus calls it there.
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

namespace trevalin {

class SingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.corvane.Trevalin")
    Q_PROPERTY(bool MainWindowVisible READ mainWindowVisible)

public:
    static constexpr const char* kObjectPath = "/org/corvane/Trevalin";
    static constexpr const char* kInterface = "org.corvane.Trevalin";

    enum class Claim { owned, alreadyRunning, noBus };

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the bus name and serves the object; alreadyRunning when another process
    // owns the name, noBus when there is no session bus (then nothing is served).
    Claim claim();
    // Asks the running program to open `url`; whether it answered.
    static bool forward(const QUrl& url, QString* error = nullptr);

    // What Open() and MainWindowVisible reach; unset, Open() does nothing.
    void setOpenHandler(std::function<void(const QUrl&)> handler) { m_open = std::move(handler); }
    void setVisibilityProbe(std::function<bool()> probe) { m_visible = std::move(probe); }

    bool mainWindowVisible() const { return m_visible && m_visible(); }

public slots:
    Q_SCRIPTABLE void Open(const QString& url);

private:
    std::function<void(const QUrl&)> m_open;
    std::function<bool()> m_visible;
    bool m_owned = false;
};

} // namespace trevalin
