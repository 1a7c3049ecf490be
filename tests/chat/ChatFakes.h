#pragma once

#include "app/AppState.h"
#include "app/Clock.h"
#include "app/Windows1252.h"
#include "chat/ChatService.h"
#include "chat/ChatView.h"
#include "chat/PollTimer.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <functional>

// One readable line per effect, shared by every fake, so that tests can assert the order of
// requests and window effects together.
using EffectLog = QStringList;

// Answers of the service as it writes them.
namespace Answers {
inline QString envelope(const QString &operation, const QString &fields) {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                          "<SOAP-ENV:Envelope "
                          "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                          "xmlns:ns1=\"urn:chat\"><SOAP-ENV:Body><ns1:%1Response>%2"
                          "</ns1:%1Response></SOAP-ENV:Body></SOAP-ENV:Envelope>")
        .arg(operation, fields);
}
inline QString ticket(const QString &status, const QString &id) {
    return envelope(QStringLiteral("getticket"),
                    QStringLiteral("<status>%1</status><id>%2</id>").arg(status, id));
}
inline QString status(const QString &operation, const QString &status) {
    return envelope(operation, QStringLiteral("<status>%1</status>").arg(status));
}
struct Message {
    qint64 id = 1;
    qint32 idOperatore = 0;
    QString testo = QStringLiteral("ciao");
    QString data = QStringLiteral("2024-03-05 14:05:59");
    int attach = 0;
    int letto = 0;
};
inline QString message(const Message &m) {
    return envelope(QStringLiteral("getchat"),
                    QStringLiteral("<status>OK</status><data>%1</data><testo>%2</testo><id>%3</id>"
                                   "<idoperatore>%4</idoperatore><attach>%5</attach>"
                                   "<letto>%6</letto>")
                        .arg(m.data, m.testo.toHtmlEscaped())
                        .arg(m.id)
                        .arg(m.idOperatore)
                        .arg(m.attach)
                        .arg(m.letto));
}
inline QString noMessage() {
    return status(QStringLiteral("getchat"), QStringLiteral("NOMSG"));
}
} // namespace Answers

class FakeChatService : public ChatService {
public:
    explicit FakeChatService(EffectLog &log)
        : m_log(log) {}

    QString ticketAnswer = Answers::ticket(QStringLiteral("OK"), QStringLiteral("57"));
    QString setChatAnswer = Answers::status(QStringLiteral("setchat"), QStringLiteral("OK"));
    // Answers to getchat, in turn; a quiet answer once they run out.
    QStringList chatAnswers;
    // Replaces chatAnswers when set: answers a getchat from the letto it carries.
    std::function<QString(qint64 letto)> chatResponder;
    std::function<void()> duringPost;
    bool inProgress = false;
    int postCount = 0;
    // Highest and lowest stack address seen inside post, to see whether a backlog nests.
    quintptr deepestFrame = ~quintptr(0);
    quintptr shallowestFrame = 0;

    QString post(const QString &endpoint, const QString &envelope) override {
        ++postCount;
        const auto frame = quintptr(__builtin_frame_address(0));
        deepestFrame = qMin(deepestFrame, frame);
        shallowestFrame = qMax(shallowestFrame, frame);
        if (duringPost)
            duringPost();
        const QString operation = element(envelope, QStringLiteral("chat:(\\w+)"));
        const QString prefix = endpoint == QLatin1String("ws_chat_due")   ? QStringLiteral("due:")
                               : endpoint == QLatin1String("ws_chat_tre") ? QStringLiteral("tre:")
                                                                          : endpoint + ':';
        if (operation == QLatin1String("getticket")) {
            m_log << prefix + QStringLiteral("getticket ") + parameter(envelope, "partitaiva");
            return ticketAnswer;
        }
        if (operation == QLatin1String("getchat")) {
            const QString letto = parameter(envelope, "letto");
            m_log << prefix + QStringLiteral("getchat id=%1 letto=%2 typing=%3")
                                  .arg(parameter(envelope, "id"), letto,
                                       parameter(envelope, "stascrivendo"));
            if (chatResponder)
                return chatResponder(letto.toLongLong());
            return chatAnswers.isEmpty() ? Answers::noMessage() : chatAnswers.takeFirst();
        }
        if (operation == QLatin1String("setreadchat")) {
            m_log << prefix + QStringLiteral("setreadchat ") + parameter(envelope, "id");
            return Answers::status(QStringLiteral("setreadchat"), QStringLiteral("OK"));
        }
        if (operation == QLatin1String("setchat")) {
            const QByteArray base64 = parameter(envelope, "testo").toLatin1();
            m_log << prefix +
                         QStringLiteral("setchat ticket=%1 attach=%2 ")
                             .arg(parameter(envelope, "idticket"), parameter(envelope, "attach")) +
                         Windows1252::decode(QByteArray::fromBase64(base64));
            return setChatAnswer;
        }
        m_log << prefix + QStringLiteral("unknown");
        return QString();
    }
    bool downloadPicture(const QString &fileName, const QString &path) override {
        m_log << QStringLiteral("download %1 -> %2").arg(fileName, path);
        return true;
    }
    QString uploadFile(const QString &path) override {
        m_log << QStringLiteral("upload ") + path;
        return QStringLiteral("OK");
    }
    bool exchangeInProgress() const override { return inProgress; }

private:
    static QString element(const QString &text, const QString &pattern) {
        return QRegularExpression(pattern).match(text).captured(1);
    }
    static QString parameter(const QString &envelope, const char *name) {
        const QString n = QLatin1String(name);
        return element(envelope, QStringLiteral("<%1 [^>]*>([^<]*)</%1>").arg(n));
    }
    EffectLog &m_log;
};

