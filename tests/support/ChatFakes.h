#pragma once

#include "chat/ChatService.h"
#include "chat/ChatView.h"
#include "chat/PollTimer.h"
#include "core/AppState.h"
#include "core/Clock.h"

#include <QRegularExpression>
#include <QStringList>
#include <functional>

// One readable line per effect, shared by every fake, so that tests can assert the order of
// requests and window effects together.
using EffectLog = QStringList;

struct EffectWriter {
    // Without a log the fakes stay quiet, so that a benchmark measures the code it drives.
    EffectWriter() = default;
    explicit EffectWriter(EffectLog &log)
        : m_log(&log) {}
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
// "tre:getchat 57 0 0 01234567890"; the text of setchat stays in Base64.
struct FakeChatService : ChatService, EffectWriter {
    using EffectWriter::EffectWriter;

    // Answers by operation, "OK" for those missing; getchat takes chatAnswers first, in turn.
    // A probe answers "OK" for the path /ok only.
    QMap<QString, QString> answers{{"getticket", Answers::status("getticket", "OK", "<id>57</id>")},
                                   {"getchat", Answers::status("getchat", "NOMSG")}};
    QStringList chatAnswers;
    std::function<void()> duringPost = [] {};
    bool inProgress = false, uploadWorks = true;

    QString post(const QString &endpoint, const QString &envelope) override {
        duringPost();
        static const QRegularExpression tag("<[^>]*>");
        const QString operation = envelope.section("<chat:", 1).section(' ', 0, 0);
        note(endpoint.section('_', -1) + ':' + operation + ' ' +
             QString(envelope).replace(tag, " ").simplified());
        if (operation == "getchat" && !chatAnswers.isEmpty())
            return chatAnswers.takeFirst();
        return answers.value(operation, Answers::status(operation, "OK"));
    }
    bool downloadPicture(const QString &fileName, const QString &path) override {
        return note("download " + fileName + " to " + path, true);
    }
    bool uploadFile(const QString &path) override { return note("upload " + path, uploadWorks); }
    bool probeLink(const QUrl &a) override { return note("probe " + a.url(), a.path() == "/ok"); }
    bool exchangeInProgress() const override { return inProgress; }
};

// The chat window, and the tray the session tells when the chat ends.
struct FakeChatView : ChatView, TrayNotifier, EffectWriter {
    using EffectWriter::EffectWriter;

    bool shown = false, startWorks = true, programRuns = false;
    QString input;
    QList<ChatMessage> messages;

    bool isShown() const override { return shown; }
    QString inputText() const override { return input; }
    void clearInput() override { input = note("clear input", QString()); }
    void showWindow() override { note("show"); }
    void showForUser() override { note("show for user"); }
    void hideWindow() override { note("hide"); }
    void showAsForMessage() override { note("show in corner"); }
    void beep() override { note("beep"); }
    void setCanvasVisible(bool on) override { note(on ? "canvas on" : "canvas off"); }
    // "bubble 14:05 7 ff8400/ffffff Testo=ciao", " (link)" after a link.
    void addMessage(const ChatMessage &m) override {
        messages << m;
        if (m_log) // formatting would weigh on a benchmark
            note(QStringLiteral("bubble %1 %2 %3/%4 %5=%6%7")
                     .arg(m.time, QString::number(m.idOperatore), QString::number(m.backColor, 16),
                          QString::number(m.foreColor, 16),
                          m.isPicture ? "ImmagineAttach" : "Testo", m.text,
                          m.isLink ? " (link)" : ""));
    }
    void showWarning(const QString &text) override { note("warning " + text); }
    bool askYesNo(const QString &question) override { return note("ask " + question, true); }
    void waitForScreenToSettle() override { note("settle"); }
    bool captureScreen(const QString &to) override { return note("capture " + to, true); }
    bool startProgram(const QString &path) override { return note("start " + path, startWorks); }
    bool programRunning() const override { return programRuns; }
    void endProcess() override { note("end process"); }
    void ShowMessageTray(const QString &text) override { note("balloon " + text); }
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
