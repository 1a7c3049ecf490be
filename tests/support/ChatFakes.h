#pragma once

#include "core/Clock.h"
#include "session/ChatService.h"
#include "session/ChatView.h"
#include "session/PollTimer.h"

#include <QRegularExpression>
#include <QStringList>
#include <deque>
#include <functional>

// One readable line per effect, shared by every fake, so that tests can assert the order of
// requests and window effects together.
using EffectLog = QStringList;

struct EffectWriter {
    // Without a log the fakes stay quiet, so that a benchmark measures the code it drives.
    explicit EffectWriter(EffectLog *log = nullptr)
        : m_log(log) {}
    // Logs entry and gives back what the fake answers.
    template<typename Answer = bool> Answer note(const QString &entry, Answer answer = {}) {
        if (m_log)
            *m_log << entry;
        return answer;
    }
    EffectLog *m_log = nullptr;
};

// Answers of the service as it writes them.
struct Answers {
    static QString status(const QString &op, const QString &status, const QString &fields = {}) {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><SOAP-ENV:Envelope "
                              "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                              "xmlns:ns1=\"urn:chat\"><SOAP-ENV:Body><ns1:%1Response><status>%2"
                              "</status>%3</ns1:%1Response></SOAP-ENV:Body></SOAP-ENV:Envelope>")
            .arg(op, status, fields);
    }

    struct Message {
        qint64 id = 1, idOperatore = 0;
        QString testo = QStringLiteral("ciao");
        int attach = 0, letto = 0;
        QString data = QStringLiteral("2024-03-05 14:05:59");
    };
    static QString message(const Message &m) {
        const auto n = [](qint64 value) { return QString::number(value); };
        return status("getchat", "OK",
                      QStringLiteral("<data>%1</data><testo>%2</testo><id>%3</id><idoperatore>%4"
                                     "</idoperatore><attach>%5</attach><letto>%6</letto>")
                          .arg(m.data, m.testo.toHtmlEscaped(), n(m.id), n(m.idOperatore),
                               n(m.attach), n(m.letto)));
    }
};

// Logs each request as "<endpoint suffix>:<operation> <parameter values in wire order>", e.g.
// "tre:getchat 57 0 0 01234567890", setchat's text in Base64. Answers wait until the test
// releases them, as a slow service would hold them.
struct FakeChatService : ChatService, EffectWriter {
    using EffectWriter::EffectWriter;

    // By operation, "OK" for those missing; getchat takes chatAnswers first, in turn.
    QMap<QString, QString> answers{{"getticket", Answers::status("getticket", "OK", "<id>57</id>")},
                                   {"getchat", Answers::status("getchat", "NOMSG")}};
    QStringList chatAnswers;
    bool uploadWorks = true;
    std::deque<std::function<void()>> held;

    // Until the session waits for nothing; a flat loop, however long the run.
    void answerAll() {
        while (!held.empty())
            answerNext();
    }
    void answerNext() {
        const std::function<void()> answer = std::move(held.front());
        held.pop_front();
        answer();
    }

    void post(const QString &endpoint, const QString &envelope, Answer done) override {
        static const QRegularExpression tag("<[^>]*>");
        const QString operation = envelope.section("<chat:", 1).section(' ', 0, 0);
        note(endpoint.section('_', -1) + ':' + operation + ' ' +
             QString(envelope).replace(tag, " ").simplified());
        QString answer = answers.value(operation, Answers::status(operation, "OK"));
        if (operation == "getchat" && !chatAnswers.isEmpty())
            answer = chatAnswers.takeFirst();
        held.push_back([done, answer] { done(answer); });
    }
    void downloadPicture(const QString &fileName, const QString &path, Outcome done) override {
        note("download " + fileName + " to " + path);
        held.push_back([done] { done(true); });
    }
    // Half the bytes go out, then the answer comes.
    void uploadFile(const QString &path, Progress progress, Outcome done) override {
        note("upload " + path);
        held.push_back([progress] { progress(50, 100); });
        held.push_back([this, done] { done(uploadWorks); });
    }
    // Only the path /ok answers "OK".
    void probeLink(const QUrl &a, Outcome done) override {
        note("probe " + a.url());
        held.push_back([done, ok = a.path() == "/ok"] { done(ok); });
    }
};

// The chat window, which also hands the ticket and the balloons on to the tray.
struct FakeChatView : ChatView, EffectWriter {
    using EffectWriter::EffectWriter;

    bool shown = false, startWorks = true, captureWorks = true;
    QString input;
    QList<ChatMessage> messages;
    // Not logged: they change with every request.
    int pendingRequests = 0;

    bool isShown() const override { return shown; }
    QString inputText() const override { return input; }
    void setInputText(const QString &text) override { input = note("input " + text, text); }
    void showWindow() override { note("show"); }
    void showForUser() override { note("show for user"); }
    void hideWindow() override { note("hide"); }
    void showAsForMessage() override { note("show in corner"); }
    void beep() override { note("beep"); }
    // "bubble 14:05 7 #0084ff/#ffffff Testo=ciao", " (link)" after a link.
    void addMessage(const ChatMessage &m) override {
        messages << m;
        if (m_log) // formatting would weigh on a benchmark
            note(QStringLiteral("bubble %1 %2 %3/%4 %5=%6%7")
                     .arg(m.time, QString::number(m.idOperatore), m.backColor.name(),
                          m.foreColor.name(), m.isPicture ? "ImmagineAttach" : "Testo", m.text,
                          m.isLink ? " (link)" : ""));
    }
    void showPendingRequests(int count) override { pendingRequests = count; }
    void showUploadProgress(qint64, qint64) override {}
    void showWarning(const QString &text) override { note("warning " + text); }
    void askYesNo(const QString &question, std::function<void(bool)> answer) override {
        answer(note("ask " + question, true)); // the customer agrees
    }
    void waitForScreenToSettle(std::function<void()> then) override {
        note("settle");
        then();
    }
    void captureScreen(const QString &to, std::function<void(bool)> done) override {
        done(note("capture " + to, captureWorks));
    }
    bool startProgram(const QString &path) override { return note("start " + path, startWorks); }
    bool programRunning() const override { return false; }
    void ticketChanged(qint32 idTicket) override { note("ticket " + QString::number(idTicket)); }
    void showBalloon(const QString &text) override { note("balloon " + text); }
};

struct FakePollTimer : PollTimer, EffectWriter {
    using EffectWriter::EffectWriter;
    int interval = 0;
    void setInterval(int ms) override { note("interval " + QString::number(interval = ms)); }
    void enable() override { note("enable"); }
};

struct FakeClock : Clock {
    QDateTime now() const override { return {QDate(2024, 3, 5), QTime(14, 7, 9)}; }
};
