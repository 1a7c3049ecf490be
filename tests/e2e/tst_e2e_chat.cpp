#include "ChatServiceProcess.h"
#include "ClientProcess.h"
#include "Desktop.h"
#include "RecordingProxy.h"

#include "app/Units.h"
#include "app/Windows1252.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <QTest>

#include <functional>
#include <memory>

// The real client on a real X desktop against the real chat service, with a recording proxy
// between them: one client run, driven from the operator's side over HTTP and from the
// customer's side with the pointer and the keyboard.
namespace {

using Exchange = RecordingProxy::Exchange;
using Exchanges = QList<Exchange>;

const QString kVatNumber = QStringLiteral("01234567890");
const QString kCaption = QStringLiteral("Servizio clienti Quintaro");
const QString kGreeting = QStringLiteral("Buongiorno, come possiamo aiutarla?");
const QString kTyped = QStringLiteral("buongiorno");
const QString kOk = QStringLiteral("OK");

// The chat window's client area and its input box TextMsg, in twips.
constexpr int kWindowWidthTwips = 6375;
constexpr int kWindowHeightTwips = 8565;
constexpr QRect kTextMsgTwips(1110, 8145, 4245, 375);
// Where the window stands for a message: this far from the right and bottom screen edges.
constexpr double kRightMarginTwips = 200;
constexpr double kBottomMarginTwips = 600;
// Polls after a picture arrived that must not fetch it again.
constexpr int kLaterPolls = 3;

// Bounds on waits so that a fault ends the test instead of hanging it; they measure nothing.
// The first getchat is due 20 s after start; without a ticket the client asks every 60 s.
constexpr int kFirstPollPatienceMs = 90000;
constexpr int kExchangePatienceMs = 60000;
constexpr int kNoTicketPatienceMs = 150000;

QPoint centreInPixels(const QRect &twips) {
    using Units::twipsToPixels;
    return QPoint(twipsToPixels(twips.x() + twips.width() / 2.0),
                  twipsToPixels(twips.y() + twips.height() / 2.0));
}

// The gap in pixels matches the margin in twips up to the rounding to whole pixels.
bool matchesMargin(int gapPixels, double marginTwips) {
    return qAbs(gapPixels - marginTwips / Units::kTwipsPerPixel) < 1.0;
}

qsizetype indexOf(const Exchanges &wire, const std::function<bool(const Exchange &)> &match,
                  qsizetype from = 0) {
    for (qsizetype i = from; i < wire.size(); ++i)
        if (match(wire[i]))
            return i;
    return -1;
}

qsizetype countOf(const Exchanges &wire, const std::function<bool(const Exchange &)> &match,
                  qsizetype from = 0) {
    qsizetype count = 0;
    for (qsizetype i = from; i < wire.size(); ++i)
        count += match(wire[i]) ? 1 : 0;
    return count;
}

auto operation(const char *name) {
    return [name](const Exchange &exchange) { return exchange.operation == QLatin1String(name); };
}

auto markedRead(qint32 messageId) {
    return [messageId](const Exchange &exchange) {
        return exchange.operation == QLatin1String("setreadchat") &&
               exchange.parameters.value(QStringLiteral("id")) == QString::number(messageId);
    };
}

auto downloadOf(const QString &fileName) {
    return [fileName](const Exchange &exchange) {
        return exchange.operation == QLatin1String("download") &&
               exchange.parameters.value(QStringLiteral("nomefile")) == fileName;
    };
}

// The text a setchat carries, as the service decodes it.
QString sentText(const Exchange &setChat) {
    return Windows1252::decode(
        QByteArray::fromBase64(setChat.parameters.value(QStringLiteral("testo")).toLatin1()));
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray operatorPicture() {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.fillRect(8, 8, 24, 16, Qt::blue);
    painter.drawEllipse(36, 20, 20, 20);
    painter.end();
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");
    return png.data();
}

} // namespace

class TestE2eChat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startAsksForTicketThenFetchesWaitingMessage();
    void chatWindowShowsAtBottomRight();
    void typedMessageReachesService();
    void inputBoxEmptiesAfterSentMessageIsFetched();
    void operatorPictureIsDownloadedOnce();
    void messageIsDeliveredOnceAndMarkedRead_data();
    void messageIsDeliveredOnceAndMarkedRead();
    void closedTicketEndsChat();
    void clientEndsOnTermination();
    void cleanup();

private:
    // An operator call about the ticket.
    std::string ticketPath(const char *tail) const;
    // The service's record of the first message of the ticket that matches; empty when none does.
    QJsonObject serviceMessage(const std::function<bool(const QJsonObject &)> &match);

