#include "ChatFakes.h"
#include "FakeNotifications.h"
#include "LoopbackServer.h"
#include "PrivateSessionBus.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <future>

// True once the process has its own SIGTERM handler (the SigCgt mask of /proc).
static bool catchesSigterm(qint64 pid) {
    static const QRegularExpression mask("SigCgt:\\s*(\\w+)");
    const QByteArray status = bytesOf(QStringLiteral("/proc/%1/status").arg(pid));
    const QString caught = mask.match(QString::fromLatin1(status)).captured(1);
    return (caught.toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
}

// The real client, copied into a folder of its own as an installation has it.
struct Installed {
    QTemporaryDir root;
    const QDir app{root.filePath("app")};
    const QString program = app.filePath("brenno");
    const bool ok = app.mkpath(".") && QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), program);
};

// The real client process: a second start acts as "Visualizza chat"; SIGTERM (a logout) ends it.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
    // The tray hears of the ticket and of the chat's end from the chat window through main.
    void secondStartShowsTheRunningChat() {
        PrivateSessionBus bus;
        FakeNotifications notifications;
        QVERIFY(bus.isRunning() && notifications.registerOn(bus.connect("desktop")));
        Installed client;
        QVERIFY(client.ok);
        // Ticket 57; the chat's first poll is held until the test lets the service end it.
        std::promise<void> endChat;
        const std::shared_future<void> chatEnds = endChat.get_future().share();
        LoopbackServer service;
        service.server().Post(".*", [chatEnds](const httplib::Request &request, auto &response) {
            const bool ticket = request.body.find("getticket") != std::string::npos;
            if (!ticket)
                chatEnds.wait_for(std::chrono::seconds(60));
            const QString answer = ticket ? Answers::status("getticket", "OK", "<id>57</id>")
                                          : Answers::status("getchat", "noticket");
            response.set_content(answer.toStdString(), "text/xml; charset=utf-8");
        });
        service.start();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRENNO_SERVICE_URL", QString::fromStdString(service.baseUrl()));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("XDG_RUNTIME_DIR", client.root.path());
        const auto start = [&](QProcess &process) {
            process.setProcessEnvironment(environment);
            process.start(client.program, {"01234567890"});
        };
        const auto startAgain = [&] {
            QProcess again;
            start(again);
            return again.waitForFinished(60000) && again.exitStatus() == QProcess::NormalExit &&
                   again.exitCode() == 0;
        };
        QProcess running;
        start(running);
        // Its first poll comes 20 s after the ticket; the bounds measure nothing.
        QTRY_VERIFY_WITH_TIMEOUT(service.requests().size() == 2, 60000);
        QVERIFY(startAgain()); // shows the chat, says nothing
        endChat.set_value();
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 1, 60000);
        QVERIFY(startAgain());
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 2, 60000);
        for (const Notification &said : notifications.calls)
            QCOMPARE(std::get<3>(said), "Solmara Chat");
        QCOMPARE(std::get<4>(notifications.calls[0]), "Chat terminata.");
        QCOMPARE(std::get<4>(notifications.calls[1]), "Nessuna chat attiva.");
        QCOMPARE(running.state(), QProcess::Running);
        ::kill(pid_t(running.processId()), SIGTERM);
        QVERIFY(running.waitForFinished());
    }

    // Damaged files are left as they were.
    void sigtermEndsTheClient_data() {
        QTest::addColumn<QString>("name"); // in the application folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("asked"); // the service has been asked when SIGTERM comes
        QTest::addColumn<int>("exitCode");
        QTest::newRow("binary setws.ini over 64000 bytes, the first answer awaited")
            << "setws.ini" << QByteArray::fromHex("00ff0d5b5d3d0a80fe1a9d").repeated(8000)
            << QStringList{"01234567890"} << true << 0;
        // No brenno-dbread beside the client: no database can be read; 1 as when the box is closed.
        QTest::newRow("settings database unreadable: in its box")
            << "../SetLKT10.mdb" << QByteArray("not a database") << QStringList() << false << 1;
    }
    void sigtermEndsTheClient() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, arguments);
        QFETCH(bool, asked);
        Installed client;
        QVERIFY(client.ok && writeFile(client.app.filePath(name), bytes));
        QTcpServer service; // takes connections and never answers
        QVERIFY(service.listen(QHostAddress::LocalHost));
        qputenv("BRENNO_SERVICE_URL",
                "http://127.0.0.1:" + QByteArray::number(service.serverPort()));
        QProcess process;
        process.start(client.program, arguments);
        // Until the program runs, /proc shows the handlers of the fork of this test.
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(
            catchesSigterm(process.processId()) && service.hasPendingConnections() == asked, 60000);
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished());
        QTEST(process.exitCode(), "exitCode"); // the signal's own end would give 15
        QCOMPARE(bytesOf(client.app.filePath(name)), bytes);
        // Start-up that ends in its box goes no further; damaged settings never switch the log on.
        QCOMPARE(QFileInfo::exists(client.app.filePath("TempImg")), asked);
        QVERIFY(!QFileInfo::exists(client.app.filePath("Log.txt")));
    }
};

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
