#pragma once

#include <QObject>

class QSocketNotifier;

// Ends the event loops cleanly on SIGTERM and SIGINT, so that windows and the tray icon are
// taken down as on any other quit, and a modal box (at start-up too) closes. The signal handler
// only writes to a pipe (all it may do); the event loop reads it and calls
// QCoreApplication::exit. One per process.
class QuitOnTerminationSignal : public QObject {
    Q_OBJECT
public:
    explicit QuitOnTerminationSignal(QObject *parent = nullptr);
    ~QuitOnTerminationSignal() override;

private:
    static void onSignal(int signalNumber);

    QSocketNotifier *m_notifier = nullptr;
};
