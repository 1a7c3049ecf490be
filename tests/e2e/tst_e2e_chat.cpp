#include "LoopbackServer.h"
#include "ServiceProcess.h"
#include "TestFiles.h"

#include "app/Units.h"
#include "core/Windows1252.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <mutex>

// The real client on a real X desktop against the real chat service through a recording proxy:
// the main path, driven from the operator's side over the service's JSON API and from the
// customer's with the pointer and the keyboard (xdotool). The proxy keeps one line per exchange,
// "call name=value ... -> name=value ...", the SOAP values in the order sent.
namespace {

const QString kVat = QStringLiteral("01234567890");
// Bounds on waits so that a fault ends the test instead of hanging it; the first getchat is
// due 20 s after start.
constexpr int kGuardMs = 90000;

// "call name=value ...": the first element inside the envelope's Body names the call, its
// children carry the values; empty for anything else.
QString soapCall(const std::string &xml) {
    QXmlStreamReader reader(QByteArray::fromStdString(xml));
    while (!reader.atEnd() && reader.name() != QLatin1String("Body"))
        reader.readNext();
    QStringList call;
    while (reader.readNextStartElement())
        call << (call.isEmpty()
                     ? reader.name().toString()
                     : reader.name().toString() + '=' + reader.readElementText().simplified());
    return call.join(' ');
}

// The ids of the visible windows with this caption.
QStringList windows(const QString &caption) {
    QProcess tool;
    tool.start("xdotool", {"search", "--onlyvisible", "--name", '^' + caption + '$'});
    tool.waitForFinished(kGuardMs);
    return QString::fromUtf8(tool.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

} // namespace

class TestE2eChat : public QObject {
    Q_OBJECT
    ServiceProcess m_service;
    std::mutex m_mutex;
    QStringList m_wire;
    LoopbackServer m_proxy;
    QTemporaryDir m_root;
    QProcess m_client;
    QString m_ticket;

    QStringList wire() {
        std::lock_guard lock(m_mutex);
        return m_wire;
    }
    // The index of the first exchange from `from` on holding pattern, waiting for it; or -1.
    qsizetype awaitLine(const QString &pattern, qsizetype from = 0) {
        const QRegularExpression line(".*(?:" + pattern + ").*");
        qsizetype at = -1;
        (void)QTest::qWaitFor([&] { return (at = wire().indexOf(line, from)) >= 0; }, kGuardMs);
        return at;
    }
    // The operator's side: the service's JSON API on the ticket; a null body makes it a GET.
    QJsonObject operatorCall(const QString &tail, const QByteArray &body = {},
                             const char *type = "application/json") {
        const auto api = m_service.operatorClient(kGuardMs / 1000);
        const std::string path = ("/api/tickets" + m_ticket + tail).toStdString();
        const auto result =
            body.isNull() ? api->Get(path) : api->Post(path, body.toStdString(), type);
        const bool ok = result && result->status == 200;
        return QJsonDocument::fromJson(ok ? QByteArray::fromStdString(result->body) : "").object();
    }
    // The recording proxy: forwards each request to the service and keeps the exchange.
    void forward(const httplib::Request &request, const std::string &body,
                 httplib::Response &response) {
        httplib::Client service("127.0.0.1", m_service.port());
        service.set_read_timeout(kGuardMs / 1000);
        service.set_url_encode(false); // the target goes on exactly as the client wrote it
        const httplib::Result result =
            request.method == "GET"
                ? service.Get(request.target)
                : service.Post(request.target, body, request.get_header_value("Content-Type"));
        if (!result)
            return; // httplib answers 500
        response.status = result->status;
        response.set_content(result->body, result->get_header_value("Content-Type"));
        const QString sent = soapCall(body);
        std::lock_guard lock(m_mutex);
        m_wire << (sent.isEmpty() ? QString::fromStdString(request.method + ' ' + request.target)
                                  : sent) +
                      " -> " + soapCall(result->body);
    }
    // Clicks the chat window's input box, TextMsg, at its centre, then does `then`.
    int clickTheBoxThen(const QStringList &then) {
        const QPoint box = QPoint(3232, 8332) / Units::kTwipsPerPixel;
        return QProcess::execute(
            "xdotool",
            QStringList{"mousemove", "--window", windows("Servizio clienti Quintaro").value(0),
                        QString::number(box.x()), QString::number(box.y()), "click", "1"} +
                then);
    }

private slots:
    void initTestCase() {
        const QDir here(QCoreApplication::applicationDirPath());
        QVERIFY2(m_service.start(here.filePath("brenno-service"),
                                 {"--memory", "--open-ticket", kVat}, kGuardMs),
                 m_service.readStandardError().data());
        m_ticket = '/' + QString::number(operatorCall("").value("tickets")[0]["id"].toInt());
        // A content reader, as httplib refuses form bodies over 8 KiB otherwise.
        m_proxy.server().Post(".*", [this](const httplib::Request &req, httplib::Response &res,
                                           const httplib::ContentReader &content) {
            std::string body;
            content([&body](const char *data, size_t length) {
                return body.append(data, length), true;
            });
            forward(req, body, res);
        });
        m_proxy.server().Get(".*",
                             [this](const auto &req, auto &res) { forward(req, req.body, res); });
        m_proxy.start();
        // A fresh application folder keeps the client's lock, settings and pictures private.
        QVERIFY(QDir(m_root.path()).mkdir("app"));
        for (const QString program : {"brenno", "brenno-dbread"})
            QVERIFY(QFile::copy(here.filePath(program), m_root.filePath("app/" + program)));
        qputenv("BRENNO_SERVICE_URL", m_proxy.baseUrl().c_str());
        // The desktop is what is under test, whatever platform the caller chose for itself.
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("LSAN_OPTIONS", "suppressions=" E2E_LSAN_SUPPRESSIONS);
        m_client.setWorkingDirectory(m_root.filePath("app"));
        // A file rather than a pipe: nothing has to read it while the test waits.
        m_client.setStandardErrorFile(m_root.filePath("client-stderr.txt"));
        QImage picture(2400, 1200, QImage::Format_RGB32);
        picture.fill(Qt::darkGreen);
        QVERIFY(picture.save(m_root.filePath("picture.png")));
    }

    void mainPath() {
        // The operator's message, waiting before the start, comes with the first getchat and is
        // marked read right after; then the window shows.
        const QString ticket = m_ticket.mid(1);
        const QString greeting = QString::number(
            operatorCall("/messages", R"({"testo": "Buongiorno, posso aiutarla?"})")["id"].toInt());
        m_client.start(m_root.filePath("app/brenno"), {kVat});
        QCOMPARE(awaitLine("^setreadchat id=" + greeting + " -> setreadchatResponse status=OK$"),
                 2);
        QCOMPARE(
            awaitLine("^getticket partitaiva=" + kVat + " -> \\w+ status=OK id=" + ticket + '$'),
            0);
        QCOMPARE(awaitLine("^getchat id=" + ticket + " letto=0 stascrivendo=0 partitaiva=" + kVat +
                           " -> .* testo=Buongiorno, posso aiutarla\\? id=" + greeting +
                           " idoperatore=[1-9]"),
                 1);
        QTRY_COMPARE_WITH_TIMEOUT(windows("Servizio clienti Quintaro").size(), 1, kGuardMs);

        // The operator's picture is fetched once, after its message was delivered and marked read.
        const QByteArray bytes = bytesOf(m_root.filePath("picture.png"));
        const QJsonObject picture = operatorCall("/pictures?name=e2e.png", bytes, "image/png");
        const QString name = picture["name"].toString(),
                      id = QString::number(picture["id"].toInt());
        QTRY_COMPARE_WITH_TIMEOUT(bytesOf(m_root.filePath("app/TempImg/" + name)), bytes, kGuardMs);
        const qsizetype fetched = awaitLine("^GET .*downloadimg\\.php\\?nomefile=" + name + ' ');
        QVERIFY(fetched > 1);
        QCOMPARE(awaitLine("^getchat .* status=OK .* id=" + id + ' '), fetched - 2);
        QCOMPARE(wire()[fetched - 1], "setreadchat id=" + id + " -> setreadchatResponse status=OK");

        // Typed text goes up in Windows-1252; "type" takes every word after it, so Return apart.
        QCOMPARE(clickTheBoxThen({"type", "buongiorno"}), 0);
        QCOMPARE(QProcess::execute("xdotool", {"key", "Return"}), 0);
        const qsizetype said = awaitLine("^setchat ");
        QVERIFY(said > 0);
        QCOMPARE(wire()[said], "setchat idticket=" + ticket +
                                   " testo=" + Windows1252::encode(u"buongiorno").toBase64() +
                                   " attach=0 -> setchatResponse status=OK");

        // Ctrl+V with a picture on the X clipboard (xclip's while it runs), "Invia" in the
        // preview: it goes up as a JPEG at most 1920 pixels long, announced as an attachment.
        QProcess clipboard;
        clipboard.start("xclip", {"-quiet", "-selection", "clipboard", "-target", "image/png",
                                  "-in", m_root.filePath("picture.png")});
        QByteArray owned;
        QTRY_VERIFY_WITH_TIMEOUT(
            (owned += clipboard.readAllStandardError()).contains("Waiting for"), kGuardMs);
        QCOMPARE(clickTheBoxThen({"key", "ctrl+v"}), 0);
        QTRY_COMPARE_WITH_TIMEOUT(windows("Invia immagine").size(), 1, kGuardMs);
        // Return reaches "Invia" wherever the focus is in the preview.
        QCOMPARE(
            QProcess::execute("xdotool", {"windowfocus", "--sync",
                                          windows("Invia immagine").value(0), "key", "Return"}),
            0);
        const QString upload =
            "^POST /RovizeveReravav/KD_API/Ticket/SendFileChat\\.php\\?filename=(" + ticket +
            "_\\d{14}\\.jpg) ";
        const qsizetype sent = awaitLine(upload, said);
        QVERIFY(sent > 0);
        const QString jpeg = QRegularExpression(upload).match(wire()[sent]).captured(1);
        QCOMPARE(awaitLine("^setchat ", sent), sent + 1);
        QCOMPARE(wire()[sent + 1], "setchat idticket=" + ticket +
                                       " testo=" + jpeg.toLatin1().toBase64() +
                                       " attach=1 -> setchatResponse status=OK");
        QCOMPARE(QImage(m_root.filePath("app/TempImg/" + jpeg), "JPEG").size(), QSize(1920, 960));

        // The operator closes the ticket; SIGTERM ends the client cleanly, and nothing started
        // from its folder outlives it (pgrep answers 1).
        QVERIFY(!operatorCall("/close", "").isEmpty());
        QVERIFY(awaitLine("^getchat .* -> \\w+ status=noticket$", sent) > 0);
        const QStringList fromFolder{"-f", m_root.filePath("app/")};
        QCOMPARE(QProcess::execute("pgrep", fromFolder), 0);
        m_client.terminate();
        QVERIFY(m_client.waitForFinished(kGuardMs));
        QCOMPARE(m_client.exitStatus() == QProcess::NormalExit ? m_client.exitCode() : -1, 0);
        QCOMPARE(QProcess::execute("pgrep", fromFolder), 1);
    }
};

QTEST_GUILESS_MAIN(TestE2eChat)
#include "tst_e2e_chat.moc"
