#include "OperatorCalls.h"
#include "ServiceProcess.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// How the program starts: its options, its refusals, and what a database file keeps.
class TestServiceOptions : public QObject {
    Q_OBJECT

private slots:
    void refusedOptions_data();
    void refusedOptions();
    void openTicketOptionOpensTickets();
    void databaseFileKeepsTicketsAndMessages();
    void picturesGoToTheFilesFolder();
    void portInUseIsRefused();
};

void TestServiceOptions::refusedOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expectedError");

    QTest::newRow("port not a number") << QStringList{"--port", "abc"} << "--port";
    QTest::newRow("port out of range") << QStringList{"--port", "70000"} << "--port";
    QTest::newRow("db and memory together")
        << QStringList{"--port", "0", "--db", "x.db", "--memory"} << "exclude";
    QTest::newRow("db in a missing folder")
        << QStringList{"--port", "0", "--db", "/nonexistent/folder/chat.db"} << "database";
    QTest::newRow("unknown option") << QStringList{"--bogus"} << "bogus";
}

void TestServiceOptions::refusedOptions() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expectedError);

    QProcess process;
    process.start(QStringLiteral(BRENNO_SERVICE_PROGRAM), arguments);
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(error.contains(expectedError), qPrintable(error));
}

void TestServiceOptions::openTicketOptionOpensTickets() {
    ServiceProcess service;
    QVERIFY(service.start({"--memory", "--open-ticket", "01234567890", "--open-ticket", "98765"}));
    QCOMPARE(service.startupLines(),
             QStringList({"ticket 1 open for 01234567890", "ticket 2 open for 98765"}));
    const auto client = service.client();
    const auto tickets = OperatorCalls::get(*client, "/api/tickets").json.value("tickets");
    QCOMPARE(tickets.toArray().size(), 2);
    QCOMPARE(service.stop(), 0);
}

void TestServiceOptions::databaseFileKeepsTicketsAndMessages() {
    QTemporaryDir folder;
    const QString database = folder.filePath(QStringLiteral("chat.db"));
    qint32 ticketId = 0;
    {
        ServiceProcess first;
        QVERIFY(first.start({"--db", database}));
        const auto client = first.client();
        ticketId = OperatorCalls::openTicket(*client, QStringLiteral("01234567890"));
        QVERIFY(OperatorCalls::sendText(*client, ticketId, QStringLiteral("ancora qui")) > 0);
        QCOMPARE(first.stop(), 0);
    }
    ServiceProcess second;
    QVERIFY(second.start({"--db", database}));
    const auto client = second.client();
    const auto messages =
        OperatorCalls::conversation(*client, ticketId).json.value("messages").toArray();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0]["testo"].toString(), QStringLiteral("ancora qui"));
    QCOMPARE(second.stop(), 0);
}

void TestServiceOptions::picturesGoToTheFilesFolder() {
    QTemporaryDir folder;
    const QString pictures = folder.filePath(QStringLiteral("new/pictures"));
    ServiceProcess service;
    QVERIFY(service.start({"--memory", "--files", pictures}));
    const auto client = service.client();
    const auto sent = client->Post("/RovizeveReravav/KD_API/Ticket/SendFileChat.php?filename=a.jpg",
                                   "documento=eA%3D%3D", "application/x-www-form-urlencoded");
    QCOMPARE(sent->status, 200);
    QFile stored(pictures + QStringLiteral("/a.jpg"));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), QByteArray("x"));
    QCOMPARE(service.stop(), 0);
}

void TestServiceOptions::portInUseIsRefused() {
    ServiceProcess first;
    QVERIFY(first.start());
    QProcess second;
    second.start(QStringLiteral(BRENNO_SERVICE_PROGRAM),
                 {QStringLiteral("--port"), QString::number(first.port())});
    QVERIFY(second.waitForFinished());
    QCOMPARE(second.exitCode(), 1);
    QVERIFY(QString::fromUtf8(second.readAllStandardError()).contains(QLatin1String("listen")));
    QCOMPARE(first.stop(), 0);
}

QTEST_GUILESS_MAIN(TestServiceOptions)
#include "tst_serviceoptions.moc"
