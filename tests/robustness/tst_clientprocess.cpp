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
// start-up box runs its own event loop, and leaves the file as it was.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
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