    ChatServiceProcess m_service;
    std::unique_ptr<RecordingProxy> m_proxy;
    ClientProcess m_client;
    qint32 m_ticketId = 0;
    qint32 m_greetingId = 0;
    qint32 m_sentId = 0;
    qint32 m_pictureId = 0;
    QString m_pictureName;
    QString m_chatWindow;
};

void TestE2eChat::initTestCase() {
    const QString serviceProgram =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("brenno-service"));
    QVERIFY2(m_service.start(serviceProgram, {QStringLiteral("--memory"),
                                              QStringLiteral("--open-ticket"), kVatNumber}),
             qPrintable(m_service.errorOutput()));
    const QJsonArray tickets =
        m_service.get("/api/tickets").json().value(QStringLiteral("tickets")).toArray();
    QCOMPARE(tickets.size(), 1);
    QCOMPARE(tickets.first()[QStringLiteral("vat")].toString(), kVatNumber);
    m_ticketId = tickets.first()[QStringLiteral("id")].toInt();
    QVERIFY(m_ticketId > 0);

    m_proxy = std::make_unique<RecordingProxy>(m_service.port());
    QVERIFY(m_proxy->start());

    // Waiting before the client starts: its first getchat delivers it.
    const ChatServiceProcess::Reply greeting =
        m_service.post(ticketPath("/messages"),
                       QJsonDocument(QJsonObject{{QStringLiteral("testo"), kGreeting}}).toJson());
    QCOMPARE(greeting.status, 200);
    m_greetingId = greeting.json().value(QStringLiteral("id")).toInt();
    QVERIFY(m_greetingId > 0);

    QVERIFY(m_client.start(QCoreApplication::applicationDirPath(),
                           QString::fromStdString(m_proxy->baseUrl()), kVatNumber));
}

void TestE2eChat::startAsksForTicketThenFetchesWaitingMessage() {
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(m_proxy->exchanges(), markedRead(m_greetingId)) >= 0,
                             kFirstPollPatienceMs);
    const Exchanges wire = m_proxy->exchanges();
    // At start the ticket, then nothing until the first poll delivers the message.
    QCOMPARE(indexOf(wire, markedRead(m_greetingId)), 2);
    const Exchange &ticketAsked = wire[0];
    QCOMPARE(ticketAsked.operation, QStringLiteral("getticket"));
    QCOMPARE(ticketAsked.parameters.value(QStringLiteral("partitaiva")), kVatNumber);
    QCOMPARE(ticketAsked.answerField("status"), kOk);
    QCOMPARE(ticketAsked.answerField("id"), QString::number(m_ticketId));

    const Exchange &delivery = wire[1];
    QCOMPARE(delivery.operation, QStringLiteral("getchat"));
    QCOMPARE(delivery.parameters.value(QStringLiteral("id")), QString::number(m_ticketId));
    QCOMPARE(delivery.parameters.value(QStringLiteral("letto")), QStringLiteral("0"));
    QCOMPARE(delivery.parameters.value(QStringLiteral("partitaiva")), kVatNumber);
    QCOMPARE(delivery.answerField("id"), QString::number(m_greetingId));
}

void TestE2eChat::chatWindowShowsAtBottomRight() {
    QStringList windows;
    QTRY_VERIFY_WITH_TIMEOUT(!(windows = Desktop::windowsNamed(kCaption)).isEmpty(),
                             kExchangePatienceMs);
    QCOMPARE(windows.size(), 1);
    m_chatWindow = windows.first();
    QVERIFY(Desktop::isViewable(m_chatWindow));

    const QRect window = Desktop::windowGeometry(m_chatWindow);
    const QSize screen = Desktop::screenSize();
    QCOMPARE(window.size(), QSize(Units::twipsToPixels(kWindowWidthTwips),
                                  Units::twipsToPixels(kWindowHeightTwips)));
    const QString where = QStringLiteral("window %1,%2 %3x%4 on a %5x%6 screen")
                              .arg(window.x())
                              .arg(window.y())
                              .arg(window.width())
                              .arg(window.height())
                              .arg(screen.width())
                              .arg(screen.height());
    QVERIFY2(matchesMargin(screen.width() - (window.x() + window.width()), kRightMarginTwips),
             qPrintable(where));
    QVERIFY2(matchesMargin(screen.height() - (window.y() + window.height()), kBottomMarginTwips),
             qPrintable(where));
}

