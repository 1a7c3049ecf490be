#include "LoopbackServer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// Guards against a client that hangs; nothing is measured against them.
constexpr int kGuardMs = 60000;

// Where the client is when SIGTERM comes.
enum class Waits { ForTheAnswer, ForTheHeldAnswer, InTheStartUpBox };
enum class Planted { File, Folder };
Q_DECLARE_METATYPE(Waits)
Q_DECLARE_METATYPE(Planted)

// The real client process, installed in a folder of its own over damaged files: it quits on
// SIGTERM (as at a session logout) while it asks the service for a ticket, while the service
// keeps that answer waiting, or while a start-up box runs its own event loop, and leaves the
// files as they were.
class TestClientProcess : public QObject {
    Q_OBJECT
private slots:
    void sigtermEndsTheClient_data();
    void sigtermEndsTheClient();
};

// True once the process has its own SIGTERM handler (the SigCgt mask of /proc), so that the
// signal is no longer the default end of the process.
static bool catchesSigterm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
    }
    return false;
}

void TestClientProcess::sigtermEndsTheClient_data() {
    QTest::addColumn<QString>("name"); // in the application folder
    QTest::addColumn<Planted>("planted");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("withVat"); // else the settings database is read
    QTest::addColumn<Waits>("waits");
    QTest::addColumn<int>("exitCode");
    const QByteArray binary = QByteArray::fromHex("00ff0d5b5d3d0a80fe1a9d").repeated(400);
    const Planted file = Planted::File;
    QTest::newRow("binary setws.ini")
        << "setws.ini" << file << binary << true << Waits::ForTheAnswer << 0;
    QTest::newRow("setws.ini cut mid-line")
        << "setws.ini" << file << QByteArray("[Settings]\r\nTimer=18") << true
        << Waits::ForTheAnswer << 0;
    // Over 64000 bytes the settings file is scanned line by line.
    QTest::newRow("binary setws.ini over 64000 bytes")
        << "setws.ini" << file << binary.repeated(20) << true << Waits::ForTheAnswer << 0;
    QTest::newRow("TempImg a file")
        << "TempImg" << file << binary << true << Waits::ForTheAnswer << 0;
    QTest::newRow("while the first answer is awaited")
        << "setws.ini" << file << QByteArray("[Settings]\r\nTimer=180\r\n") << true
        << Waits::ForTheHeldAnswer << 0;
    // Exit code 1, as when the user dismisses the box: start-up failed.
    QTest::newRow("setws.ini a folder: \"Errore\"")
        << "setws.ini" << Planted::Folder << QByteArray() << true << Waits::InTheStartUpBox << 1;
    // Without brenno-dbread beside the client no database can be read.
    QTest::newRow("settings database unreadable: its box, then \"Errore\"")
        << "../SetLKT10.mdb" << file << QByteArray("not a database") << false
        << Waits::InTheStartUpBox << 1;
}

void TestClientProcess::sigtermEndsTheClient() {
    QFETCH(QString, name);
    QFETCH(Planted, planted);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, withVat);
    QFETCH(Waits, waits);
    QTemporaryDir root;
    const QDir app(root.filePath("app"));
    QVERIFY(app.mkpath("."));
    QFile file(app.filePath(name));
    if (planted == Planted::Folder)
        QVERIFY(app.mkdir(name));
    else
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QVERIFY(QFile::copy(QStringLiteral(BRENNO_EXECUTABLE), app.filePath("brenno")));

    QSemaphore answers(waits == Waits::ForTheHeldAnswer ? 0 : 1);
    LoopbackServer service;
    service.server().Post(R"(/RovizeveReravav/sync_connector/ws_chat_due\.php)",
                          [&answers](const httplib::Request &, httplib::Response &response) {
                              answers.acquire();
                              response.set_content("", "text/xml");
                          });
    service.start();
    QProcess client;
    // Runs first on the way out: the server cannot stop while its handler waits.
    const auto release = qScopeGuard([&] {
        client.kill();
        client.waitForFinished(kGuardMs);
        answers.release();
    });
    qputenv("BRENNO_SERVICE_URL", QByteArray::fromStdString(service.baseUrl()));
    client.start(app.filePath("brenno"), withVat ? QStringList{"01234567890"} : QStringList());
    QVERIFY(client.waitForStarted(kGuardMs));
    const size_t asked = waits == Waits::InTheStartUpBox ? 0 : 1;
    QTRY_VERIFY_WITH_TIMEOUT(
        catchesSigterm(client.processId()) && service.requests().size() == asked, kGuardMs);

    ::kill(pid_t(client.processId()), SIGTERM);
    QVERIFY(client.waitForFinished(kGuardMs));
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QTEST(client.exitCode(), "exitCode");
    QCOMPARE(service.requests().size(), asked);
    if (planted == Planted::File) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }
    if (waits == Waits::InTheStartUpBox)
        QVERIFY(!QFileInfo::exists(app.filePath("TempImg")));
    // Damaged settings never switch the log on.
    QVERIFY(!QFileInfo::exists(app.filePath("Log.txt")));
}

QTEST_GUILESS_MAIN(TestClientProcess)
#include "tst_clientprocess.moc"
