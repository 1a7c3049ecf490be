#include "LoopbackServer.h"
#include "ServiceProcess.h"

#include "app/Units.h"
#include "core/Windows1252.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <mutex>

// The real client on a real X desktop against the real chat service, with a recording proxy
// between them: one client run, driven from the operator's side over the service's JSON API and
// from the customer's side with the pointer and the keyboard (xdotool). The proxy keeps the wire
// as one line per exchange, "call name=value ... -> name=value ...", the SOAP values in the order
// sent; the tests read it with patterns.
namespace {

const QString kVat = QStringLiteral("01234567890");
const QString kTyped = QStringLiteral("buongiorno");
// The chat window's client area, the centre of its input box TextMsg, and its distance from the
// right and bottom screen edges while it stands for a message, in twips.
constexpr QSize kWindowTwips(6375, 8565);
constexpr QPoint kTextMsgCentreTwips(3232, 8332);
constexpr QSize kMarginTwips(200, 600);
// Polls after a picture arrived that must not fetch it again.
constexpr int kLaterPolls = 3;
// Bounds on waits so that a fault ends the test instead of hanging it; they measure nothing.
// The first getchat is due 20 s after start; without a ticket the client asks every 60 s.
constexpr int kGuardMs = 60000;
constexpr int kFirstPollGuardMs = 90000;
constexpr int kNoTicketGuardMs = 150000;
const QStringList kFindChat = {"search", "--onlyvisible", "--name", "^Servizio clienti Quintaro$"};
const QStringList kFindPreview = {"search", "--onlyvisible", "--name", "^Invia immagine$"};

// "call name=value ...": the first element inside the envelope's Body names the call, its
// children carry the values; empty for anything else.
QString soapCall(const std::string &xml) {
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    while (!reader.atEnd() && reader.name() != QLatin1String("Body"))
        reader.readNext();
    if (!reader.readNextStartElement())
        return {};
    QStringList call = {reader.name().toString()};
    while (reader.readNextStartElement())
        call << reader.name().toString() + '=' + reader.readElementText().simplified();
    return call.join(' ');
}

// xdotool's output lines as NAME=value pairs, as --shell writes them; a window id is a bare name.
QMap<QString, int> xdotool(const QStringList &arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(kGuardMs);
    QMap<QString, int> values;
    const QString output = QString::fromUtf8(tool.readAllStandardOutput());
    for (const QString &line : output.split('\n', Qt::SkipEmptyParts))
        values.insert(line.section('=', 0, 0), line.section('=', 1).toInt());
    return values;
}

// indexOf matches whole lines; patterns are searched for within them, as filter does.
qsizetype find(const QStringList &wire, const QString &pattern, qsizetype from = 0) {
    return wire.indexOf(QRegularExpression(".*(?:" + pattern + ").*"), from);
}

qsizetype count(const QStringList &wire, const QString &pattern) {
    return wire.filter(QRegularExpression(pattern)).size();
}

QString delivery(qint32 messageId) {
    return QStringLiteral("^getchat .* -> getchatResponse status=OK .* id=%1 ").arg(messageId);
}

// Delivered once, and marked read once, right after.
void checkDeliveredOnceAndRead(const QStringList &wire, qint32 messageId) {
    const QString markedRead =
        QStringLiteral("^setreadchat id=%1 -> \\w+ status=OK$").arg(messageId);
    QCOMPARE(count(wire, delivery(messageId)), 1);
    QCOMPARE(count(wire, markedRead), 1);
    QCOMPARE(find(wire, markedRead), find(wire, delivery(messageId)) + 1);
}

// Clicks the chat window's input box, then does what follows with xdotool; its exit code.
int clickTheBoxThen(const QStringList &then) {
    const QPoint box = kTextMsgCentreTwips / Units::kTwipsPerPixel;
    return QProcess::execute(
        "xdotool", QStringList{"mousemove", "--window", xdotool(kFindChat).firstKey(),
                               QString::number(box.x()), QString::number(box.y()), "click", "1"} +
                       then);
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestE2eChat : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void operatorMessageIsReadAndShowsWindowAtBottomRight();
    void typedMessageReachesService();
    void operatorPictureIsDownloadedOnce();
    void pastedPictureArrivesAsJpegAndComesBack();
    void closedTicketEndsChatAndTerminationEndsClient();
    void cleanup();

private:
    // The operator's side: the service's JSON API on the ticket; empty unless it answered 200.
    // A null body makes it a GET.
    QJsonObject operatorCall(const std::string &tail, const QByteArray &body = {},
                             const char *type = "application/json");
    // The recording proxy: forwards each request to the service and keeps the exchange.
    void forward(const httplib::Request &request, const std::string &body,
                 httplib::Response &response);
    QStringList recorded() {
        std::lock_guard lock(m_mutex);
        return m_wire;
    }

    ServiceProcess m_service;
    std::mutex m_mutex;
    QStringList m_wire;
    LoopbackServer m_proxy;
    QTemporaryDir m_root;
    QProcess m_client;
    qint32 m_ticketId = 0;
    qint32 m_greetingId = 0;
};

void TestE2eChat::initTestCase() {
    const QDir here(QCoreApplication::applicationDirPath());
    QVERIFY2(m_service.start(here.filePath("brenno-service"), {"--memory", "--open-ticket", kVat},
                             kGuardMs),
             m_service.readStandardError().data());
    m_ticketId = operatorCall("").value("tickets")[0]["id"].toInt();
    // Read through a content reader: httplib refuses form bodies over 8 KiB on the plain path,
    // and an upload is far larger.
    m_proxy.server().Post(".*", [this](const httplib::Request &req, httplib::Response &res,
                                       const httplib::ContentReader &content) {
        std::string body;
        content([&body](const char *data, size_t length) {
            body.append(data, length);
            return true;
        });
        forward(req, body, res);
    });
    m_proxy.server().Get(".*", [this](const auto &req, auto &res) { forward(req, req.body, res); });
    m_proxy.start();

    // Waiting before the client starts: its first getchat delivers it.
    const QByteArray greeting = R"({"testo": "Buongiorno, come possiamo aiutarla?"})";
    m_greetingId = operatorCall("/messages", greeting)["id"].toInt();
    QVERIFY(m_greetingId > 0);

    // A fresh application folder keeps the client's lock, settings and pictures private.
    const QDir app(m_root.filePath("app"));
    QVERIFY(app.mkpath("."));
    for (const char *program : {"brenno", "brenno-dbread"})
        QVERIFY(QFile::copy(here.filePath(program), app.filePath(program)));
    qputenv("BRENNO_SERVICE_URL", m_proxy.baseUrl().c_str());
    // The desktop is what is under test, whatever platform the caller chose for itself.
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("LSAN_OPTIONS", "suppressions=" E2E_LSAN_SUPPRESSIONS);
    m_client.setWorkingDirectory(app.path());
    // A file rather than a pipe: nothing has to read it while the test waits.
    m_client.setStandardErrorFile(m_root.filePath("client-stderr.txt"));
    m_client.start(app.filePath("brenno"), {kVat});
    QVERIFY(m_client.waitForStarted(kGuardMs));
}

void TestE2eChat::operatorMessageIsReadAndShowsWindowAtBottomRight() {
    QTRY_VERIFY_WITH_TIMEOUT(find(recorded(), "^setreadchat ") >= 0, kFirstPollGuardMs);
    const QStringList wire = recorded();
    // At start the ticket, then nothing until the first poll delivers the message.
    QCOMPARE(wire[0], "getticket partitaiva=" + kVat +
                          " -> getticketResponse status=OK id=" + QString::number(m_ticketId));
    const QString firstPoll =
        QStringLiteral("^getchat id=%1 letto=0 stascrivendo=0 partitaiva=%2 -> "
                       "getchatResponse status=OK .* testo=Buongiorno, come possiamo aiutarla\\? "
                       "id=%3 idoperatore=[1-9]")
            .arg(QString::number(m_ticketId), kVat, QString::number(m_greetingId));
    QCOMPARE(find(wire, firstPoll), 1);
    checkDeliveredOnceAndRead(wire, m_greetingId);

    QTRY_COMPARE_WITH_TIMEOUT(xdotool(kFindChat).size(), 1, kGuardMs);
    auto window = xdotool({"getwindowgeometry", "--shell", xdotool(kFindChat).firstKey()});
    auto screen = xdotool({"getdisplaygeometry", "--shell"});
    QCOMPARE(QSize(window["WIDTH"], window["HEIGHT"]), kWindowTwips / Units::kTwipsPerPixel);
    QCOMPARE(QSize(screen["WIDTH"] - window["X"] - window["WIDTH"],
                   screen["HEIGHT"] - window["Y"] - window["HEIGHT"]),
             kMarginTwips / Units::kTwipsPerPixel);
}

void TestE2eChat::typedMessageReachesService() {
    // "type" takes every word after it as text, so the Return key goes on its own.
    QCOMPARE(clickTheBoxThen({"type", kTyped}), 0);
    QCOMPARE(QProcess::execute("xdotool", {"key", "Return"}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(find(recorded(), "^setchat ") >= 0, kGuardMs);
    const qsizetype sent = find(recorded(), "^setchat ");
    // The message comes back at once, and the box keeps the text (typing flag 1) until the poll
    // after the one that fetched it finds nothing more; then it empties.
    const QString emptyBox = QStringLiteral("^getchat .*stascrivendo=0 ");
    QTRY_VERIFY_WITH_TIMEOUT(find(recorded(), emptyBox, sent) >= 0, kGuardMs);
    const QStringList wire = recorded();
    QCOMPARE(count(wire, "^setchat "), 1);
    QCOMPARE(find(wire, "^getticket .* -> \\w+ status=OK ", sent - 1), sent - 1);
    QCOMPARE(wire[sent], QStringLiteral("setchat idticket=%1 testo=%2 attach=0 -> setchatResponse "
                                        "status=OK")
                             .arg(m_ticketId)
                             .arg(Windows1252::encode(kTyped).toBase64()));
    const QStringList typing = wire.mid(sent, find(wire, emptyBox, sent) - sent);
    QCOMPARE(count(typing, "^getchat "), 2);
    const QRegularExpressionMatch echo =
        QRegularExpression(
            "^getchat .* -> \\w+ status=OK .* testo=buongiorno id=(\\d+) idoperatore=0 ")
            .match(wire[sent + 1]);
    checkDeliveredOnceAndRead(wire, echo.captured(1).toInt());
}

void TestE2eChat::operatorPictureIsDownloadedOnce() {
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QVERIFY(picture.save(m_root.filePath("sent.png")));
    const QByteArray bytes = fileBytes(m_root.filePath("sent.png"));
    const QJsonObject sent = operatorCall("/pictures?name=e2e.png", bytes, "image/png");
    const QString name = sent["name"].toString();
    QTRY_COMPARE_WITH_TIMEOUT(fileBytes(m_root.filePath("app/TempImg/" + name)), bytes, kGuardMs);

    const QString download =
        "downloadimg\\.php\\?nomefile=" + QRegularExpression::escape(name) + ' ';
    const qsizetype fetched = find(recorded(), download);
    QTRY_VERIFY_WITH_TIMEOUT(count(recorded().mid(fetched), "^getchat ") >= kLaterPolls, kGuardMs);
    const QStringList wire = recorded();
    QCOMPARE(count(wire, download), 1);
    // Delivered and marked read before it is fetched.
    QCOMPARE(find(wire, delivery(sent["id"].toInt()), fetched - 2), fetched - 2);
    checkDeliveredOnceAndRead(wire, sent["id"].toInt());
}

// Ctrl+V with a picture on the X clipboard, "Invia" in the preview: the picture goes up as a JPEG
// at most 1920 pixels long, is announced as an attachment, and comes back as the customer's own
// picture, which the operator's API lists.
void TestE2eChat::pastedPictureArrivesAsJpegAndComesBack() {
    QImage picture(2400, 1200, QImage::Format_RGB32);
    picture.fill(Qt::darkGreen);
    QVERIFY(picture.save(m_root.filePath("copied.png")));
    // xclip owns the clipboard until it ends; the test ends it.
    QProcess clipboard;
    clipboard.start("xclip", {"-quiet", "-selection", "clipboard", "-target", "image/png", "-in",
                              m_root.filePath("copied.png")});
    QVERIFY(clipboard.waitForStarted(kGuardMs));
    QByteArray said;
    QTRY_VERIFY_WITH_TIMEOUT((said += clipboard.readAllStandardError()).contains("Waiting for"),
                             kGuardMs);
    const auto stopClipboard = qScopeGuard([&clipboard] {
        clipboard.kill();
        clipboard.waitForFinished(kGuardMs);
    });

    const qsizetype before = recorded().size();
    QCOMPARE(clickTheBoxThen({"key", "ctrl+v"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(xdotool(kFindPreview).size(), 1, kGuardMs);
    // Nothing leaves before "Invia", whose key Return is wherever the focus is in the preview.
    QCOMPARE(count(recorded().mid(before), "SendFileChat|^setchat "), 0);
    QCOMPARE(QProcess::execute("xdotool", {"windowfocus", "--sync",
                                           xdotool(kFindPreview).firstKey(), "key", "Return"}),
             0);

    const QString upload =
        QStringLiteral(
            "^POST /RovizeveReravav/KD_API/Ticket/SendFileChat\\.php\\?filename=(%1_\\d{14}"
            "\\.jpg) ")
            .arg(m_ticketId);
    QTRY_VERIFY_WITH_TIMEOUT(find(recorded(), "^setreadchat ", find(recorded(), upload)) >= 0,
                             kGuardMs);
    const QStringList wire = recorded();
    const qsizetype sent = find(wire, upload, before);
    const QString name = QRegularExpression(upload).match(wire[sent]).captured(1);
    QCOMPARE(find(wire, "^getticket .* status=OK ", before), sent - 1);
    QCOMPARE(wire[sent + 1], QStringLiteral("setchat idticket=%1 testo=%2 attach=1 -> "
                                            "setchatResponse status=OK")
                                 .arg(m_ticketId)
                                 .arg(QString::fromLatin1(name.toLatin1().toBase64())));
    const QRegularExpressionMatch back =
        QRegularExpression("^getchat .* -> \\w+ status=OK .* testo=" +
                           QRegularExpression::escape(name) + " id=(\\d+) idoperatore=0 attach=1 ")
            .match(wire[sent + 2]);
    QVERIFY2(back.hasMatch(), qPrintable(wire[sent + 2]));
    checkDeliveredOnceAndRead(wire, back.captured(1).toInt());

    // The service holds exactly the client's JPEG, which the customer's bubble shows.
    const QByteArray kept = fileBytes(m_root.filePath("app/TempImg/" + name));
    QImage stored;
    QVERIFY(stored.loadFromData(kept, "JPEG"));
    QCOMPARE(stored.size(), QSize(1920, 960));
    httplib::Client service("127.0.0.1", m_service.port());
    service.set_read_timeout(kGuardMs / 1000);
    const auto served = service.Get("/RovizeveReravav/KD_API/Ticket/downloadimg.php?nomefile=" +
                                    name.toStdString());
    QVERIFY(served && served->status == 200);
    QCOMPARE(QByteArray::fromStdString(served->body), kept);

    QJsonObject listed;
    for (const QJsonValue message : operatorCall("/messages").value("messages").toArray())
        if (message["testo"].toString() == name)
            listed = message.toObject();
    QCOMPARE(listed.value("attach").toInt(), 1);
    QCOMPARE(listed.value("idoperatore").toInt(), 0);
    QCOMPARE(listed.value("id").toInt(), back.captured(1).toInt());
}

void TestE2eChat::closedTicketEndsChatAndTerminationEndsClient() {
    QVERIFY(!operatorCall("/close", "").isEmpty());
    const QString ended = QStringLiteral("^getchat .* -> \\w+ status=noticket$");
    QTRY_VERIFY_WITH_TIMEOUT(find(recorded(), ended) >= 0, kGuardMs);
    const qsizetype end = find(recorded(), ended);
    QTRY_VERIFY_WITH_TIMEOUT(recorded().size() > end + 1, kNoTicketGuardMs);
    const QStringList after = recorded().mid(end + 1);
    QCOMPARE(count(after, "^getticket partitaiva=\\d+ -> \\w+ status=(?!OK)"), after.size());

    // SIGTERM ends the client cleanly, and nothing started from its folder outlives it.
    const QString folder = QFileInfo(m_root.filePath("app")).canonicalFilePath() + '/';
    const auto runningFromFolder = [&folder] {
        QStringList running = QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs);
        running.removeIf([&folder](const QString &process) {
            return !QFile::symLinkTarget("/proc/" + process + "/exe").startsWith(folder);
        });
        return running;
    };
    QVERIFY(runningFromFolder().contains(QString::number(m_client.processId())));
    m_client.terminate();
    QVERIFY(m_client.waitForFinished(kGuardMs));
    QCOMPARE(m_client.exitStatus() == QProcess::NormalExit ? m_client.exitCode() : -1, 0);
    QCOMPARE(runningFromFolder(), QStringList());
}

void TestE2eChat::cleanup() {
    if (QTest::currentTestFailed())
        qInfo().noquote() << "Requests on the wire, in order:\n" + recorded().join('\n')
                          << "\nClient stderr:\n" + fileBytes(m_root.filePath("client-stderr.txt"))
                          << "\nService stderr:\n" + m_service.readStandardError();
}

QJsonObject TestE2eChat::operatorCall(const std::string &tail, const QByteArray &body,
                                      const char *type) {
    const auto api = m_service.operatorClient(kGuardMs / 1000);
    const std::string path =
        "/api/tickets" + (m_ticketId ? '/' + std::to_string(m_ticketId) : std::string()) + tail;
    const auto result = body.isNull() ? api->Get(path) : api->Post(path, body.toStdString(), type);
    return result && result->status == 200
               ? QJsonDocument::fromJson(QByteArray::fromStdString(result->body)).object()
               : QJsonObject();
}

void TestE2eChat::forward(const httplib::Request &request, const std::string &body,
                          httplib::Response &response) {
    QString sent = soapCall(body);
    if (sent.isEmpty())
        sent = QString::fromStdString(request.method + ' ' + request.target);
    // The service reads only the target and the body.
    httplib::Client service("127.0.0.1", m_service.port());
    service.set_read_timeout(kGuardMs / 1000);
    service.set_url_encode(false); // the target goes on exactly as the client wrote it
    const httplib::Result result =
        request.method == "GET"
            ? service.Get(request.target)
            : service.Post(request.target, body, request.get_header_value("Content-Type"));
    response.status = result ? result->status : 502;
    if (result)
        response.set_content(result->body, result->get_header_value("Content-Type"));
    std::lock_guard lock(m_mutex);
    m_wire << sent + " -> " + (result ? soapCall(result->body) : QStringLiteral("no answer"));
}

QTEST_GUILESS_MAIN(TestE2eChat)
#include "tst_e2e_chat.moc"
