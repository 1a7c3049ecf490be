#pragma once

#include "LoopbackServer.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// The chat service's two SOAP endpoints on loopback, answering each operation from a script:
// proper answers, or the ways a broken service or the network between can fail. It can go away
// and come back on the same port.
class ScriptedService {
public:
    enum class Behaviour {
        Answer,
        NotXml,
        ServerErrorPage,
        SoapFault,
        TruncatedXml,
        HugeBody,
        HugeBodyWithoutLength,
        NeverAnswers,
        ClosesMidAnswer,
    };
    struct Reply {
        Behaviour behaviour = Behaviour::Answer;
        QString body; // for Answer
    };

    static constexpr qint32 kTicketId = 57;

    ScriptedService();
    ~ScriptedService();

    // Replies to the next requests of operation ("getticket", "getchat", "setreadchat",
    // "setchat"), in turn; once they run out, the operation gets its ordinary answer.
    void script(const QString &operation, const QList<Reply> &replies);

    void goAway();
    // False when the port was taken meanwhile.
    bool comeBack();
    QString baseUrl() const;

    // One line per request received, in order: "getchat letto=3", "setchat <text>", ...
    QStringList requests() const;
    // Lets every held answer go, so that the server can stop.
    void releaseHeldAnswers();

private:
    bool start(int port);
    void answer(const std::string &body, httplib::Response &response);
    Reply nextReply(const QString &operation);
    void holdUntilReleased();

    std::unique_ptr<LoopbackServer> m_server;
    int m_port = 0;
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_holdReleased = false;
    QMap<QString, std::deque<Reply>> m_scripts;
    QStringList m_requests;
};