void TestE2eChat::typedMessageReachesService() {
    QVERIFY2(!m_chatWindow.isEmpty(), "the chat window was not found");
    const qsizetype before = m_proxy->exchanges().size();
    QVERIFY(Desktop::clickAt(m_chatWindow, centreInPixels(kTextMsgTwips)));
    QVERIFY(Desktop::type(kTyped));
    QVERIFY(Desktop::pressKey(QStringLiteral("Return")));

    const auto customerText = [](const QJsonObject &message) {
        return message.value(QStringLiteral("idoperatore")).toInt() == 0 &&
               message.value(QStringLiteral("testo")).toString() == kTyped;
    };
    QTRY_VERIFY_WITH_TIMEOUT(!serviceMessage(customerText).isEmpty(), kExchangePatienceMs);
    m_sentId = serviceMessage(customerText).value(QStringLiteral("id")).toInt();

    // The message comes back at once: the getchat right after the setchat fetches it.
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(m_proxy->exchanges(), markedRead(m_sentId), before) >= 0,
                             kExchangePatienceMs);
    const Exchanges wire = m_proxy->exchanges();
    const qsizetype sent = indexOf(wire, operation("setchat"), before);
    QVERIFY(sent > 0);
    QCOMPARE(countOf(wire, operation("setchat")), 1);

    const Exchange &ticketAsked = wire[sent - 1];
    QCOMPARE(ticketAsked.operation, QStringLiteral("getticket"));
    QCOMPARE(ticketAsked.answerField("status"), kOk);

    const Exchange &setChat = wire[sent];
    QCOMPARE(setChat.parameters.value(QStringLiteral("idticket")), QString::number(m_ticketId));
    QCOMPARE(sentText(setChat), kTyped);
    QCOMPARE(setChat.parameters.value(QStringLiteral("attach")), QStringLiteral("0"));
    QCOMPARE(setChat.answerField("status"), kOk);

    QVERIFY(wire.size() > sent + 1);
    const Exchange &echo = wire[sent + 1];
    QCOMPARE(echo.operation, QStringLiteral("getchat"));
    QCOMPARE(echo.answerField("id"), QString::number(m_sentId));
}

// Seen on the wire through the typing flag, which is 1 while the visible window's box holds text.
void TestE2eChat::inputBoxEmptiesAfterSentMessageIsFetched() {
    const auto pollWithTyping = [](const char *flag) {
        return [flag](const Exchange &exchange) {
            return exchange.operation == QLatin1String("getchat") &&
                   exchange.parameters.value(QStringLiteral("stascrivendo")) == QLatin1String(flag);
        };
    };
    const qsizetype sent = indexOf(m_proxy->exchanges(), operation("setchat"));
    QVERIFY2(sent >= 0, "no message was sent");
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(m_proxy->exchanges(), pollWithTyping("0"), sent) >= 0,
                             kExchangePatienceMs);
    const Exchanges wire = m_proxy->exchanges();
    const qsizetype emptied = indexOf(wire, pollWithTyping("0"), sent);
    // The sent message and the follow-up that finds nothing more, both with the text still there.
    QCOMPARE(countOf(wire.mid(sent, emptied - sent), operation("getchat")), 2);
    QCOMPARE(countOf(wire.mid(sent, emptied - sent), pollWithTyping("1")), 2);
}

void TestE2eChat::operatorPictureIsDownloadedOnce() {
    const QByteArray picture = operatorPicture();
    QVERIFY(!picture.isEmpty());
    const ChatServiceProcess::Reply sent =
        m_service.post(ticketPath("/pictures?name=e2e.png"), picture, "image/png");
    QCOMPARE(sent.status, 200);
    m_pictureName = sent.json().value(QStringLiteral("name")).toString();
    m_pictureId = sent.json().value(QStringLiteral("id")).toInt();
    QVERIFY(!m_pictureName.isEmpty());

    const QString localFile =
        QDir(m_client.applicationFolder()).filePath(QStringLiteral("TempImg/") + m_pictureName);
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(localFile), picture, kExchangePatienceMs);

    const qsizetype download = indexOf(m_proxy->exchanges(), downloadOf(m_pictureName));
    QVERIFY(download >= 2);
    QTRY_VERIFY_WITH_TIMEOUT(countOf(m_proxy->exchanges(), operation("getchat"), download) >=
                                 kLaterPolls,
                             kExchangePatienceMs);
    const Exchanges wire = m_proxy->exchanges();
    QCOMPARE(countOf(wire, downloadOf(m_pictureName)), 1);
    QCOMPARE(wire[download].status, 200);
    // Delivered and marked read before it is fetched.
    QCOMPARE(wire[download - 2].answerField("id"), QString::number(m_pictureId));
    QVERIFY(markedRead(m_pictureId)(wire[download - 1]));
}

