#pragma once

#include "chat/ChatService.h"
#include "chat/ChatView.h"
#include "chat/PollTimer.h"
#include "core/AppState.h"
#include "core/Clock.h"
#include "core/Windows1252.h" // users of these fakes decode setchat texts with it

#include <QRegularExpression>
#include <QStringList>
#include <functional>

// One readable line per effect, shared by every fake, so that tests can assert the order of
// requests and window effects together.
using EffectLog = QStringList;

class EffectWriter {
public:
    // Without a log the fakes stay quiet, so that a benchmark measures the code it drives.
    EffectWriter() = default;
    explicit EffectWriter(EffectLog &log)
        : m_log(&log) {}

protected:
    bool quiet() const { return m_log == nullptr; }
    void write(const QString &entry) {
        if (m_log)
            *m_log << entry;
    }
    // Logs entry and gives back what the fake answers.
    template<typename Answer> Answer note(const QString &entry, Answer answer) {
        write(entry);
        return answer;
    }

private:
    EffectLog *m_log = nullptr;
};

// Answers of the service as it writes them.
struct Answers {
    static QString envelope(const QString &operation, const QString &fields) {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                              "<SOAP-ENV:Envelope "
                              "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                              "xmlns:ns1=\"urn:chat\"><SOAP-ENV:Body><ns1:%1Response>%2"
                              "</ns1:%1Response></SOAP-ENV:Body></SOAP-ENV:Envelope>")
            .arg(operation, fields);
    }
    static QString status(const QString &operation, const QString &status) {
        return envelope(operation, "<status>" + status + "</status>");
    }
    static QString ticket(const QString &status, const QString &id) {
        return envelope("getticket", "<status>" + status + "</status><id>" + id + "</id>");
    }
    static QString noMessage() { return status("getchat", "NOMSG"); }

    struct Message {
        qint64 id = 1;
        qint32 idOperatore = 0;
        QString testo = QStringLiteral("ciao");
        int attach = 0;
        int letto = 0;
        QString data = QStringLiteral("2024-03-05 14:05:59");
    };
    static QString message(const Message &m) {
        const auto field = [](const char *name, const auto &value) {
            return QStringLiteral("<%1>%2</%1>").arg(QLatin1String(name)).arg(value);
        };
        return envelope("getchat", "<status>OK</status>" + field("data", m.data) +
                                       field("testo", m.testo.toHtmlEscaped()) + field("id", m.id) +
                                       field("idoperatore", m.idOperatore) +
                                       field("attach", m.attach) + field("letto", m.letto));
    }
};

// Logs each request as "<endpoint suffix>:<operation> <parameter values in wire order>", e.g.
// "tre:getchat 57 0 0 01234567890"; the text of setchat stays in Base64.
class FakeChatService : public ChatService, EffectWriter {
public:
    using EffectWriter::EffectWriter;

    // Answers by operation; getchat takes its own in turn, and a quiet answer once they run out.
    QMap<QString, QString> answers{{"getticket", Answers::ticket("OK", "57")},
                                   {"setchat", Answers::status("setchat", "OK")}};
    QStringList chatAnswers;
    std::function<void()> duringPost;
    bool inProgress = false;

    QString post(const QString &endpoint, const QString &envelope) override {
        if (duringPost)
            duringPost();
        static const QRegularExpression tag("<[^>]*>");
        const QString operation = envelope.section("<chat:", 1).section(' ', 0, 0);
        write(endpoint.section('_', -1) + ':' + operation + ' ' +
              QString(envelope).replace(tag, " ").simplified());
        if (operation == "getchat")
            return chatAnswers.isEmpty() ? Answers::noMessage() : chatAnswers.takeFirst();
        return answers.value(operation, Answers::status(operation, "OK"));
    }
    bool downloadPicture(const QString &fileName, const QString &path) override {
        return note("download " + fileName + " to " + path, true);
    }
    bool uploadWorks = true;
    bool uploadFile(const QString &path) override { return note("upload " + path, uploadWorks); }
    // Addresses whose probe answers "OK".
    QStringList answeringAddresses;
    bool probeLink(const QUrl &address) override {
        return note("probe " + address.toString(), answeringAddresses.contains(address.toString()));
    }
    bool exchangeInProgress() const override { return inProgress; }
};

class FakeChatView : public ChatView, EffectWriter {
public:
    using EffectWriter::EffectWriter;

    bool shown = false;
    QString input;
    bool answerYes = true;
    bool captureWorks = true;
    QList<ChatMessage> messages;

    bool isShown() const override { return shown; }
    QString inputText() const override { return input; }
    void clearInput() override { input = note("clear input", QString()); }
    void showWindow() override { write("show"); }
    void showForUser() override { write("show for user"); }
    void hideWindow() override { write("hide"); }
    void showAsForMessage() override { write("show in corner"); }
    void beep() override { write("beep"); }
    void setCanvasVisible(bool on) override { write(on ? "canvas on" : "canvas off"); }
    // "bubble 14:05 7 ff8400/ffffff Testo=ciao", " (link)" after a link.
    void addMessage(const ChatMessage &message) override {
        messages << message;
        if (quiet())
            return;
        write(QStringLiteral("bubble %1 %2 %3/%4 %5=%6%7")
                  .arg(message.time)
                  .arg(message.idOperatore)
                  .arg(message.backColor, 0, 16)
                  .arg(message.foreColor, 0, 16)
                  .arg(message.isPicture ? "ImmagineAttach" : "Testo", message.text,
                       message.isLink ? " (link)" : ""));
    }
    void showWarning(const QString &text) override { write("warning " + text); }
    bool askYesNo(const QString &question) override { return note("ask " + question, answerYes); }
    void waitForScreenToSettle() override { write("settle"); }
    bool captureScreen(const QString &path) override {
        return note("capture " + path, captureWorks);
    }
    bool startWorks = true;
    bool programRuns = false;
    bool startProgram(const QString &path) override { return note("start " + path, startWorks); }
    bool programRunning() const override { return programRuns; }
    void endProcess() override { write("end process"); }
};

class FakePollTimer : public PollTimer, EffectWriter {
public:
    using EffectWriter::EffectWriter;
    int interval = 0;
    void setInterval(int ms) override {
        interval = note(QStringLiteral("interval %1").arg(ms), ms);
    }
    void enable() override { write("enable"); }
};

class FakeClock : public Clock {
public:
    QDateTime current = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    QDateTime now() const override { return current; }
};

class FakeTray : public TrayNotifier, EffectWriter {
public:
    using EffectWriter::EffectWriter;
    void ShowMessageTray(const QString &msg) override { write("balloon " + msg); }
};
