#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <functional>

// How a second start reaches the running instance: a local socket beside the instance lock.
// Only the lock's holder listens, so a socket file found there is a crashed holder's and goes.
class ActivationChannel : public QObject {
    Q_OBJECT
public:
    explicit ActivationChannel(QString socketPath, QObject *parent = nullptr);

    // Runs for every request that arrives once listening.
    void setHandler(std::function<void()> handler);
    // Quietly does without when the socket cannot be made: the instance still runs.
    void listen();
    // Nothing happens when no instance answers; a frozen one is given up after a short wait.
    static void request(const QString &socketPath);

private:
    void answer();

    QString m_socketPath;
    QLocalServer m_server;
    std::function<void()> m_handler;
};
