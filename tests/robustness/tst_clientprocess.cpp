#include "FakeNotifications.h"
#include "PrivateSessionBus.h"
#include "TestFiles.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// True once the process has its own SIGTERM handler (the SigCgt mask of /proc), so that the
// signal is no longer the default end of the process.
static bool catchesSigterm(qint64 pid) {
    static const QRegularExpression mask("SigCgt:\\s*(\\w+)");
    const QByteArray status = bytesOf(QStringLiteral("/proc/%1/status").arg(pid));
    const QString caught = mask.match(QString::fromLatin1(status)).captured(1);
    return (caught.toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
}

// The real client process, installed in a folder of its own over a damaged file: it quits on
// SIGTERM (as at a session logout) while the service keeps its first answer waiting, or while a
// start-up box runs its own event loop, and leaves the file as it was. Started again while it
// runs, it shows its chat, as its tray menu would, even on a desktop without a tray.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
    void secondStartShowsTheRunningChat() {
        PrivateSessionBus bus;
        QVERIFY(bus.isRunning());
        FakeNotifications notifications;
        QVERIFY(notifications.registerOn(bus.connect("desktop")));
        QTemporaryDir root;
        const QDir app(root.filePath("app"));
        QVERIFY(app.mkpath(".") &&
                QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), app.filePath("brenno")));
        // Takes connections and never answers: the client has no chat yet.
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRENNO_SERVICE_URL",
                           "http://127.0.0.1:" + QString::number(service.serverPort()));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("XDG_RUNTIME_DIR", root.path());
        QProcess running;
        running.setProcessEnvironment(environment);
        running.start(app.filePath("brenno"), {"01234567890"});
        // Asking for its ticket, it holds the lock and listens; the bound measures nothing.
        QTRY_VERIFY_WITH_TIMEOUT(service.hasPendingConnections(), 60000);

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(app.filePath("brenno"), {"01234567890"});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(notifications.calls.size(), 1, 60000);
        QCOMPARE(std::get<3>(notifications.calls[0]), "Solmara Chat");
        QCOMPARE(std::get<4>(notifications.calls[0]), "Nessuna chat attiva.");
        QCOMPARE(running.state(), QProcess::Running);
        ::kill(pid_t(running.processId()), SIGTERM);
        QVERIFY(running.waitForFinished());
    }

    void sigtermEndsTheClient_data() {
        QTest::addColumn<QString>("name"); // in the application folder
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("asked"); // the service has been asked when SIGTERM comes
        QTest::addColumn<int>("exitCode");
        // Over 64000 bytes the settings file is scanned line by line.
        QTest::newRow("binary setws.ini over 64000 bytes, the first answer awaited")
            << "setws.ini" << QByteArray::fromHex("00ff0d5b5d3d0a80fe1a9d").repeated(8000)
            << QStringList{"01234567890"} << true << 0;
        // Without brenno-dbread beside the client no database can be read; exit code 1, as when
        // the user dismisses the box.
        QTest::newRow("settings database unreadable: in its box")
            << "../SetLKT10.mdb" << QByteArray("not a database") << QStringList() << false << 1;
    }
    void sigtermEndsTheClient() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, arguments);
        QFETCH(bool, asked);
        QTemporaryDir root;
        const QDir app(root.filePath("app"));
        QVERIFY(app.mkpath(".") && writeFile(app.filePath(name), bytes));
        QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), app.filePath("brenno")));
        // Takes connections and never answers.
        QTcpServer service;
        QVERIFY(service.listen(QHostAddress::LocalHost));
        qputenv("BRENNO_SERVICE_URL",
                "http://127.0.0.1:" + QByteArray::number(service.serverPort()));
        QProcess client;
        client.start(app.filePath("brenno"), arguments);
        // Until the program runs, /proc shows the handlers of the fork of this test.
        QVERIFY(client.waitForStarted());
        // A guard against a client that never gets there; nothing is measured against it.
        QTRY_VERIFY_WITH_TIMEOUT(
            catchesSigterm(client.processId()) && service.hasPendingConnections() == asked, 60000);

        ::kill(pid_t(client.processId()), SIGTERM);
        QVERIFY(client.waitForFinished());
        // A process the signal ends, not the client, has exit code 15.
        QTEST(client.exitCode(), "exitCode");
        QCOMPARE(bytesOf(app.filePath(name)), bytes);
        // Start-up that ends in its box goes no further; damaged settings never switch the log on.
        QCOMPARE(QFileInfo::exists(app.filePath("TempImg")), asked);
        QVERIFY(!QFileInfo::exists(app.filePath("Log.txt")));
    }
};

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