class FakeChatView : public ChatView {
public:
    explicit FakeChatView(EffectLog &log)
        : m_log(log) {}

    bool shown = false;
    QString input;
    bool answerYes = true;
    bool captureWorks = true;
    // Properties of each bubble as last set.
    QMap<int, QVariantMap> bubbles;

    bool isShown() const override { return shown; }
    QString inputText() const override { return input; }
    void clearInput() override {
        input.clear();
        m_log << QStringLiteral("clear input");
    }
    void showWindow() override {
        shown = true;
        m_log << QStringLiteral("show");
    }
    void hideWindow() override {
        shown = false;
        m_log << QStringLiteral("hide");
    }
    void showAsForMessage() override {
        shown = true;
        m_log << QStringLiteral("show in corner on top");
    }
    void beep() override { m_log << QStringLiteral("beep"); }
    void setCanvasVisible(bool visible) override {
        m_log << (visible ? QStringLiteral("canvas shown") : QStringLiteral("canvas hidden"));
    }
    void showBubble(int index) override {
        bubbles[index][QStringLiteral("visible")] = true;
        m_log << QStringLiteral("bubble %1").arg(index);
    }
    void setBubbleData(int index, const QString &time) override { set(index, "Data", time); }
    void setBubbleIdOperatore(int index, qint32 idOperatore) override {
        set(index, "IdOperatore", idOperatore);
    }
    void setBubbleTesto(int index, const QString &text) override { set(index, "Testo", text); }
    void setBubbleImmagineAttach(int index, const QString &fileName) override {
        set(index, "ImmagineAttach", fileName);
    }
    void setBubbleBackColor(int index, quint32 color) override {
        set(index, "BackColor", QString::number(color, 16));
    }
    void setBubbleForeColor(int index, quint32 color) override {
        set(index, "ForeColor", QString::number(color, 16));
    }
    void growList(int index) override { m_log << QStringLiteral("grow %1").arg(index); }
    void showWarning(const QString &text) override { m_log << QStringLiteral("warning ") + text; }
    bool askYesNo(const QString &question) override {
        m_log << QStringLiteral("ask ") + question;
        return answerYes;
    }
    void waitForScreenToSettle() override { m_log << QStringLiteral("settle"); }
    bool captureScreen(const QString &path) override {
        m_log << QStringLiteral("capture ") + path;
        return captureWorks;
    }
    void startProgram(const QString &path) override { m_log << QStringLiteral("start ") + path; }
    void endProcess() override { m_log << QStringLiteral("end process"); }

private:
    void set(int index, const char *property, const QVariant &value) {
        bubbles[index][QLatin1String(property)] = value;
        m_log << QStringLiteral("bubble %1 %2=%3").arg(index).arg(property, value.toString());
    }
    EffectLog &m_log;
};

class FakePollTimer : public PollTimer {
public:
    explicit FakePollTimer(EffectLog &log)
        : m_log(log) {}

    int interval = 0;
    bool enabled = false;

    void setInterval(int milliseconds) override {
        interval = milliseconds;
        m_log << QStringLiteral("interval %1").arg(milliseconds);
    }
    void enable() override {
        enabled = true;
        m_log << QStringLiteral("enable");
    }

private:
    EffectLog &m_log;
};

class FakeClock : public Clock {
public:
    QDateTime current = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    QDateTime now() const override { return current; }
};

class FakeTray : public TrayNotifier {
public:
    explicit FakeTray(EffectLog &log)
        : m_log(log) {}
    void ShowMessageTray(const QString &msg) override { m_log << QStringLiteral("balloon ") + msg; }

private:
    EffectLog &m_log;
};
