#include "ChatFakes.h"
#include "FakeNotifications.h"
#include "LoopbackServer.h"
#include "PrivateSessionBus.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <future>

// The real client process: a second start acts as "Visualizza chat"; SIGTERM (a logout) ends it.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
    // The tray hears of the ticket and of the chat's end from the chat window through main.
    void secondStartShowsTheRunningChat() {
        PrivateSessionBus bus;
        FakeNotifications notifications;
        QVERIFY(notifications.registerOn(bus.connect("desktop")));
        // The real client, copied into a folder of its own as an installation has it.
        QTemporaryDir folder;
        const QString program = folder.filePath("brenno");
        QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), program));
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
        // For the client processes: they inherit it.
        qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(service.baseUrl()));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
        const auto startAgain = [&program] {
            QProcess again;
            again.start(program, {"01234567890"});
            return again.waitForFinished(60000) && again.exitStatus() == QProcess::NormalExit &&
                   again.exitCode() == 0;
        };
        QProcess running;
        running.start(program, {"01234567890"});
        // Its first poll comes 20 s after the ticket; the bounds measure nothing.
        QTRY_VERIFY_WITH_TIMEOUT(service.requests().size() == 2, 60000);
        QVERIFY(startAgain()); // shows the chat, says nothing
        endChat.set_value();
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 1, 60000);
        QVERIFY(startAgain());
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 2, 60000);
        QCOMPARE(std::get<4>(notifications.calls[0]), "Chat terminata.");
        QCOMPARE(std::get<4>(notifications.calls[1]), "Nessuna chat attiva.");
        running.terminate(); // SIGTERM, as at a logout; its default action would be a crash
        QVERIFY(running.waitForFinished());
        QCOMPARE(running.exitStatus(), QProcess::NormalExit);
        QCOMPARE(running.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