void TestE2eChat::messageIsDeliveredOnceAndMarkedRead_data() {
    QTest::addColumn<qint32>("messageId");
    QTest::addColumn<QString>("testo");
    QTest::addColumn<bool>("fromOperator");
    QTest::addColumn<QString>("attach");
    QTest::newRow("operator greeting") << m_greetingId << kGreeting << true << "0";
    QTest::newRow("customer's own text") << m_sentId << kTyped << false << "0";
    QTest::newRow("operator picture") << m_pictureId << m_pictureName << true << "1";
}

void TestE2eChat::messageIsDeliveredOnceAndMarkedRead() {
    QFETCH(qint32, messageId);
    QFETCH(QString, testo);
    QFETCH(bool, fromOperator);
    QFETCH(QString, attach);
    QVERIFY2(messageId > 0, "an earlier step did not produce this message");
    const auto delivers = [messageId](const Exchange &exchange) {
        return exchange.operation == QLatin1String("getchat") &&
               exchange.answerField("status") == kOk &&
               exchange.answerField("id") == QString::number(messageId);
    };
    const Exchanges wire = m_proxy->exchanges();
    QCOMPARE(countOf(wire, delivers), 1);
    const qsizetype delivery = indexOf(wire, delivers);
    QCOMPARE(wire[delivery].answerField("testo"), testo);
    QCOMPARE(wire[delivery].answerField("idoperatore").toInt() > 0, fromOperator);
    QCOMPARE(wire[delivery].answerField("attach"), attach);
    // Marked read at once, and only once.
    QVERIFY(delivery + 1 < wire.size() && markedRead(messageId)(wire[delivery + 1]));
    QCOMPARE(countOf(wire, markedRead(messageId)), 1);

    const QJsonObject stored = serviceMessage([messageId](const QJsonObject &message) {
        return message.value(QStringLiteral("id")).toInt() == messageId;
    });
    QCOMPARE(stored.value(QStringLiteral("letto")), QJsonValue(true));
}

void TestE2eChat::closedTicketEndsChat() {
    const qsizetype before = m_proxy->exchanges().size();
    QCOMPARE(m_service.post(ticketPath("/close"), {}).status, 200);

    const auto ended = [](const Exchange &exchange) {
        return exchange.operation == QLatin1String("getchat") &&
               exchange.answerField("status") == QLatin1String("noticket");
    };
    QTRY_VERIFY_WITH_TIMEOUT(indexOf(m_proxy->exchanges(), ended, before) >= 0,
                             kExchangePatienceMs);
    const qsizetype end = indexOf(m_proxy->exchanges(), ended, before);
    QTRY_VERIFY_WITH_TIMEOUT(m_proxy->exchanges().size() > end + 1, kNoTicketPatienceMs);

    const Exchanges wire = m_proxy->exchanges();
    for (qsizetype i = end + 1; i < wire.size(); ++i) {
        QCOMPARE(wire[i].operation, QStringLiteral("getticket"));
        QVERIFY(wire[i].answerField("status") != kOk);
    }
}

void TestE2eChat::clientEndsOnTermination() {
    const QString screenshot = QDir::current().absoluteFilePath(QStringLiteral("e2e.png"));
    if (Desktop::saveScreenshot(screenshot))
        qInfo("screen at the end: %s", qPrintable(screenshot));

    const QList<qint64> running = m_client.processesRunningFromFolder();
    QVERIFY(running.contains(m_client.processId()));
    QCOMPARE(m_client.terminate(), 0);
    QCOMPARE(m_client.processesRunningFromFolder(), QList<qint64>());
}

void TestE2eChat::cleanup() {
    if (!QTest::currentTestFailed() || !m_proxy)
        return;
    qInfo().noquote() << "Requests on the wire, in order:\n" + m_proxy->describe();
    qInfo().noquote() << "Client stderr:\n" + m_client.errorOutput();
    qInfo().noquote() << "Service stderr:\n" + m_service.errorOutput();
}

std::string TestE2eChat::ticketPath(const char *tail) const {
    return "/api/tickets/" + std::to_string(m_ticketId) + tail;
}

QJsonObject TestE2eChat::serviceMessage(const std::function<bool(const QJsonObject &)> &match) {
    const QJsonObject conversation = m_service.get(ticketPath("/messages")).json();
    for (const QJsonValue &message : conversation.value(QStringLiteral("messages")).toArray())
        if (match(message.toObject()))
            return message.toObject();
    return {};
}

QTEST_GUILESS_MAIN(TestE2eChat)
#include "tst_e2e_chat.moc"
