// Receiver: a debugging aid that lets another process drive a few operations of the
// running program by posting distributed notifications (engine/DistributedNotifications.h):
// "statusReset", "statusIdle", "process", "quit", "saveBookmarks", "saveDatabase" and
// "algorithmSelection". Each is logged as a warning, then handled; the work runs on the
// engine pool, except "quit", which asks the program to quit its normal way.
//
// Thread-safety: a QObject of the GUI thread, where the bus delivers the signal.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace trevalin {

class Receiver : public QObject {
    Q_OBJECT

public:
    // Listens on the session bus. `quit` ends the program (the application's quit path).
    explicit Receiver(std::function<void()> quit, QObject* parent = nullptr);
    ~Receiver() override;

    // Whether the bus accepted the subscription.
    bool isListening() const { return m_listening; }

public slots:
    // One notification; the object is ignored. Unknown names are ignored.
    void posted(const QString& name, const QString& object);

private:
    void algorithmSelection();
    void statusReset();
    void statusIdle();
    void process();
    void quit();
    void saveBookmarks();
    void saveDatabase();

    std::function<void()> m_quit;
    bool m_listening = false;
};

} // namespace trevalin
